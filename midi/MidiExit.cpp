#include "MidiExit.h"

#include "MidiService.h"
#include "Termination.h"

#include <cstdio>
#include <cstdlib>

int CloseMidiAndReturn(int status)
{
    MIDIServiceSetWaiter(nullptr);
    const bool closed = MIDIServiceShutDown();
    status = ExitStatusAfterSignals(status);
    if (closed)
        return status;
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
