// The destination directory and the dump sender over the in-memory backend.

#include "MemoryBackend.h"
#include "MidiRig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kMonitor = "input (midi-monitor)";

class DumpSenderTest : public MidiServiceTest
{
protected:
    void SetUp() override
    {
        MidiServiceTest::SetUp();
        for (int i = 0; i < 128; ++i)
            s_Engine.m_anWave[i] = static_cast<std::int16_t>(i * 300 - 19000);
    }

    MemoryBackend& midi = UseOnlyBackend<MemoryBackend>();
};

TEST_F(DumpSenderTest, PopupListsTitlesInIndexOrder)
{
    EXPECT_TRUE(PortTitles().empty());
    EXPECT_EQ(FindMIDIPortByTitle(std::string(" ()")), 0u);
    midi.AddDestination("UM-ONE MIDI 1", "UM-ONE");
    midi.AddDestination("input", "midi-monitor");
    midi.AddDestination("Out 1", "");
    EXPECT_EQ(PortTitles(), (std::vector<std::string>{"UM-ONE MIDI 1 (UM-ONE)", kMonitor, "Out 1 ()"}));
}

TEST_F(DumpSenderTest, LookupIsExactAndTheLowerIndexWins)
{
    midi.AddDestination("Other", "Synth");
    const std::string first = midi.AddDestination("Out 1", "XY-10");
    const std::string second = midi.AddDestination("Out 1", "XY-10");

    EXPECT_EQ(FindMIDIPortByTitle(std::string("Out 1 (XY-10)")), MIDIGetDestination(1));
    EXPECT_EQ(FindMIDIPortByTitle(std::string("out 1 (XY-10)")), 0u);
    EXPECT_EQ(FindMIDIPortByTitle(std::string("Out 1 (XY-10) ")), 0u);
    EXPECT_EQ(FindMIDIPortByTitle(std::string("Out 1")), 0u);
    EXPECT_EQ(FindMIDIPortByTitle(std::nullopt), 0u);

    // The first is renamed: the second now answers to the old title, and the
    // first is not found under it.
    midi.Rename(first, "Out A", "XY-10");
    EXPECT_EQ(FindMIDIPortByTitle(std::string("Out 1 (XY-10)")), MIDIGetDestination(2));
    midi.RemoveDestination(second);
    EXPECT_EQ(FindMIDIPortByTitle(std::string("Out 1 (XY-10)")), 0u);
}

TEST_F(DumpSenderTest, EachSendCarriesTheWaveNumberMinusOneInABlockOfItsOwn)
{
    const std::string port = midi.AddDestination("input", "midi-monitor");
    Send(kMonitor, "97");
    Send(kMonitor, "128");
    EXPECT_EQ(log, "MIDISendSysex = 0\nMIDISendSysex = 0\n");

    ASSERT_EQ(midi.Sends().size(), 2u);
    EXPECT_EQ(midi.Sends()[0].address, port);
    EXPECT_EQ(midi.Sends()[0].bytes, Message(s_Engine, 97));
    EXPECT_EQ(midi.Sends()[0].bytes[5], 0x60);
    EXPECT_EQ(midi.Sends()[1].bytes, Message(s_Engine, 128));
    EXPECT_EQ(midi.Sends()[1].bytes[5], 0x7F);

    // Two outstanding sends, each with its own block and its own message,
    // each freed by its own completion.
    const MIDISysexSendRequest& request = *midi.Sends()[0].request;
    EXPECT_NE(&request, midi.Sends()[1].request);
    EXPECT_NE(request.data, midi.Sends()[1].request->data);
    EXPECT_EQ(request.data[5], 0x60);
    EXPECT_EQ(request.bytesToSend, 300u);
    EXPECT_EQ(request.completionProc, &SyxSendDone);
    EXPECT_EQ(Blocks(), "allocated 2 freed 0 delivered 0");
    midi.Complete(1);
    EXPECT_EQ(Blocks(), "allocated 2 freed 1 delivered 1");
    midi.Complete(0);
    EXPECT_EQ(Blocks(), "allocated 2 freed 2 delivered 2");
    EXPECT_TRUE(alerts.empty());
}

TEST_F(DumpSenderTest, MissingPortAlertsAndAllocatesNothing)
{
    midi.RemoveDestination(midi.AddDestination("input", "midi-monitor"));
    EXPECT_FALSE(Send(kMonitor, "100").portFound);
    EXPECT_FALSE(Send(std::nullopt, "100").portFound);
    EXPECT_EQ(log, "") << "no send, so no log line";
    EXPECT_EQ(alerts, (std::vector<std::string>{kPortGoneAlert, kPortGoneAlert}));
    EXPECT_EQ(Blocks(), "allocated 0 freed 0 delivered 0");
    EXPECT_TRUE(midi.Sends().empty());
}

TEST_F(DumpSenderTest, RefusedSendIsLoggedWithItsStatusAndItsBlockFreed)
{
    midi.AddDestination("input", "midi-monitor");
    midi.RefuseSendsWith(kMIDIServerGone);
    const WaveDumpSend result = Send(kMonitor, "100");
    EXPECT_EQ(log, "MIDISendSysex = " + std::to_string(kMIDIServerGone) +
                       "\nMIDI send refused: refused by the in-memory backend\n");
    EXPECT_TRUE(result.portFound);
    EXPECT_EQ(result.status, kMIDIServerGone);
    EXPECT_EQ(Blocks(), "allocated 1 freed 1 delivered 0");
    EXPECT_TRUE(alerts.empty()) << "a refused send is only logged";
}

TEST_F(DumpSenderTest, EveryBlockIsFreedOnceWhetherDeliveredRefusedOrCutOffByClosing)
{
    midi.AddDestination("input", "midi-monitor");
    for (int i = 0; i < 1000; ++i) {
        // Every fourth send is refused; the rest complete in batches of ten,
        // but the last few are still outstanding when the service closes.
        midi.RefuseSendsWith(i % 4 == 3 ? kMIDIMessageSendErr : noErr);
        Send(kMonitor, std::to_string(97 + i % 32));
        if (i % 10 == 9 && i < 990)
            midi.CompleteAll();
    }
    MIDIServiceShutDown();
    // 750 accepted, of which the 7 among the last 10 were cut off.
    EXPECT_EQ(Blocks(), "allocated 1000 freed 1000 delivered 743");
    EXPECT_TRUE(WaitForSendBlocksFreed(std::chrono::milliseconds(0)));
}

}  // namespace
