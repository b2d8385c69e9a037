// The one thread that makes every call into one system (a MIDI system, an
// audio system), in order. A server that stops answering blocks such calls
// for good (libjack waits on its socket), so no other thread makes them: it
// posts them here and waits for them until a deadline, blocking or from its
// own event loop, woken by the lane whenever a call returns.
//
// A lane runs to its end everything it is handed: nothing is ever taken
// back from it. A deadline gives up only on a thread that waits on another
// process. One that is still working, or waits on a lock, may be inside
// state it shares with other processes (libjack's database in /dev/shm): it
// is waited for longer (JudgeOverdue), so that nothing ever ends the process
// midway through it.
#pragma once

#include "ThreadActivity.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

using LaneClock = std::chrono::steady_clock;

class Lane
{
public:
    // A posted call; done once it has returned.
    class Call
    {
    public:
        bool Done() const { return m_done.load(); }

    private:
        friend class Lane;
        std::atomic<bool> m_done{false};
    };

    // Starts the thread. Whenever a call returns, 1 is added to the eventfd
    // `returned`; given -1, the lane makes one of its own (ReturnedFd).
    static std::shared_ptr<Lane> Start(int returned = -1);
    ~Lane();
    Lane(const Lane&) = delete;
    Lane& operator=(const Lane&) = delete;

    int ReturnedFd() const { return m_returned; }

    // Runs `work` on the lane's thread, after the calls posted before it.
    std::shared_ptr<const Call> Post(std::function<void()> work);
    // From a call on the lane's thread: from now on `ready` runs there, as
    // a call does, whenever `fd` is readable; -1 stops it.
    void Watch(int fd, std::function<void()> ready);

    // Where a wait for `call` stands: kDone once it has returned; past
    // `deadline`, the verdict on the lane's thread (JudgeOverdue, with
    // `privateLocks`), or nothing while it is to be waited for. `lookAgain`
    // says when to look again, should the call not return first.
    std::optional<LaneWait> Look(const Call& call, LaneClock::time_point deadline, bool privateLocks,
                                 LaneClock::time_point& lookAgain) const;
    // The same, until a verdict: `sleep(until)` between looks, which may
    // return sooner; `deadline()` is asked afresh on each look.
    LaneWait Wait(const Call& call, const std::function<LaneClock::time_point()>& deadline, bool privateLocks,
                  const std::function<void(LaneClock::time_point)>& sleep) const;

    // Ends the thread once the calls posted before it have returned; the
    // call returned is done then.
    std::shared_ptr<const Call> Close();

    // How long the current call has been running; zero when idle.
    LaneClock::duration BusyFor() const;
    // Whether its thread has been waiting on its server for `longer`.
    bool StuckOnServerFor(LaneClock::duration longer, bool privateLocks) const;

    // Closes the lane and gives it up. A thread still inside a call (on a
    // server that never answered) is left behind, to finish on its own.
    void LetGo();
    // Once any lane has been given up with its thread inside a call, the
    // process must end with _Exit: exit handlers must not run beside it.
    static bool AnyLeftBehind();

private:
    Lane(int returned, bool ownsReturned);
    void Enqueue(std::function<void()> task);
    void Run();

    const int m_returned;
    const bool m_ownsReturned;
    const int m_wake;  // eventfd: tasks for the lane's thread
    std::atomic<pid_t> m_thread{0};
    std::atomic<LaneClock::rep> m_busySince{0};  // 0 when idle
    std::shared_ptr<Call> m_closed;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_tasks;  // an empty one ends the thread
    // The lane's thread's own.
    int m_watched = -1;
    std::function<void()> m_ready;
};
