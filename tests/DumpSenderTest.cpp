// Destination titles, their lookup and the dump sender, in memory.

#include "MemoryBackend.h"
#include "MidiRig.h"

#include <gtest/gtest.h>

namespace {

const std::string kMonitor = "input (midi-monitor)";

class DumpSenderTest : public MidiServiceTest
{
protected:
    MemoryBackend& midi = UseOnlyBackend<MemoryBackend>();
};

TEST_F(DumpSenderTest, TitlesAreNameAndModelAndLookupIsExactWithTheLowerIndexWinning)
{
    midi.AddDestination("UM-ONE MIDI 1", "UM-ONE");
    const std::string first = midi.AddDestination("Out 1", "");
    midi.AddDestination("Out 1", "");
    std::vector<std::string> titles;
    for (const ListedPort& destination : ListMIDIPorts())
        titles.push_back(destination.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"UM-ONE MIDI 1 (UM-ONE)", "Out 1 ()", "Out 1 ()"}));

    EXPECT_EQ(FindMIDIPortByTitle(std::string("Out 1 ()")), MIDIGetDestination(1));
    for (const char* title : {"out 1 ()", "Out 1 () ", "Out 1", "UM-ONE MIDI 1", ""})
        EXPECT_EQ(FindMIDIPortByTitle(std::string(title)), 0u) << title;
    EXPECT_EQ(FindMIDIPortByTitle(std::nullopt), 0u);
    // Renamed, the first no longer answers to its old title; the second does.
    midi.Rename(first, "Out A");
    EXPECT_EQ(FindMIDIPortByTitle(std::string("Out 1 ()")), MIDIGetDestination(2));
}

TEST_F(DumpSenderTest, EachSendCarriesTheWaveNumberMinusOneInABlockFreedByItsOwnCompletion)
{
    const std::string port = midi.AddDestination("input", "midi-monitor");
    Send(kMonitor, "97");
    Send(kMonitor, "128");
    EXPECT_EQ(log, "MIDISendSysex = 0\nMIDISendSysex = 0\n");
    ASSERT_EQ(midi.Sends().size(), 2u);
    EXPECT_EQ(midi.Sends()[0].address, port);
    EXPECT_EQ(midi.Sends()[0].bytes, Message(s_Engine, 97));
    EXPECT_EQ(midi.Sends()[1].bytes, Message(s_Engine, 128));
    midi.Complete(1);
    midi.Complete(0, false);

    // A port that is gone, or none selected: the alert, and nothing sent.
    midi.RemoveDestination(port);
    EXPECT_FALSE(Send(kMonitor, "100").portFound);
    EXPECT_FALSE(Send(std::nullopt, "100").portFound);
    EXPECT_EQ(alerts, (std::vector<std::string>{kPortGoneAlert, kPortGoneAlert}));
    EXPECT_EQ(midi.Sends().size(), 2u);
}

TEST_F(DumpSenderTest, ARefusedSendIsLoggedWithItsReasonAndItsBlockFreedOnce)
{
    midi.AddDestination("input", "midi-monitor");
    midi.RefuseSendsWith(kMIDIServerGone);
    EXPECT_EQ(Send(kMonitor, "100").status, kMIDIServerGone);
    EXPECT_EQ(log, "MIDISendSysex = " + std::to_string(kMIDIServerGone) +
                       "\nMIDI send refused: refused by the in-memory backend\n");
    EXPECT_TRUE(alerts.empty()) << "a refused send is only logged";
}

}  // namespace
