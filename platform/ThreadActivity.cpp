#include "ThreadActivity.h"

#include <cstdio>
#include <string>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Blocked on a descriptor: waiting on whatever is at its other end when that
// is a socket, a pipe or a device (the ALSA sequencer).
bool LeadsToAnotherProcess(pid_t pid, unsigned long fd)
{
    struct stat info;
    const std::string path = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
    return ::stat(path.c_str(), &info) == 0 &&
           (S_ISSOCK(info.st_mode) || S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode));
}

ThreadActivity Classify(pid_t pid, long call, const unsigned long (&arg)[3])
{
    const auto peerIf = [](bool peer) {
        return peer ? ThreadActivity::kWaitingOnPeer : ThreadActivity::kWaitingOnLock;
    };
    switch (call) {
    case SYS_read:
    case SYS_readv:
    case SYS_recvfrom:
    case SYS_recvmsg:
    case SYS_write:
    case SYS_writev:
    case SYS_sendto:
    case SYS_sendmsg:
    case SYS_accept:
    case SYS_accept4:
    case SYS_connect:
        return LeadsToAnotherProcess(pid, arg[0]) ? ThreadActivity::kWaitingOnPeer : ThreadActivity::kWorking;
    // Polling no descriptor at all is a sleep, as is sleeping.
    case SYS_ppoll:
        return peerIf(arg[1] > 0);
    case SYS_pselect6:
        return peerIf(arg[0] > 0);
#ifdef SYS_poll
    case SYS_poll:
        return peerIf(arg[1] > 0);
    case SYS_select:
        return peerIf(arg[0] > 0);
    case SYS_epoll_wait:
#endif
    case SYS_epoll_pwait:
    case SYS_wait4:
        return ThreadActivity::kWaitingOnPeer;
    case SYS_futex:
    case SYS_nanosleep:
    case SYS_clock_nanosleep:
        return ThreadActivity::kWaitingOnLock;
    default:
        return ThreadActivity::kWorking;
    }
}

}  // namespace

ThreadActivity ReadThreadActivity(pid_t pid, pid_t tid)
{
    // "running", or the call's number and its arguments in hex, or -1 when
    // the thread is stopped outside a call.
    const std::string path = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/syscall";
    std::FILE* file = std::fopen(path.c_str(), "re");
    if (file == nullptr)
        return ThreadActivity::kWorking;
    long call = -1;
    unsigned long arg[3] = {};
    const int fields = std::fscanf(file, "%ld %lx %lx %lx", &call, &arg[0], &arg[1], &arg[2]);
    std::fclose(file);
    return fields == 4 ? Classify(pid, call, arg) : ThreadActivity::kWorking;
}

pid_t CurrentThreadId()
{
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

std::optional<LaneWait> JudgeOverdue(pid_t thread, std::chrono::steady_clock::duration overdue, bool privateLocks)
{
    switch (ReadThreadActivity(::getpid(), thread)) {
    case ThreadActivity::kWaitingOnPeer:
        return LaneWait::kNotAnswering;
    case ThreadActivity::kWaitingOnLock:
        if (privateLocks)
            return LaneWait::kNotAnswering;
        return overdue >= kLockPatience ? std::optional(LaneWait::kLocked) : std::nullopt;
    case ThreadActivity::kWorking:
        break;
    }
    return overdue >= kBusyLimit ? std::optional(LaneWait::kBusy) : std::nullopt;
}
