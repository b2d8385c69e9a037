#include "SystemLane.h"

#include <thread>

#include <unistd.h>

namespace {

// How often a thread that overran its deadline is looked at again.
constexpr std::chrono::milliseconds kLookAgain{200};

}  // namespace

std::shared_ptr<SystemLane> SystemLane::Start(std::string system, std::string whenLocked, Open open)
{
    std::shared_ptr<SystemLane> lane(new SystemLane(std::move(system), std::move(whenLocked)));
    {
        // Opening is the lane's first call: it may block like any other.
        std::lock_guard<std::mutex> lock(lane->m_mutex);
        lane->m_busy = true;
        lane->m_busySince = std::chrono::steady_clock::now();
    }
    // Never joined: a thread stuck in a call is left to finish on its own,
    // and it keeps the lane alive until then.
    std::thread([lane, open = std::move(open)] { lane->Run(open); }).detach();
    return lane;
}

void SystemLane::Enqueue(std::function<void(MidiBackend*)> task)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tasks.push_back(std::move(task));
    m_wake.notify_one();
}

std::chrono::steady_clock::duration SystemLane::BusyFor() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_busy ? std::chrono::steady_clock::now() - m_busySince : std::chrono::steady_clock::duration::zero();
}

ThreadActivity SystemLane::Activity() const
{
    if (BusyFor() == std::chrono::steady_clock::duration::zero())
        return ThreadActivity::kWorking;  // between calls: about to take the next
    const pid_t thread = m_thread.load();
    return thread != 0 ? ReadThreadActivity(::getpid(), thread) : ThreadActivity::kWorking;
}

LaneWait SystemLane::Await(const std::function<bool()>& done, MidiDeadline deadline,
                           const std::function<void(MidiDeadline)>& sleepUntil) const
{
    for (MidiDeadline until = deadline;; until = std::chrono::steady_clock::now() + kLookAgain) {
        sleepUntil(until);
        if (done())
            return LaneWait::kDone;
        const auto now = std::chrono::steady_clock::now();
        if (now < deadline)
            continue;
        switch (Activity()) {
        case ThreadActivity::kWaitingOnPeer:
            return LaneWait::kNotAnswering;
        case ThreadActivity::kWaitingOnLock:
            if (now >= deadline + kLockPatience)
                return LaneWait::kLocked;
            break;
        case ThreadActivity::kWorking:
            if (now >= deadline + kBusyLimit)
                return LaneWait::kBusy;
            break;
        }
    }
}

void SystemLane::Run(Open open)
{
    m_thread.store(CurrentThreadId());
    std::unique_ptr<MidiBackend> backend = open();
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_busy = false;
        m_wake.wait(lock, [this] { return m_closing || !m_tasks.empty(); });
        if (m_tasks.empty())
            break;  // closing, with every call before it done
        std::function<void(MidiBackend*)> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        m_busy = true;
        m_busySince = std::chrono::steady_clock::now();
        lock.unlock();
        task(backend.get());
        lock.lock();
    }
    m_busy = true;
    m_busySince = std::chrono::steady_clock::now();
    lock.unlock();
    backend.reset();
    lock.lock();
    m_busy = false;
    m_closed = true;
    m_closedSignal.notify_all();
}

LaneWait SystemLane::Close(const MidiWaiter& waiter, MidiDeadline deadline)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
        m_wake.notify_all();
    }
    const auto closed = [this] {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_closed;
    };
    return Await(closed, deadline, [&](MidiDeadline until) {
        if (waiter) {
            waiter(closed, until);
            return;
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        m_closedSignal.wait_until(lock, until, [this] { return m_closed; });
    });
}
