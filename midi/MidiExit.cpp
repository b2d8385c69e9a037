#include "MidiExit.h"

#include "Lane.h"
#include "MidiService.h"
#include "Termination.h"

#include <cstdio>
#include <cstdlib>

int CloseMidiAndReturn(int status)
{
    MIDIServiceShutDown();
    status = ExitStatusAfterSignals(status);
    if (!Lane::AnyLeftBehind())
        return status;
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
