// How the programs open the audio fit module: on first use, so that only a
// command or menu item that fits pays for it.
#pragma once

#include "WaveFit.h"

#include <string>

// The module's entries, for FitThroughModule.
struct WaveFitModule
{
    FitTableFileFn fit;
    FreeFitResultFn release;
};

// The module, opened on the first call and kept for the life of the
// process; null with `error` set to the loader's reason when it can't be.
const WaveFitModule* WaveFitEntry(std::string& error);
