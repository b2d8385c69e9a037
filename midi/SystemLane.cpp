#include "SystemLane.h"

#include <thread>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// How often a thread that overran its deadline is looked at again.
constexpr std::chrono::milliseconds kLookAgain{200};

}  // namespace

std::shared_ptr<SystemLane> SystemLane::Start(MidiSystem system, int returned)
{
    std::shared_ptr<SystemLane> lane(new SystemLane(std::move(system), returned));
    // Opening is the lane's first call: it may block like any other.
    lane->m_busySince.store(Clock::now().time_since_epoch().count());
    // Never joined: a thread stuck in a call is left to finish on its own,
    // and it keeps the lane alive until then.
    std::thread([lane] { lane->Run(); }).detach();
    return lane;
}

SystemLane::SystemLane(MidiSystem system, int returned)
    : m_system(std::move(system)), m_returned(returned), m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

void SystemLane::Enqueue(std::function<void(MidiBackend*)> task)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tasks.push_back(std::move(task));
    ::eventfd_write(m_wake, 1);
}

void SystemLane::Returned() const
{
    ::eventfd_write(m_returned, 1);
}

std::chrono::steady_clock::duration SystemLane::BusyFor() const
{
    const Clock::rep since = m_busySince.load();
    return since == 0 ? Clock::duration::zero() : Clock::now() - Clock::time_point(Clock::duration(since));
}

ThreadActivity SystemLane::Activity() const
{
    const pid_t thread = m_thread.load();
    if (thread == 0 || BusyFor() == Clock::duration::zero())
        return ThreadActivity::kWorking;
    return ReadThreadActivity(::getpid(), thread);
}

LaneWait SystemLane::Await(const std::function<bool()>& done, MidiDeadline deadline, const MidiWaiter& sleep) const
{
    for (MidiDeadline until = deadline;; until = Clock::now() + kLookAgain) {
        while (!done() && Clock::now() < until)
            sleep(until);
        if (done())
            return LaneWait::kDone;
        const pid_t thread = m_thread.load();
        if (thread == 0 || BusyFor() == Clock::duration::zero())
            continue;
        if (const auto ended = JudgeOverdue(thread, Clock::now() - deadline))
            return *ended;
    }
}

void SystemLane::Run()
{
    m_thread.store(CurrentThreadId());
    std::unique_ptr<MidiBackend> backend = m_system.open ? m_system.open() : nullptr;
    if (backend)
        backend->SetCompletion(CompleteSysexRequest);
    pollfd ready[2] = {{m_wake, POLLIN, 0}, {backend ? backend->WakeFd() : -1, POLLIN, 0}};
    for (;;) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_tasks.empty() && m_closing)
            break;
        if (m_tasks.empty()) {
            lock.unlock();
            m_busySince.store(0);
            ::poll(ready, 2, -1);
            eventfd_t ignored;
            ::eventfd_read(m_wake, &ignored);
            m_busySince.store(Clock::now().time_since_epoch().count());
            if (ready[1].revents != 0)
                backend->OnWake();
            continue;
        }
        std::function<void(MidiBackend*)> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        lock.unlock();
        m_busySince.store(Clock::now().time_since_epoch().count());
        task(backend.get());
    }
    backend.reset();
    m_busySince.store(0);
    m_closed.store(true);
    Returned();
}

LaneWait SystemLane::Close(MidiDeadline deadline, const MidiWaiter& sleep)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
        ::eventfd_write(m_wake, 1);
    }
    return Await([this] { return m_closed.load(); }, deadline, sleep);
}
