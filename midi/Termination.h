// SIGINT, SIGTERM and SIGHUP end both programs the way quitting does. The
// handler only notes the signal; the program stops at its next safe point
// (a send in flight ends whole, nothing new starts, the MIDI systems are
// closed) and exits with 128 + the signal's number, as shells report it. It
// never ends inside a signal handler, where another thread may be midway
// through libjack's shared state.
#pragma once

// Installs the handlers. Later signals of these kinds are noted too, but
// the first one decides the exit status.
void CatchTerminationSignals();

// The first signal caught, or 0.
int TerminationSignal();

// Readable once a signal has been caught: an event loop can watch it.
int TerminationFd();

// 128 + the signal caught, or `status` when none was.
int ExitStatusAfterSignals(int status);
