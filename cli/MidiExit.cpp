#include "MidiExit.h"

#include "MidiService.h"

#include <cstdio>
#include <cstdlib>

int CloseMidiAndReturn(int status)
{
    if (MIDIServiceShutDown())
        return status;
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
