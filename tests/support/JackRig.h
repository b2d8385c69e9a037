// A private JACK server and a real receiving client for end-to-end tests.
// The server gets a name of its own, and this process's environment points
// every JACK client it starts (or opens in-process) at it and forbids
// starting another, so a test never touches a user's server.
#pragma once

#include "Process.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class PrivateJackServer
{
public:
    // Starts `jackd -n NAME [extra] --no-realtime --port-max 64 -d dummy
    // -r 48000 -p PERIOD` and waits until clients can connect; throws when it
    // does not come up. `name` empty: a fresh one. Tests use long periods:
    // without realtime scheduling, a client starved for a short period
    // misses its cycle and loses that cycle's MIDI events.
    explicit PrivateJackServer(const std::string& logPath, const std::vector<std::string>& extra = {},
                               const std::string& name = "", int periodFrames = 1024);
    ~PrivateJackServer();

    const std::string& name() const { return m_name; }
    // Stops it (clients should have gone first); true when it went in time.
    bool Stop(std::chrono::milliseconds grace = std::chrono::seconds(10));
    void Kill() { m_jackd->Stop(SIGKILL); }  // as a crash would: no goodbye to its clients
    // As a debugger or heavy swapping would: it stops answering. Stop thaws it.
    void Freeze() { m_jackd->Signal(SIGSTOP); }
    void Thaw() { m_jackd->Signal(SIGCONT); }

    static constexpr int kSampleRate = 48000;

private:
    std::unique_ptr<BackgroundProcess> Launch(const std::string& logPath) const;

    std::string m_name;
    std::vector<std::string> m_extra;
    int m_periodFrames;
    std::unique_ptr<BackgroundProcess> m_jackd;
    bool m_slotChecked = false;
};

// Points this process and its children at the JACK server `name` (which
// need not exist), never starting one.
void UseJackServer(const std::string& name);
std::string UniqueJackServerName();

// jack_midi_dump as client `clientName` ("<clientName>:input"), its lines
// appended to `logPath`.
class MidiDump
{
public:
    using EventList = std::vector<std::vector<std::uint8_t>>;

    // With `frameTimes`, each event is stamped with the server's frame time.
    MidiDump(const PrivateJackServer& server, const std::string& logPath, const std::string& clientName = "midi-monitor",
             bool frameTimes = false);
    ~MidiDump() { Stop(); }
    // SIGINT lets it close its client, so the server does not wait for it.
    void Stop() { m_process.Stop(SIGINT); }
    // Every event received so far, in order, and (with frameTimes) when.
    EventList Events() const;
    std::vector<long> FrameTimes() const;
    bool WaitForEvents(std::size_t count, std::chrono::milliseconds timeout) const
    {
        return WaitUntil([&] { return Events().size() >= count; }, timeout);
    }

private:
    std::string m_logPath;
    BackgroundProcess m_process;
};
