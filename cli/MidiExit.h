#pragma once

// Closes the MIDI service and returns `status`. When a MIDI system is stuck
// in a call (a server that stopped answering), the process ends here with
// `status` instead: its exit handlers must not run while that call does.
int CloseMidiAndReturn(int status);
