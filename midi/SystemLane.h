// One MIDI system (the ALSA sequencer, a JACK server) and the one thread
// that makes every call into its backend, in order. A server that stops
// answering blocks its calls (libjack waits on its socket for good), so
// callers never make them themselves: they post a call and wait for it
// until a deadline.
//
// A deadline gives up only on a thread that waits on another process. One
// that is still working, or waits on a lock, may be inside state it shares
// with other processes (libjack's database in /dev/shm): it is waited for
// longer, so that nothing ever abandons it, or ends the process, midway.
#pragma once

#include "MidiBackend.h"
#include "ThreadActivity.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

using MidiDeadline = std::chrono::steady_clock::time_point;

// Sleeps until `until`, or less when a lane call returns meanwhile.
using MidiWaiter = std::function<void(MidiDeadline until)>;

// What a call into a backend gives back.
struct LaneReply
{
    OSStatus status = noErr;
    std::string reason;
    std::vector<MidiPort> ports;
};

class SystemLane
{
public:
    // A posted call. Its reply may be read once it is done.
    class Call
    {
    public:
        bool Done() const { return m_progress.load() == kReturned; }
        // Stops waiting for good; false when the call has returned already.
        bool Abandon();
        const LaneReply& Reply() const { return m_reply; }

    private:
        friend class SystemLane;
        enum { kPending, kReturned, kAbandoned };
        std::atomic<int> m_progress{kPending};
        LaneReply m_reply;
        std::function<void(const LaneReply&)> m_orphaned;
    };
    using Work = std::function<LaneReply(MidiBackend*)>;

    // Starts the system's thread, which opens the backend first. Whenever a
    // call returns, 1 is added to the eventfd `returned`.
    static std::shared_ptr<SystemLane> Start(MidiSystem system, int returned);

    const MidiSystem& System() const { return m_system; }

    // `work` is called on the lane's thread with the backend (null when the
    // system is absent), after the calls posted before it. Should its caller
    // abandon it first, its reply goes to `orphaned`, there.
    std::shared_ptr<Call> Post(Work work, std::function<void(const LaneReply&)> orphaned = {});

    // Waits for `call`, as the comment at the top says.
    LaneWait Wait(const Call& call, MidiDeadline deadline, const MidiWaiter& sleep) const;

    // Closes the backend on the lane's thread and ends the thread. Unless
    // that happens, the thread is left to itself (never joined).
    LaneWait Close(MidiDeadline deadline, const MidiWaiter& sleep);

    // How long the current call has been running; zero when idle.
    std::chrono::steady_clock::duration BusyFor() const;
    // Whether its thread has been waiting on its server for `longer`.
    bool StuckOnServerFor(std::chrono::steady_clock::duration longer) const;

private:
    SystemLane(MidiSystem system, int returned);
    void Enqueue(std::function<void(MidiBackend*)> task);
    LaneWait Await(const std::function<bool()>& done, MidiDeadline deadline, const MidiWaiter& sleep) const;
    void Run();

    const MidiSystem m_system;
    const int m_returned;
    const int m_wake;  // eventfd: tasks for the lane's thread
    std::atomic<pid_t> m_thread{0};
    std::atomic<std::chrono::steady_clock::rep> m_busySince{0};  // 0 when idle
    std::atomic<bool> m_closed{false};
    std::mutex m_mutex;
    std::deque<std::function<void(MidiBackend*)>> m_tasks;  // an empty one closes
};
