// The one way out of both programs once MIDI may have been used.
#pragma once

// Closes the MIDI service and returns ExitStatusAfterSignals(status). When a
// MIDI system was left inside a call that waits on its server, the process
// ends here instead, with that status: exit handlers must not run beside it.
int CloseMidiAndReturn(int status);
