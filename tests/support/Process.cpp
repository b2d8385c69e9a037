#include "Process.h"

#include "TempDir.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

extern char** environ;

ProcessResult RunProcess(const std::vector<std::string>& argv, std::chrono::milliseconds timeout)
{
    TempDir dir;
    BackgroundProcess process(argv, dir.File("out"), dir.File("err"));
    if (!WaitUntil([&] { return !process.Running(); }, timeout))
        process.Stop(SIGKILL);
    const int status = process.Wait();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWholeFile(dir.File("out")),
            ReadWholeFile(dir.File("err"))};
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv, const std::string& outPath,
                                     const std::string& errPath, int orphanSignal)
{
    // Everything the child needs is made before fork: between fork and exec
    // only async-signal-safe calls are allowed.
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const auto output = [](const std::string& path) {
        return ::open(path.empty() ? "/dev/null" : path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    };
    const int fds[3] = {::open("/dev/null", O_RDONLY | O_CLOEXEC), output(outPath), output(errPath)};
    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, orphanSignal);
        if (::getppid() != parent)  // the parent went before the line above
            ::_exit(127);
        for (int fd = 0; fd < 3; ++fd)
            ::dup2(fds[fd], fd);
        ::execve(args[0], args.data(), environ);
        ::_exit(127);
    }
    for (const int fd : fds)
        ::close(fd);
    if (m_pid < 0)
        throw std::runtime_error("cannot start " + argv[0]);
}

bool BackgroundProcess::Reap(bool block)
{
    while (!m_exited) {
        int status = 0;
        const pid_t got = ::waitpid(m_pid, &status, block ? 0 : WNOHANG);
        if (got == 0)
            return false;
        if (got < 0 && errno == EINTR)
            continue;
        m_exited = true;
        m_status = got == m_pid ? status : -1;
    }
    return true;
}

int BackgroundProcess::Wait()
{
    Reap(true);
    return m_status;
}

void BackgroundProcess::Signal(int signal)
{
    if (!Reap(false))
        ::kill(m_pid, signal);
}

bool BackgroundProcess::Stop(int signal, std::chrono::milliseconds grace)
{
    Signal(signal);
    if (WaitUntil([this] { return Reap(false); }, grace))
        return true;
    ::kill(m_pid, SIGKILL);
    Reap(true);
    return false;
}
