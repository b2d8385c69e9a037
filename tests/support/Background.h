// A program running beside a test (a JACK server, a receiving client),
// started and stopped by its pid.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

class BackgroundProcess
{
public:
    // Starts argv[0] (searched in PATH) with `argv`, stdin from /dev/null
    // and stdout and stderr appended to the given files (/dev/null when
    // empty). Throws when it can't be started. Should this thread die
    // without stopping it (a test killed for its timeout), it is sent
    // `orphanSignal`, so no server outlives its test.
    explicit BackgroundProcess(const std::vector<std::string>& argv, const std::string& outPath = "",
                               const std::string& errPath = "", int orphanSignal = SIGTERM);
    ~BackgroundProcess();  // Stop()
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // The wait status once it has exited (see waitpid), or -1.
    int waitStatus() const { return m_status; }
    bool Running();
    // Waits for it to exit by itself; false on timeout.
    bool WaitForExit(std::chrono::milliseconds timeout);
    // Sends `signal`, waits up to `grace`, then kills it. Returns true when
    // it exited within the grace period (false also if it had to be killed).
    bool Stop(int signal = SIGTERM, std::chrono::milliseconds grace = std::chrono::seconds(10));

private:
    bool Reap(bool block);

    pid_t m_pid = -1;
    bool m_exited = false;
    int m_status = -1;
};
