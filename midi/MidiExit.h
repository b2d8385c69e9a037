// The one way both programs end once they may have used MIDI.
#pragma once

// Closes the MIDI service and returns the exit status: `status`, or 128 +
// the signal that asked the program to end (see Termination.h). When a MIDI
// system was left inside a call that waits on its server, the process ends
// here instead, with that status: exit handlers must not run beside it.
int CloseMidiAndReturn(int status);
