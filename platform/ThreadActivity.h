// What a thread making calls into a MIDI system (or audio) is doing, as the
// kernel sees it. It is given up on only while it waits on another process
// (a server that does not answer): while it computes, or waits on a lock in
// memory shared with other processes (libjack's database), ending the
// process would leave that shared state half changed.
#pragma once

#include <chrono>
#include <optional>

#include <sys/types.h>

enum class ThreadActivity {
    kWorking,        // running, or in a call that waits on no one
    kWaitingOnPeer,  // blocked on a socket, pipe or device: another process must act
    kWaitingOnLock,  // on a futex, or sleeping between tries as Berkeley DB does:
                     // the lock's holder may have died
};

// From /proc/PID/task/TID/syscall; a thread that can't be read is working.
ThreadActivity ReadThreadActivity(pid_t pid, pid_t tid);
pid_t CurrentThreadId();

// How a wait for a call on another thread ended.
enum class LaneWait {
    kDone,
    kNotAnswering,  // past the deadline, waiting on its server
    kLocked,        // waiting on a lock kLockPatience past the deadline
    kBusy,          // still working kBusyLimit past the deadline
};

// Locks in shared memory are held for microseconds unless their holder died,
// and a slow machine is not a frozen server.
inline constexpr std::chrono::seconds kLockPatience{2};
inline constexpr std::chrono::seconds kBusyLimit{10};

// Once a wait for `thread` has overrun its deadline by `overdue`: how it
// ends, or nothing while it is to go on. With `privateLocks` the thread's
// library shares no state with other processes (PipeWire's libjack), so a
// lock it waits on is one of its own threads waiting on the server: the
// thread waits on a peer.
std::optional<LaneWait> JudgeOverdue(pid_t thread, std::chrono::steady_clock::duration overdue,
                                     bool privateLocks = false);
