// The MIDI service over one backend of the test's choosing, the engine's
// message, and a fixture noting alerts, log lines and send blocks.
#pragma once

#include "Alert.h"
#include "DestinationDirectory.h"
#include "DumpSender.h"
#include "Engine.h"
#include "MidiBackend.h"

#include <gtest/gtest.h>

// Makes a new Backend(args...) the service's only backend; returns it.
template <typename Backend, typename... Args>
Backend& UseOnlyBackend(Args&&... args)
{
    std::vector<std::unique_ptr<MidiBackend>> backends;
    backends.push_back(std::make_unique<Backend>(std::forward<Args>(args)...));
    Backend& backend = static_cast<Backend&>(*backends.back());
    MIDIServiceUseBackends(std::move(backends));
    return backend;
}

// The 300 bytes `engine` packs for wave `waveNumber`, or an engine that
// loads the file at `wavPath`.
inline std::vector<std::uint8_t> Message(CEngine& engine, int waveNumber)
{
    std::uint32_t length = 0;
    const std::uint8_t* msg = engine.PackWavToSysex(waveNumber - 1, length);
    return std::vector<std::uint8_t>(msg, msg + length);
}
inline std::vector<std::uint8_t> Message(const std::string& wavPath, int waveNumber)
{
    CEngine engine;
    return engine.LoadWaveFile(wavPath.c_str()) ? Message(engine, waveNumber) : std::vector<std::uint8_t>();
}

class MidiServiceTest : public ::testing::Test
{
protected:
    void SetUp() override { SetAlertPresenter([this](const char* message) { alerts.push_back(message); }); }
    void TearDown() override
    {
        MIDIServiceShutDown();
        SetAlertPresenter(nullptr);
    }

    // A send, its log lines added to `log`.
    WaveDumpSend Send(const std::optional<std::string>& portTitle, const std::string& waveTitle)
    {
        ::testing::internal::CaptureStderr();
        const WaveDumpSend sent = SendWaveDump(portTitle, waveTitle);
        log += ::testing::internal::GetCapturedStderr();
        return sent;
    }
    // Send blocks allocated, freed and delivered since the test began.
    std::string Blocks() const
    {
        const SendBlockCounts now = GetSendBlockCounts();
        return "allocated " + std::to_string(now.allocated - start.allocated) + " freed " +
               std::to_string(now.freed - start.freed) + " delivered " + std::to_string(now.delivered - start.delivered);
    }

    const SendBlockCounts start = GetSendBlockCounts();
    std::vector<std::string> alerts;
    std::string log;
};
