// The shared module that holds the ALSA and JACK backends, and its one entry
// point. Only the module links libasound and libjack.
#pragma once

#include "MidiBackend.h"

#include <memory>
#include <string>
#include <vector>

inline constexpr char kSystemBackendsEntry[] = "QwdListMidiSystems";

// How to open one system's backend; called on that system's own thread,
// since opening may block on a server that does not answer.
struct MidiSystemOpener
{
    const char* system;  // "ALSA sequencer", "JACK server"
    std::unique_ptr<MidiBackend> (*open)(const std::string& clientName);
    std::string whenLocked;  // as MidiSystem::whenLocked
};

using ListMidiSystemsFn = void (*)(std::vector<MidiSystemOpener>& systems);
