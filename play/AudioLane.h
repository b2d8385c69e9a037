// The one thread that makes every call into an audio system (libjack,
// libasound): a server that stops answering blocks such calls for good, so
// the thread that watches the deadlines never makes them itself.
//
// As a MIDI system's lane, it is given up on only while its thread waits on
// another process. One still working, or waiting on a lock, may be inside
// state shared with other processes (libjack's database in /dev/shm): it is
// waited for longer, bounded, and never abandoned midway (JudgeOverdue).
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include <sys/types.h>

#include "ThreadActivity.h"

using AudioClock = std::chrono::steady_clock;

using LaneVerdict = LaneWait;

class AudioLane
{
public:
    // `privateLocks`: as for JudgeOverdue.
    explicit AudioLane(bool privateLocks = false);
    // Joins the thread. An abandoned lane is never destroyed (see LanePtr):
    // its thread still runs, and the process must end with _Exit.
    ~AudioLane();
    AudioLane(const AudioLane&) = delete;
    AudioLane& operator=(const AudioLane&) = delete;

    // Runs `call` on the lane's thread, after those before it.
    void Post(std::function<void()> call);

    // Waits until every posted call has returned. `deadline()` is asked
    // afresh on each look (a stream's moves on while it makes progress);
    // `meanwhile(until)` sleeps until then, doing the watcher's own work. Past the deadline the thread's activity decides, as above.
    LaneVerdict Await(const std::function<AudioClock::time_point()>& deadline,
                      const std::function<void(AudioClock::time_point)>& meanwhile);

    // After a verdict other than kDone: the thread is left to itself.
    void Abandon() { m_abandoned = true; }
    bool Abandoned() const { return m_abandoned; }

private:
    void Run();
    bool Idle();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_calls;
    bool m_busy = false;
    bool m_closing = false;
    bool m_abandoned = false;
    pid_t m_tid = 0;
    const bool m_privateLocks;
    std::thread m_thread;  // last: it starts once the rest is set
};
