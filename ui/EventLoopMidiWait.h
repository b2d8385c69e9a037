// While the window waits for a MIDI system's answer (a send's hand-over, a
// listing), its event loop keeps running: it repaints and stays responsive,
// and a server that stops answering can't freeze it. User input waits until
// the answer is in, as during a modal alert, so nothing the user does lands
// in the middle of a send. The wait wakes up when a system's call returns,
// at its deadline, and for nothing else.
#pragma once

void InstallEventLoopMidiWaiter();
