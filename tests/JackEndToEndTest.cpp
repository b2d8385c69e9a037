// qwdump against a private JACK server and a real receiving client
// (jack_midi_dump): what it lists, and the bytes that arrive.

#include "Engine.h"
#include "JackRig.h"
#include "LoadMessages.h"
#include "Process.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr char kPortGone[] = "The MIDI port you've selected is no longer available.Please select another.\n";

ProcessResult Qwdump(std::vector<std::string> args)
{
    args.insert(args.begin(), QWDUMP_PATH);
    return RunProcess(args);
}

std::vector<std::uint8_t> ExpectedMessage(const std::string& wavPath, int waveNumber)
{
    CEngine engine;
    EXPECT_TRUE(engine.LoadWaveFile(wavPath.c_str()));
    std::uint32_t length = 0;
    const std::uint8_t* msg = engine.PackWavToSysex(waveNumber - 1, length);
    return std::vector<std::uint8_t>(msg, msg + length);
}

class JackEndToEndTest : public ::testing::Test
{
protected:
    void StartServer(const std::vector<std::string>& extra = {})
    {
        server = std::make_unique<PrivateJackServer>(dir.File("jackd.log"), extra);
    }
    // Clients first, each waited for, then the server.
    void TearDown() override
    {
        monitors.clear();
        server.reset();
    }
    MidiDump& AddMonitor(const std::string& clientName = "midi-monitor")
    {
        monitors.push_back(std::make_unique<MidiDump>(*server, dir.File(clientName + ".log"), clientName));
        return *monitors.back();
    }

    TempDir dir;
    std::unique_ptr<PrivateJackServer> server;
    std::vector<std::unique_ptr<MidiDump>> monitors;
    const std::string square = std::string(EXAMPLES_DIR) + "/square.wav";
    const std::string saw = std::string(EXAMPLES_DIR) + "/saw-1000.wav";
};

TEST_F(JackEndToEndTest, PortsListsTheMonitorAndSendDeliversExactlyTheEnginesMessage)
{
    StartServer();
    MidiDump& monitor = AddMonitor();

    ProcessResult r = Qwdump({"ports"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, "input (midi-monitor)\n");
    EXPECT_EQ(r.err, "");

    r = Qwdump({"send", square, "--port", "input (midi-monitor)", "--wave", "97"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, "Sent wave 97 to input (midi-monitor)\n");
    EXPECT_EQ(r.err, "MIDISendSysex = 0\n");
    r = Qwdump({"send", saw, "--port", "input (midi-monitor)", "--wave", "128"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;

    ASSERT_TRUE(monitor.WaitForEvents(2, std::chrono::seconds(5)));
    const auto events = monitor.Events();
    ASSERT_EQ(events.size(), 2u) << "each message arrives once, whole, as one event";
    EXPECT_EQ(events[0], ExpectedMessage(square, 97));
    EXPECT_EQ(events[1], ExpectedMessage(saw, 128));
    EXPECT_EQ(events[1].size(), 300u);
}

TEST_F(JackEndToEndTest, SendReachesOnlyTheChosenDestination)
{
    StartServer();
    MidiDump& first = AddMonitor("first");
    MidiDump& second = AddMonitor("second");

    ProcessResult r = Qwdump({"ports"});
    EXPECT_TRUE(r.out == "input (first)\ninput (second)\n" || r.out == "input (second)\ninput (first)\n") << r.out;

    r = Qwdump({"send", square, "--port", "input (second)", "--wave", "100"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    r = Qwdump({"send", saw, "--port", "input (first)", "--wave", "101"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;

    ASSERT_TRUE(first.WaitForEvents(1, std::chrono::seconds(5)));
    ASSERT_TRUE(second.WaitForEvents(1, std::chrono::seconds(5)));
    // Give a stray copy time to show up before counting.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(first.Events(), (std::vector<std::vector<std::uint8_t>>{ExpectedMessage(saw, 101)}));
    EXPECT_EQ(second.Events(), (std::vector<std::vector<std::uint8_t>>{ExpectedMessage(square, 100)}));
}

TEST_F(JackEndToEndTest, DestinationThatWentAwayExitsThreeWithTheAlertAlone)
{
    StartServer();
    AddMonitor();
    EXPECT_EQ(Qwdump({"ports"}).out, "input (midi-monitor)\n");
    monitors.clear();

    const ProcessResult r = Qwdump({"send", square, "--port", "input (midi-monitor)", "--wave", "100"});
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_EQ(r.err, kPortGone);
    EXPECT_EQ(r.out, "");
}

TEST_F(JackEndToEndTest, RefusedConnectionExitsFourWithOneReason)
{
    // This server fails requests of a client to connect its own ports to
    // other clients', so the send is refused.
    StartServer({"-a", "E"});
    AddMonitor();
    const ProcessResult r = Qwdump({"send", square, "--port", "input (midi-monitor)", "--wave", "100"});
    EXPECT_EQ(r.exitStatus, 4);
    EXPECT_EQ(r.err, "MIDISendSysex = " + std::to_string(-10838) +
                         "\nqwdump: the send was refused: the MIDI system could not take the message\n");
    EXPECT_EQ(r.out, "");
}

TEST_F(JackEndToEndTest, ConnectionThatNeverComesExitsFourUndelivered)
{
    // This server ignores such requests: the connection is never made, so
    // the message can't go out and the send completes undelivered.
    StartServer({"-a", "e"});
    MidiDump& monitor = AddMonitor();
    const ProcessResult r = Qwdump({"send", square, "--port", "input (midi-monitor)", "--wave", "100"});
    EXPECT_EQ(r.exitStatus, 4);
    EXPECT_EQ(r.err, "MIDISendSysex = 0\nqwdump: the message was not delivered to input (midi-monitor)\n");
    EXPECT_TRUE(monitor.Events().empty());
}

TEST_F(JackEndToEndTest, BadFileOrWaveNumberFailsBeforeAnythingIsSent)
{
    StartServer();
    MidiDump& monitor = AddMonitor();
    ProcessResult r = Qwdump({"send", dir.File("missing.wav"), "--port", "input (midi-monitor)", "--wave", "100"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, std::string(LoadMessages::kOpenFailed) + "\n");
    for (const char* wave : {"96", "129"}) {
        r = Qwdump({"send", square, "--port", "input (midi-monitor)", "--wave", wave});
        EXPECT_EQ(r.exitStatus, 2) << wave;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(monitor.Events().empty());
}

}  // namespace
