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

    bool operator==(const ProcessResult& o) const { return exitStatus == o.exitStatus && out == o.out && err == o.err; }
    friend void PrintTo(const ProcessResult& r, std::ostream* os)
    {
        *os << "exit " << r.exitStatus << ", out \"" << r.out << "\", err \"" << r.err << '"';
    }
};

// Runs `argv` with stdin from /dev/null and waits for it; after `timeout` it
// is killed. Output goes through files, so large output can't fill a pipe.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         std::chrono::milliseconds timeout = std::chrono::minutes(5));

class BackgroundProcess
{
public:
    // Starts `argv` with stdin from /dev/null, stdout and stderr appended to
    // the given files (/dev/null when empty). Should this thread die without
    // stopping it (a test killed for its timeout), it gets `orphanSignal`, so
    // no server outlives its test.
    explicit BackgroundProcess(const std::vector<std::string>& argv, const std::string& outPath = "",
                               const std::string& errPath = "", int orphanSignal = SIGTERM);
    ~BackgroundProcess() { Stop(); }
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool Running() { return !Reap(false); }
    void Signal(int signal);  // unless it has exited
    int Wait();               // until it exits by itself; returns the wait status
    int waitStatus() const { return m_status; }  // once it has exited, else -1
    // Sends `signal`, waits up to `grace`, then kills it; true when it went
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
