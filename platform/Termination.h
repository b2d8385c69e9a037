// The signals that end both programs. SIGINT, SIGTERM and SIGHUP end them
// the way quitting does: the handler only notes the signal, and the program
// stops at its next safe point (a send in flight ends whole, nothing new starts, the
// MIDI systems are closed) with 128 + the signal's number, as shells report
// it. Nothing ends inside a signal handler, where another thread may be
// midway through libjack's shared state.
#pragma once

// Installs the handlers. Later signals are noted too; the first decides
// the exit status.
void CatchTerminationSignals();

// The first signal caught, or 0.
int TerminationSignal();

// How many signals have been caught so far.
int TerminationSignalCount();

// Readable once a signal has been caught: an event loop can watch it.
int TerminationFd();

// 128 + the signal caught, or `status` when none was.
int ExitStatusAfterSignals(int status);
