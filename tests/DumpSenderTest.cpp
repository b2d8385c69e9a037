// The destination directory and the dump sender over the in-memory backend.

#include "Alert.h"
#include "DestinationDirectory.h"
#include "DumpSender.h"
#include "Engine.h"
#include "MemoryBackend.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class TitleList : public TitlePopup
{
public:
    void AddItemWithTitle(const std::string& title) override { titles.push_back(title); }
    std::vector<std::string> titles;
};

class DumpSenderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto backend = std::make_unique<MemoryBackend>();
        midi = backend.get();
        std::vector<std::unique_ptr<MidiBackend>> backends;
        backends.push_back(std::move(backend));
        MIDIServiceUseBackends(std::move(backends));
        SetAlertPresenter([this](const char* message) { alerts.push_back(message); });
        countsBefore = GetSendBlockCounts();
        for (int i = 0; i < 128; ++i)
            s_Engine.m_anWave[i] = static_cast<std::int16_t>(i * 300 - 19000);
    }

    void TearDown() override
    {
        if (midi != nullptr)
            midi->CompleteAll();
        SetAlertPresenter(nullptr);
        MIDIServiceShutDown();
    }

    std::uint64_t BlocksAllocated() const { return GetSendBlockCounts().allocated - countsBefore.allocated; }
    std::uint64_t BlocksFreed() const { return GetSendBlockCounts().freed - countsBefore.freed; }

    static std::vector<std::uint8_t> EngineMessage(int index)
    {
        std::uint32_t length = 0;
        const std::uint8_t* msg = s_Engine.PackWavToSysex(index, length);
        return std::vector<std::uint8_t>(msg, msg + length);
    }

    MemoryBackend* midi = nullptr;
    std::vector<std::string> alerts;
    SendBlockCounts countsBefore{};
};

TEST_F(DumpSenderTest, PopupListsTitlesInIndexOrderAfterExistingItems)
{
    midi->AddDestination("UM-ONE MIDI 1", "UM-ONE");
    midi->AddDestination("input", "midi-monitor");
    midi->AddDestination("Out 1", "");
    TitleList popup;
    popup.titles.push_back("kept");
    AddMIDIPortsToPopup(popup);
    EXPECT_EQ(popup.titles, (std::vector<std::string>{"kept", "UM-ONE MIDI 1 (UM-ONE)", "input (midi-monitor)",
                                                      "Out 1 ()"}));
}

TEST_F(DumpSenderTest, LookupIsExactAndTheLowerIndexWins)
{
    midi->AddDestination("Other", "Synth");
    const std::string first = midi->AddDestination("Out 1", "XY-10");
    const std::string second = midi->AddDestination("Out 1", "XY-10");

    EXPECT_EQ(FindMIDIPortByTitle(std::string("Out 1 (XY-10)")), MIDIGetDestination(1));
    EXPECT_EQ(FindMIDIPortByTitle(std::string("out 1 (XY-10)")), 0u);
    EXPECT_EQ(FindMIDIPortByTitle(std::string("Out 1 (XY-10) ")), 0u);
    EXPECT_EQ(FindMIDIPortByTitle(std::string("Out 1")), 0u);
    EXPECT_EQ(FindMIDIPortByTitle(std::nullopt), 0u);

    // The first is renamed: the second now answers to the old title, and the
    // first is not found under it.
    midi->Rename(first, "Out A", "XY-10");
    EXPECT_EQ(FindMIDIPortByTitle(std::string("Out 1 (XY-10)")), MIDIGetDestination(2));
    midi->RemoveDestination(second);
    EXPECT_EQ(FindMIDIPortByTitle(std::string("Out 1 (XY-10)")), 0u);
}

TEST_F(DumpSenderTest, NoDestinationsMeansAnEmptyPopupAndNoMatch)
{
    TitleList popup;
    AddMIDIPortsToPopup(popup);
    EXPECT_TRUE(popup.titles.empty());
    EXPECT_EQ(FindMIDIPortByTitle(std::string(" ()")), 0u);
}

TEST_F(DumpSenderTest, SendCarriesTheWaveNumberMinusOneAndIsFreedOnCompletion)
{
    const std::string port = midi->AddDestination("input", "midi-monitor");
    ::testing::internal::CaptureStderr();
    SendWaveDump(std::string("input (midi-monitor)"), "97");
    SendWaveDump(std::string("input (midi-monitor)"), "128");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "MIDISendSysex = 0\nMIDISendSysex = 0\n");

    ASSERT_EQ(midi->Sends().size(), 2u);
    EXPECT_EQ(midi->Sends()[0].address, port);
    EXPECT_EQ(midi->Sends()[0].bytes, EngineMessage(96));
    EXPECT_EQ(midi->Sends()[0].bytes[5], 0x60);
    EXPECT_EQ(midi->Sends()[1].bytes, EngineMessage(127));
    EXPECT_EQ(midi->Sends()[1].bytes[5], 0x7F);

    // Two outstanding sends, each with its own block and its own message.
    EXPECT_NE(midi->Sends()[0].request, midi->Sends()[1].request);
    EXPECT_NE(midi->Sends()[0].request->data, midi->Sends()[1].request->data);
    EXPECT_EQ(midi->Sends()[0].request->data[5], 0x60);
    EXPECT_EQ(midi->Sends()[0].request->bytesToSend, 300u);
    EXPECT_EQ(midi->Sends()[0].request->completionProc, &SyxSendDone);
    EXPECT_EQ(BlocksAllocated(), 2u);
    EXPECT_EQ(BlocksFreed(), 0u);

    midi->Complete(1);
    EXPECT_EQ(BlocksFreed(), 1u);
    midi->Complete(0);
    EXPECT_EQ(BlocksFreed(), 2u);
    EXPECT_TRUE(alerts.empty());
}

TEST_F(DumpSenderTest, MissingPortAlertsAndAllocatesNothing)
{
    const std::string port = midi->AddDestination("input", "midi-monitor");
    midi->RemoveDestination(port);
    ::testing::internal::CaptureStderr();
    const WaveDumpSend result = SendWaveDump(std::string("input (midi-monitor)"), "100");
    SendWaveDump(std::nullopt, "100");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "no send, so no log line";
    EXPECT_FALSE(result.portFound);
    EXPECT_EQ(alerts, (std::vector<std::string>{kPortGoneAlert, kPortGoneAlert}));
    EXPECT_EQ(BlocksAllocated(), 0u);
    EXPECT_TRUE(midi->Sends().empty());
}

TEST_F(DumpSenderTest, RefusedSendIsLoggedWithItsStatusAndItsBlockFreed)
{
    midi->AddDestination("input", "midi-monitor");
    midi->RefuseSendsWith(kMIDIServerGone);
    ::testing::internal::CaptureStderr();
    const WaveDumpSend result = SendWaveDump(std::string("input (midi-monitor)"), "100");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "MIDISendSysex = " + std::to_string(kMIDIServerGone) + "\n");
    EXPECT_TRUE(result.portFound);
    EXPECT_EQ(result.status, kMIDIServerGone);
    EXPECT_EQ(BlocksAllocated(), 1u);
    EXPECT_EQ(BlocksFreed(), 1u);
    EXPECT_EQ(GetSendBlockCounts().delivered - countsBefore.delivered, 0u);
    EXPECT_TRUE(alerts.empty()) << "a refused send is only logged";
}

TEST_F(DumpSenderTest, ClosingTheServiceCompletesOutstandingSends)
{
    midi->AddDestination("input", "midi-monitor");
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 50; ++i)
        SendWaveDump(std::string("input (midi-monitor)"), "110");
    ::testing::internal::GetCapturedStderr();
    midi->Complete(3);
    MIDIServiceShutDown();
    midi = nullptr;
    EXPECT_EQ(BlocksAllocated(), 50u);
    EXPECT_EQ(BlocksFreed(), 50u);
    EXPECT_EQ(GetSendBlockCounts().delivered - countsBefore.delivered, 1u);
    EXPECT_TRUE(WaitForSendBlocksFreed(std::chrono::milliseconds(0)));
}

}  // namespace
