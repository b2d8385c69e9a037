#include "Background.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

std::string FindProgram(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return name;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t begin = 0; begin <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', begin), dirs.size());
        const std::string candidate = dirs.substr(begin, end - begin) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        begin = end + 1;
    }
    throw std::runtime_error("cannot find " + name);
}

// In the child: `fd` becomes `target`, kept open across exec.
void MoveTo(int fd, int target)
{
    if (fd == target)
        ::fcntl(fd, F_SETFD, 0);
    else
        ::dup2(fd, target);
}

int OpenOr(const std::string& path, int flags)
{
    return ::open(path.empty() ? "/dev/null" : path.c_str(), flags, 0600);
}

}  // namespace

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv, const std::string& outPath,
                                     const std::string& errPath, int orphanSignal)
{
    // Everything the child needs is made before fork: between fork and exec
    // only async-signal-safe calls are allowed.
    const std::string program = FindProgram(argv.at(0));
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const int in = OpenOr("", O_RDONLY | O_CLOEXEC);
    const int out = OpenOr(outPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC);
    const int err = OpenOr(errPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC);
    const pid_t parent = ::getpid();

    m_pid = ::fork();
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, orphanSignal);
        if (::getppid() != parent)
            ::_exit(127);
        MoveTo(in, 0);
        MoveTo(out, 1);
        MoveTo(err, 2);
        ::execve(program.c_str(), args.data(), environ);
        ::_exit(127);
    }
    for (const int fd : {in, out, err})
        ::close(fd);
    if (m_pid < 0)
        throw std::runtime_error("cannot start " + argv[0]);
}

BackgroundProcess::~BackgroundProcess()
{
    Stop();
}

bool BackgroundProcess::Reap(bool block)
{
    if (m_exited)
        return true;
    int status = 0;
    pid_t got;
    while ((got = ::waitpid(m_pid, &status, block ? 0 : WNOHANG)) < 0 && errno == EINTR) {
    }
    if (got == m_pid)
        m_status = status;
    if (got == m_pid || got < 0)
        m_exited = true;
    return m_exited;
}

bool BackgroundProcess::Running()
{
    return !Reap(false);
}

bool BackgroundProcess::WaitForExit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!Reap(false)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool BackgroundProcess::Stop(int signal, std::chrono::milliseconds grace)
{
    if (m_exited)
        return true;
    ::kill(m_pid, signal);
    if (WaitForExit(grace))
        return true;
    ::kill(m_pid, SIGKILL);
    Reap(true);
    return false;
}
