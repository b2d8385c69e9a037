// The one way out of both programs once MIDI or audio may have been used.
#pragma once

// Closes the MIDI service and returns ExitStatusAfterSignals(status). When
// a lane was left inside a call that waits on its server (a MIDI system's,
// or a preview's), the process ends here instead, with that status: exit
// handlers must not run beside it.
int CloseMidiAndReturn(int status);
