// The module's entry, opened on first use: a program that never plays never
// loads libjack's or libasound's audio side. Needs qwd_use_wave_play().
#pragma once

#include "ProgramModule.h"
#include "WavePlay.h"

#include <dlfcn.h>

// The module, opened once; null when it can't be, `error` then says why.
inline void* PlayModule(std::string& error)
{
    static std::string why;
    static void* const module = [] {
        const std::string path = ProgramModulePath(QWD_PLAY_MODULE_FROM_BINDIR, QWD_PLAY_MODULE_IN_BUILD);
        void* opened = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (opened == nullptr)
            why = std::string("can't load the audio module: ") + ::dlerror();
        return opened;
    }();
    error = why;
    return module;
}

// Null when the module can't be opened; `error` then says why.
inline PlayWavesFn PlayWavesEntry(std::string& error)
{
    static std::string why;
    static const PlayWavesFn entry = [] {
        void* module = PlayModule(why);
        auto* found = module ? reinterpret_cast<PlayWavesFn>(::dlsym(module, kPlayWavesEntry)) : nullptr;
        if (module != nullptr && found == nullptr)
            why = std::string("can't load the audio module: ") + ::dlerror();
        return found;
    }();
    error = why;
    return entry;
}

// Null when the module can't be opened.
inline ChangePlayingWaveFn ChangePlayingWaveEntry()
{
    static const ChangePlayingWaveFn entry = [] {
        std::string error;
        void* module = PlayModule(error);
        return module ? reinterpret_cast<ChangePlayingWaveFn>(::dlsym(module, kChangePlayingWaveEntry)) : nullptr;
    }();
    return entry;
}

// Null when the module can't be opened.
inline PlayingKeysHeldFn PlayingKeysHeldEntry()
{
    static const PlayingKeysHeldFn entry = [] {
        std::string error;
        void* module = PlayModule(error);
        return module ? reinterpret_cast<PlayingKeysHeldFn>(::dlsym(module, kPlayingKeysHeldEntry)) : nullptr;
    }();
    return entry;
}

// Plays `request` through the module, on a lane of the program's own, and
// gives that lane up afterwards: should the module have stopped waiting for
// a call that never returned, the lane is left behind (Lane::AnyLeftBehind),
// which the program's one exit reads. False when the module can't be opened.
inline bool PlayWaves(PlayRequest request, const std::function<void(const PlayReport&)>& started, PlayReport& report,
                      std::string& error)
{
    const PlayWavesFn play = PlayWavesEntry(error);
    if (play == nullptr)
        return false;
    const std::shared_ptr<Lane> lane = Lane::Start();
    request.lane = lane.get();
    play(request, started, report);
    lane->LetGo();
    return true;
}
