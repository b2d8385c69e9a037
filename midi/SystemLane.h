// One MIDI system (the ALSA sequencer, a JACK server) and the thread that
// makes every call into it. A server that stops answering blocks its calls
// (libjack waits on its socket for good), so callers never make them
// themselves: they hand a call to the lane and wait for it until a deadline.
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
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

using MidiDeadline = std::chrono::steady_clock::time_point;

// How a wait for a lane ended.
enum class LaneWait {
    kDone,
    kNotAnswering,  // past the deadline, waiting on its server
    kLocked,        // waiting on a lock for kLockPatience past the deadline
    kBusy,          // still working kBusyLimit past the deadline
};

class SystemLane : public std::enable_shared_from_this<SystemLane>
{
public:
    using Open = std::function<std::unique_ptr<MidiBackend>()>;

    // Past the deadline, how long a thread waiting on a lock or still at
    // work is waited for: locks in shared memory are held for microseconds
    // unless their holder died, and a slow machine is not a frozen server.
    static constexpr std::chrono::seconds kLockPatience{2};
    static constexpr std::chrono::seconds kBusyLimit{10};

    // `system` names it for messages ("JACK server"), `whenLocked` says
    // what a long wait on a lock means (or ""). The lane's thread starts by
    // calling `open`; a null backend is a system that is absent.
    static std::shared_ptr<SystemLane> Start(std::string system, std::string whenLocked, Open open);
    SystemLane(const SystemLane&) = delete;
    SystemLane& operator=(const SystemLane&) = delete;

    const std::string& System() const { return m_system; }
    const std::string& WhenLocked() const { return m_whenLocked; }

    // A call of `work` on the lane's thread with the backend (null when the
    // system is absent), queued behind the calls before it.
    template <typename Result>
    class Call
    {
    public:
        LaneWait Wait(const MidiWaiter& waiter, MidiDeadline deadline) const
        {
            const auto done = [this] { return m_state->Done(); };
            return m_lane->Await(done, deadline, [&](MidiDeadline until) {
                if (waiter) {
                    waiter(done, until);
                    return;
                }
                std::unique_lock<std::mutex> lock(m_state->mutex);
                m_state->finished.wait_until(lock, until, [this] { return m_state->done; });
            });
        }
        // Its result; only once it has returned.
        const Result& Value() const { return m_state->result; }

    private:
        friend class SystemLane;
        struct State
        {
            bool Done() const
            {
                std::lock_guard<std::mutex> lock(mutex);
                return done;
            }
            mutable std::mutex mutex;
            std::condition_variable finished;
            bool done = false;
            Result result{};
        };
        std::shared_ptr<const SystemLane> m_lane;
        std::shared_ptr<State> m_state = std::make_shared<State>();
    };

    template <typename Result>
    Call<Result> Post(std::function<Result(MidiBackend*)> work)
    {
        Call<Result> call;
        call.m_lane = shared_from_this();
        auto state = call.m_state;
        Enqueue([state, work = std::move(work)](MidiBackend* backend) {
            Result result = work(backend);
            std::lock_guard<std::mutex> lock(state->mutex);
            state->result = std::move(result);
            state->done = true;
            state->finished.notify_all();
        });
        return call;
    }

    // How long the current call has been running; zero when idle.
    std::chrono::steady_clock::duration BusyFor() const;
    // What the lane's thread is doing now.
    ThreadActivity Activity() const;

    // Waits until `done`, sleeping with `sleepUntil`, as the class comment
    // says.
    LaneWait Await(const std::function<bool()>& done, MidiDeadline deadline,
                   const std::function<void(MidiDeadline)>& sleepUntil) const;

    // Closes the backend on the lane's thread and ends the thread. Unless
    // that has happened, the thread is left to itself (never joined), still
    // holding the lane.
    LaneWait Close(const MidiWaiter& waiter, MidiDeadline deadline);

private:
    SystemLane(std::string system, std::string whenLocked)
        : m_system(std::move(system)), m_whenLocked(std::move(whenLocked))
    {
    }
    void Enqueue(std::function<void(MidiBackend*)> task);
    void Run(Open open);

    const std::string m_system;
    const std::string m_whenLocked;
    std::atomic<pid_t> m_thread{0};
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;          // tasks or closing, for the lane's thread
    std::condition_variable m_closedSignal;  // the lane's thread has closed the backend
    std::deque<std::function<void(MidiBackend*)>> m_tasks;
    bool m_closing = false;
    bool m_closed = false;
    bool m_busy = false;
    std::chrono::steady_clock::time_point m_busySince;
};
