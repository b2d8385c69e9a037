#include "SystemLane.h"

#include <thread>

std::shared_ptr<SystemLane> SystemLane::Start(std::string system, Open open)
{
    std::shared_ptr<SystemLane> lane(new SystemLane(std::move(system)));
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

bool SystemLane::Stuck(std::chrono::milliseconds patience) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_busy && std::chrono::steady_clock::now() - m_busySince > patience;
}

void SystemLane::Run(Open open)
{
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

bool SystemLane::Close(const MidiWaiter& waiter, MidiDeadline deadline)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_closing = true;
    m_wake.notify_all();
    if (waiter) {
        lock.unlock();
        waiter(
            [this] {
                std::lock_guard<std::mutex> guard(m_mutex);
                return m_closed;
            },
            deadline);
        lock.lock();
        return m_closed;
    }
    return m_closedSignal.wait_until(lock, deadline, [this] { return m_closed; });
}
