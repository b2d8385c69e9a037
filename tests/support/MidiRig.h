// The MIDI service for tests: one backend of the test's choosing, the port
// titles as the window's popup gets them, send-block counts, and the
// message the engine packs.
#pragma once

#include "DestinationDirectory.h"
#include "DumpSender.h"
#include "Engine.h"
#include "MidiBackend.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

// Makes a new Backend(args...) the service's only backend; returns it.
template <typename Backend, typename... Args>
Backend& UseOnlyBackend(Args&&... args)
{
    auto owned = std::make_unique<Backend>(std::forward<Args>(args)...);
    Backend& backend = *owned;
    std::vector<std::unique_ptr<MidiBackend>> backends;
    backends.push_back(std::move(owned));
    MIDIServiceUseBackends(std::move(backends));
    return backend;
}

inline std::vector<std::string> PortTitles()
{
    struct : TitlePopup
    {
        void AddItemWithTitle(const std::string& title) override { titles.push_back(title); }
        std::vector<std::string> titles;
    } popup;
    AddMIDIPortsToPopup(popup);
    return popup.titles;
}

// Send blocks allocated, freed and delivered since `start`.
inline SendBlockCounts BlocksSince(const SendBlockCounts& start)
{
    const SendBlockCounts now = GetSendBlockCounts();
    return {now.allocated - start.allocated, now.freed - start.freed, now.delivered - start.delivered};
}

// The 300 bytes `engine` packs for wave `waveNumber` (97 to 128).
inline std::vector<std::uint8_t> Message(CEngine& engine, int waveNumber)
{
    std::uint32_t length = 0;
    const std::uint8_t* msg = engine.PackWavToSysex(waveNumber - 1, length);
    return std::vector<std::uint8_t>(msg, msg + length);
}

// The same for the file at `wavPath`, loaded into an engine of its own.
inline std::vector<std::uint8_t> Message(const std::string& wavPath, int waveNumber)
{
    CEngine engine;
    if (!engine.LoadWaveFile(wavPath.c_str()))
        return {};
    return Message(engine, waveNumber);
}
