// What a thread is doing right now, as the kernel sees it. A thread making
// calls into a MIDI system is given up on only while it waits on another
// process (a server that does not answer): while it computes, or waits on
// a lock in memory it shares with other processes (libjack's database),
// ending the process would leave that shared state half changed.
#pragma once

#include <sys/types.h>

enum class ThreadActivity {
    kWorking,        // running, or in a call that is not waiting on anyone
    kWaitingOnPeer,  // blocked on a socket, pipe or device: another process must act
    kWaitingOnLock,  // blocked on a futex, or sleeping between tries as Berkeley DB
                     // does for a database another process holds: a lock that
                     // may belong to a process that died
};

// Reads /proc/PID/task/TID/syscall (its own threads are always readable).
// When it can't be read, the thread counts as working.
ThreadActivity ReadThreadActivity(pid_t pid, pid_t tid);

// The calling thread's id, for ReadThreadActivity.
pid_t CurrentThreadId();
