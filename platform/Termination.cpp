#include "Termination.h"

#include <cerrno>
#include <csignal>
#include <initializer_list>

#include <fcntl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_signal = 0;
volatile std::sig_atomic_t g_signals = 0;
int g_pipe[2] = {-1, -1};

void Note(int signal)
{
    const int saved = errno;
    if (g_signal == 0)
        g_signal = signal;
    g_signals = g_signals + 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void CatchTerminationSignals()
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_NONBLOCK | O_CLOEXEC) != 0)
        g_pipe[0] = g_pipe[1] = -1;
    struct sigaction action = {};
    action.sa_handler = Note;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

int TerminationSignal()
{
    return g_signal;
}

int TerminationSignalCount()
{
    return g_signals;
}

int TerminationFd()
{
    return g_pipe[0];
}

int ExitStatusAfterSignals(int status)
{
    return g_signal != 0 ? 128 + g_signal : status;
}
