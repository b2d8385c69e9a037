// The MIDI service over one backend of the test's choosing, the engine's
// message, and a fixture noting alerts and log lines. Send blocks freed
// twice or never are the sanitizer run's to find.
#pragma once

#include "Alert.h"
#include "DestinationDirectory.h"
#include "DumpSender.h"
#include "Engine.h"
#include "MidiBackend.h"
#include "WaveSend.h"

#include <gtest/gtest.h>

// Makes a new Backend(args...) the service's only backend; returns it.
template <typename Backend, typename... Args>
Backend& UseOnlyBackend(Args&&... args)
{
    auto held = std::make_shared<std::unique_ptr<MidiBackend>>(std::make_unique<Backend>(std::forward<Args>(args)...));
    Backend& backend = static_cast<Backend&>(**held);
    MIDIServiceUseSystems({{"MIDI system", [held] { return std::move(*held); }}});
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
    void SetUp() override
    {
        SetAlertPresenter([this](const char* message) { alerts.push_back(message); });
    }
    void TearDown() override
    {
        MIDIServiceShutDown();
        SetAlertPresenter(nullptr);
    }

    // A send, waited for, its log lines added to `log`.
    WaveDumpSend Send(const std::optional<std::string>& portTitle, const std::string& waveTitle)
    {
        ::testing::internal::CaptureStderr();
        std::optional<WaveDumpSend> sent;
        SendWaveDump(portTitle, waveTitle, [&sent](const WaveDumpSend& done) { sent = done; });
        MIDIServiceWaitFor([&sent] { return sent.has_value(); });
        log += ::testing::internal::GetCapturedStderr();
        return *sent;
    }
    std::vector<std::string> alerts;
    std::string log;
};
