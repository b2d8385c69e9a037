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

bool SystemLane::Call::Abandon()
{
    int pending = kPending;
    return m_progress.compare_exchange_strong(pending, kAbandoned);
}

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

std::shared_ptr<SystemLane::Call> SystemLane::Post(Work work, std::function<void(const LaneReply&)> orphaned)
{
    auto call = std::make_shared<Call>();
    call->m_orphaned = std::move(orphaned);
    Enqueue([call, work = std::move(work)](MidiBackend* backend) {
        call->m_reply = work(backend);
        int pending = Call::kPending;
        if (!call->m_progress.compare_exchange_strong(pending, Call::kReturned) && call->m_orphaned)
            call->m_orphaned(call->m_reply);
    });
    return call;
}

void SystemLane::Enqueue(std::function<void(MidiBackend*)> task)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tasks.push_back(std::move(task));
    ::eventfd_write(m_wake, 1);
}

std::chrono::steady_clock::duration SystemLane::BusyFor() const
{
    const Clock::rep since = m_busySince.load();
    return since == 0 ? Clock::duration::zero() : Clock::now() - Clock::time_point(Clock::duration(since));
}

bool SystemLane::StuckOnServerFor(std::chrono::steady_clock::duration longer) const
{
    const pid_t thread = m_thread.load();
    if (thread == 0 || BusyFor() < longer)
        return false;
    const ThreadActivity activity = ReadThreadActivity(::getpid(), thread);
    return activity == ThreadActivity::kWaitingOnPeer ||
           (m_system.privateLocks && activity == ThreadActivity::kWaitingOnLock);
}

LaneWait SystemLane::Wait(const Call& call, MidiDeadline deadline, const MidiWaiter& sleep) const
{
    return Await([&call] { return call.Done(); }, deadline, sleep);
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
        if (const auto ended = JudgeOverdue(thread, Clock::now() - deadline, m_system.privateLocks))
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
    for (bool open = true; open;) {
        m_busySince.store(0);
        ::poll(ready, 2, -1);
        m_busySince.store(Clock::now().time_since_epoch().count());
        eventfd_t ignored;
        ::eventfd_read(m_wake, &ignored);
        if (ready[1].revents != 0)
            backend->OnWake();
        for (;;) {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_tasks.empty())
                break;
            std::function<void(MidiBackend*)> task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            if (!task) {  // Close's empty task
                open = false;
                break;
            }
            m_busySince.store(Clock::now().time_since_epoch().count());
            task(backend.get());
            ::eventfd_write(m_returned, 1);
        }
    }
    backend.reset();
    m_busySince.store(0);
    m_closed.store(true);
    ::eventfd_write(m_returned, 1);
}

LaneWait SystemLane::Close(MidiDeadline deadline, const MidiWaiter& sleep)
{
    Enqueue(nullptr);
    return Await([this] { return m_closed.load(); }, deadline, sleep);
}
