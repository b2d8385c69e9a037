#include "AudioLane.h"

#include "ThreadActivity.h"

#include <unistd.h>

AudioLane::AudioLane(bool privateLocks) : m_privateLocks(privateLocks), m_thread(&AudioLane::Run, this) {}

AudioLane::~AudioLane()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
        m_wake.notify_all();
    }
    m_thread.join();
}

void AudioLane::Post(std::function<void()> call)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(std::move(call));
    m_wake.notify_all();
}

void AudioLane::Run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_tid = CurrentThreadId();
    for (;;) {
        m_busy = false;
        m_wake.wait(lock, [this] { return m_closing || !m_calls.empty(); });
        if (m_calls.empty())
            return;
        std::function<void()> call = std::move(m_calls.front());
        m_calls.pop_front();
        m_busy = true;
        lock.unlock();
        call();
        lock.lock();
    }
}

bool AudioLane::Idle()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return !m_busy && m_calls.empty();
}

LaneVerdict AudioLane::Await(const std::function<AudioClock::time_point()>& deadline,
                             const std::function<void(AudioClock::time_point)>& meanwhile)
{
    // How often the lane is looked at.
    constexpr std::chrono::milliseconds kLookAgain{5};
    AudioClock::time_point overdueSince{};
    for (;; meanwhile(AudioClock::now() + kLookAgain)) {
        if (Idle())
            return LaneVerdict::kDone;
        const auto now = AudioClock::now();
        if (now < deadline()) {
            overdueSince = {};
            continue;
        }
        if (overdueSince == AudioClock::time_point{})
            overdueSince = now;
        pid_t tid = 0;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            tid = m_tid;
        }
        if (tid == 0)
            continue;
        if (const auto ended = JudgeOverdue(tid, now - overdueSince, m_privateLocks))
            return *ended;
    }
}
