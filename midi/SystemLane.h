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

class SystemLane : public std::enable_shared_from_this<SystemLane>
{
public:
    // Starts the system's thread, which opens the backend first. Whenever a
    // call returns, 1 is added to the eventfd `returned`.
    static std::shared_ptr<SystemLane> Start(MidiSystem system, int returned);

    const std::string& System() const { return m_system.name; }
    const std::string& WhenLocked() const { return m_system.whenLocked; }

    template <typename Result>
    class Call;
    // `work` called on the lane's thread with the backend (null when the
    // system is absent), after the calls posted before it. Should its caller
    // abandon it first, its result goes to `orphaned`, there.
    template <typename Result>
    Call<Result> Post(std::function<Result(MidiBackend*)> work, std::function<void(const Result&)> orphaned = {});

    // Waits until `done` holds, as the comment at the top says.
    LaneWait Await(const std::function<bool()>& done, MidiDeadline deadline, const MidiWaiter& sleep) const;

    // Closes the backend on the lane's thread and ends the thread. Unless
    // that happens, the thread is left to itself (never joined).
    LaneWait Close(MidiDeadline deadline, const MidiWaiter& sleep);

    // How long the current call has been running; zero when idle.
    std::chrono::steady_clock::duration BusyFor() const;
    // What its thread is doing: between calls it is about to take the next.
    ThreadActivity Activity() const;

private:
    SystemLane(MidiSystem system, int returned);
    void Enqueue(std::function<void(MidiBackend*)> task);
    void Run();
    void Returned() const;

    const MidiSystem m_system;
    const int m_returned;
    const int m_wake;  // eventfd: tasks or closing, for the lane's thread
    std::atomic<pid_t> m_thread{0};
    std::atomic<std::chrono::steady_clock::rep> m_busySince{0};  // 0 when idle
    std::atomic<bool> m_closed{false};
    std::mutex m_mutex;
    std::deque<std::function<void(MidiBackend*)>> m_tasks;
    bool m_closing = false;
};

template <typename Result>
class SystemLane::Call
{
public:
    LaneWait Wait(MidiDeadline deadline, const MidiWaiter& sleep) const
    {
        return m_lane->Await([this] { return Done(); }, deadline, sleep);
    }
    bool Done() const { return m_state->progress.load() == kReturned; }
    // Stops waiting for good; false when the call has returned already.
    bool Abandon()
    {
        int pending = kPending;
        return m_state->progress.compare_exchange_strong(pending, kAbandoned);
    }
    // Its result; only once it has returned.
    const Result& Value() const { return m_state->result; }

private:
    friend class SystemLane;
    enum { kPending, kReturned, kAbandoned };
    struct State
    {
        std::atomic<int> progress{kPending};
        Result result{};
        std::function<void(const Result&)> orphaned;
    };
    std::shared_ptr<const SystemLane> m_lane;
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

template <typename Result>
SystemLane::Call<Result> SystemLane::Post(std::function<Result(MidiBackend*)> work,
                                          std::function<void(const Result&)> orphaned)
{
    Call<Result> call;
    call.m_lane = shared_from_this();
    call.m_state->orphaned = std::move(orphaned);
    Enqueue([this, state = call.m_state, work = std::move(work)](MidiBackend* backend) {
        state->result = work(backend);
        int pending = Call<Result>::kPending;
        if (!state->progress.compare_exchange_strong(pending, Call<Result>::kReturned) && state->orphaned)
            state->orphaned(state->result);
        Returned();
    });
    return call;
}
