// Programs run by tests: to completion with their output captured, or in the
// background (a JACK server, a receiving client) until stopped. argv[0] is a
// full path.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

struct ProcessResult
{
    int exitStatus = -1;  // the exit status, or -1 when killed by a signal
    std::string out;
    std::string err;

    bool operator==(const ProcessResult& other) const
    {
        return exitStatus == other.exitStatus && out == other.out && err == other.err;
    }
    friend void PrintTo(const ProcessResult& r, std::ostream* os)
    {
        *os << "exit " << r.exitStatus << ", out \"" << r.out << "\", err \"" << r.err << '"';
    }
};

// Runs `argv` with stdin from /dev/null and waits for it; after `timeout` it
// is killed (exit status -1). Output goes through temporary files so that
// large output can't fill a pipe.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         std::chrono::milliseconds timeout = std::chrono::minutes(5));

class BackgroundProcess
{
public:
    // Starts `argv` with stdin from /dev/null and stdout and stderr appended
    // to the given files (/dev/null when empty). Should this thread die
    // without stopping it (a test killed for its timeout), it is sent
    // `orphanSignal`, so no server outlives its test.
    explicit BackgroundProcess(const std::vector<std::string>& argv, const std::string& outPath = "",
                               const std::string& errPath = "", int orphanSignal = SIGTERM);
    ~BackgroundProcess() { Stop(); }
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool Running() { return !Reap(false); }
    // Sends `signal`, unless it has already exited.
    void Signal(int signal);
    // Waits for it to exit by itself; returns the wait status (see waitpid).
    int Wait();
    // The wait status once it has exited, or -1.
    int waitStatus() const { return m_status; }
    // Sends `signal`, waits up to `grace`, then kills it. True when it exited
    // within the grace period.
    bool Stop(int signal = SIGTERM, std::chrono::milliseconds grace = std::chrono::seconds(10));

private:
    bool Reap(bool block);

    pid_t m_pid = -1;
    bool m_exited = false;
    int m_status = -1;
};

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
