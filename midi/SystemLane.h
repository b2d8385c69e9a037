// One MIDI system (the ALSA sequencer, a JACK server) and the thread that
// makes every call into it. A server that stops answering blocks its calls
// (libjack waits on its socket for good), so callers never make them
// themselves: they hand a call to the lane and wait for it only until a
// deadline. A call that overruns keeps the lane busy until it returns; the
// callers meanwhile go on without that system.
#pragma once

#include "MidiBackend.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

using MidiDeadline = std::chrono::steady_clock::time_point;

class SystemLane : public std::enable_shared_from_this<SystemLane>
{
public:
    using Open = std::function<std::unique_ptr<MidiBackend>()>;

    // `system` names it for messages ("JACK server"). The lane's thread
    // starts by calling `open`; a null backend is a system that is absent.
    static std::shared_ptr<SystemLane> Start(std::string system, Open open);
    SystemLane(const SystemLane&) = delete;
    SystemLane& operator=(const SystemLane&) = delete;

    const std::string& System() const { return m_system; }

    // A call of `work` on the lane's thread with the backend (null when the
    // system is absent), queued behind the calls before it.
    template <typename Result>
    class Call
    {
    public:
        // Waits until the call has returned or the deadline has passed.
        bool Wait(const MidiWaiter& waiter, MidiDeadline deadline) const
        {
            if (waiter) {
                waiter([this] { return m_state->Done(); }, deadline);
                return m_state->Done();
            }
            std::unique_lock<std::mutex> lock(m_state->mutex);
            return m_state->finished.wait_until(lock, deadline, [this] { return m_state->done; });
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
        std::shared_ptr<State> m_state = std::make_shared<State>();
    };

    template <typename Result>
    Call<Result> Post(std::function<Result(MidiBackend*)> work)
    {
        Call<Result> call;
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

    // True while a call has been running for longer than `patience`: the
    // system is not answering, and a listing need not queue behind it.
    bool Stuck(std::chrono::milliseconds patience) const;

    // Closes the backend on the lane's thread and ends the thread. False
    // when that has not happened by the deadline: the thread is left to
    // itself (never joined), still holding the lane.
    bool Close(const MidiWaiter& waiter, MidiDeadline deadline);

private:
    SystemLane(std::string system) : m_system(std::move(system)) {}
    void Enqueue(std::function<void(MidiBackend*)> task);
    void Run(Open open);

    const std::string m_system;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;          // tasks or closing, for the lane's thread
    std::condition_variable m_closedSignal;  // the lane's thread has closed the backend
    std::deque<std::function<void(MidiBackend*)>> m_tasks;
    bool m_closing = false;
    bool m_closed = false;
    bool m_busy = false;
    std::chrono::steady_clock::time_point m_busySince;
};
