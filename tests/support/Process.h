// Programs run by tests, in the background or to completion.
#pragma once

#include "TempDir.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <ostream>
#include <thread>
#include <vector>

extern char** environ;

// Polls `condition` until it holds; false when `timeout` passes first.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class BackgroundProcess
{
public:
    // Output appended to the files given. Should this thread die first (a
    // test killed for its timeout), it gets `orphanSignal`.
    explicit BackgroundProcess(const std::vector<std::string>& argv, const std::string& outPath = "",
                               const std::string& errPath = "", int orphanSignal = SIGTERM)
    {
        // Made before fork: only async-signal-safe calls may follow it.
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
    ~BackgroundProcess() { Stop(); }
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool Running() { return !Reap(false); }
    void Signal(int signal)
    {
        if (!Reap(false))
            ::kill(m_pid, signal);
    }
    int Wait()
    {
        Reap(true);
        return m_status;
    }
    int waitStatus() const { return m_status; }  // -1 until it has exited
    pid_t pid() const { return m_pid; }
    // SIGKILL after `grace`; true when it went in time.
    bool Stop(int signal = SIGTERM, std::chrono::milliseconds grace = std::chrono::seconds(10))
    {
        Signal(signal);
        if (WaitUntil([this] { return Reap(false); }, grace))
            return true;
        ::kill(m_pid, SIGKILL);
        Reap(true);
        return false;
    }

private:
    bool Reap(bool block)
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

    pid_t m_pid = -1;
    bool m_exited = false;
    int m_status = -1;
};

struct ProcessResult
{
    int exitStatus = -1;  // -1 when killed by a signal
    std::string out;
    std::string err;

    bool operator==(const ProcessResult& o) const { return exitStatus == o.exitStatus && out == o.out && err == o.err; }
    friend void PrintTo(const ProcessResult& r, std::ostream* os)
    {
        *os << "exit " << r.exitStatus << ", out \"" << r.out << "\", err \"" << r.err << '"';
    }
};

// Output goes through files: it can't fill a pipe.
inline ProcessResult RunProcess(const std::vector<std::string>& argv,
                                std::chrono::milliseconds timeout = std::chrono::minutes(5))
{
    TempDir dir;
    BackgroundProcess process(argv, dir.File("out"), dir.File("err"));
    if (!WaitUntil([&] { return !process.Running(); }, timeout))
        process.Stop(SIGKILL);
    const int status = process.Wait();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWholeFile(dir.File("out")),
            ReadWholeFile(dir.File("err"))};
}
