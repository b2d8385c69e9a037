// The shared module that holds the ALSA and JACK backends, and its one entry
// point. Only the module links libasound and libjack.
#pragma once

#include "MidiBackend.h"

#include <memory>
#include <vector>

inline constexpr char kSystemBackendsEntry[] = "QwdAddSystemMidiBackends";

using AddSystemMidiBackendsFn = void (*)(std::vector<std::unique_ptr<MidiBackend>>& backends);
