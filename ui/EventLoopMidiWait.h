// While the window waits for a MIDI system's answer, its event loop keeps
// running: it repaints and stays responsive, and a server that stops
// answering can't freeze it. User input waits until the answer is in, as
// during a modal alert, so nothing the user does lands in the middle of a
// send.
#pragma once

void InstallEventLoopMidiWaiter();
