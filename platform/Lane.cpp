#include "Lane.h"

#include <thread>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// How often a thread that overran its deadline is looked at again.
constexpr std::chrono::milliseconds kLookAgain{200};

std::atomic<bool> g_leftBehind{false};

}  // namespace

std::shared_ptr<Lane> Lane::Start(int returned)
{
    const bool own = returned < 0;
    std::shared_ptr<Lane> lane(new Lane(own ? ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK) : returned, own));
    // Never joined: a thread stuck in a call is left to finish on its own,
    // and it keeps the lane alive until then.
    std::thread([lane] { lane->Run(); }).detach();
    return lane;
}

Lane::Lane(int returned, bool ownsReturned)
    : m_returned(returned), m_ownsReturned(ownsReturned), m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      m_closed(std::make_shared<Call>())
{
}

Lane::~Lane()
{
    ::close(m_wake);
    if (m_ownsReturned)
        ::close(m_returned);
}

std::shared_ptr<const Lane::Call> Lane::Post(std::function<void()> work)
{
    auto call = std::make_shared<Call>();
    Enqueue([call, work = std::move(work)] {
        work();
        call->m_done.store(true);
    });
    return call;
}

void Lane::Enqueue(std::function<void()> task)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tasks.push_back(std::move(task));
    ::eventfd_write(m_wake, 1);
}

void Lane::Watch(int fd, std::function<void()> ready)
{
    m_watched = fd;
    m_ready = std::move(ready);
}

std::shared_ptr<const Lane::Call> Lane::Close()
{
    if (std::lock_guard<std::mutex> lock(m_mutex); m_tasks.empty() || m_tasks.back()) {
        m_tasks.push_back(nullptr);
        ::eventfd_write(m_wake, 1);
    }
    return m_closed;
}

LaneClock::duration Lane::BusyFor() const
{
    const LaneClock::rep since = m_busySince.load();
    return since == 0 ? LaneClock::duration::zero()
                      : LaneClock::now() - LaneClock::time_point(LaneClock::duration(since));
}

bool Lane::StuckOnServerFor(LaneClock::duration longer, bool privateLocks) const
{
    const pid_t thread = m_thread.load();
    if (thread == 0 || BusyFor() < longer)
        return false;
    const ThreadActivity activity = ReadThreadActivity(::getpid(), thread);
    return activity == ThreadActivity::kWaitingOnPeer || (privateLocks && activity == ThreadActivity::kWaitingOnLock);
}

std::optional<LaneWait> Lane::Look(const Call& call, LaneClock::time_point deadline, bool privateLocks,
                                   LaneClock::time_point& lookAgain) const
{
    if (call.Done())
        return LaneWait::kDone;
    const auto now = LaneClock::now();
    if (now < deadline) {
        lookAgain = deadline;
        return std::nullopt;
    }
    lookAgain = now + kLookAgain;
    const pid_t thread = m_thread.load();
    if (thread == 0 || BusyFor() == LaneClock::duration::zero())
        return std::nullopt;
    return JudgeOverdue(thread, now - deadline, privateLocks);
}

LaneWait Lane::Wait(const Call& call, const std::function<LaneClock::time_point()>& deadline, bool privateLocks,
                    const std::function<void(LaneClock::time_point)>& sleep) const
{
    for (;;) {
        LaneClock::time_point lookAgain;
        if (const auto wait = Look(call, deadline(), privateLocks, lookAgain))
            return *wait;
        sleep(lookAgain);
    }
}

void Lane::LetGo()
{
    bool inside = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        inside = !m_closed->Done() && (BusyFor() > LaneClock::duration::zero() ||
                                       (!m_tasks.empty() && !(m_tasks.size() == 1 && !m_tasks.front())));
    }
    Close();
    if (inside)
        g_leftBehind.store(true);
}

bool Lane::AnyLeftBehind()
{
    return g_leftBehind.load();
}

void Lane::Run()
{
    m_thread.store(CurrentThreadId());
    const auto busy = [this](bool working) {
        m_busySince.store(working ? LaneClock::now().time_since_epoch().count() : 0);
    };
    for (bool open = true; open;) {
        pollfd ready[2] = {{m_wake, POLLIN, 0}, {m_watched, POLLIN, 0}};
        ::poll(ready, 2, -1);
        eventfd_t ignored;
        ::eventfd_read(m_wake, &ignored);
        if (ready[1].revents != 0 && m_ready) {
            busy(true);
            m_ready();
            busy(false);
            ::eventfd_write(m_returned, 1);
        }
        for (;;) {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_tasks.empty())
                break;
            std::function<void()> task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            if (!task) {
                open = false;
                break;
            }
            busy(true);
            task();
            busy(false);
            ::eventfd_write(m_returned, 1);
        }
    }
    m_closed->m_done.store(true);
    ::eventfd_write(m_returned, 1);
}
