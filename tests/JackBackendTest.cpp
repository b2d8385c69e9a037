// The JACK backend in this process, through the MIDI service, with a private
// server: sends that go out together, and a server that stops, comes back or
// crashes while our client is up.

#include "JackBackend.h"
#include "JackRig.h"
#include "MidiRig.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

using JackBackendTest = MidiServiceTest;

TEST_F(JackBackendTest, SendsArriveInOrderAndAServerThatStopsComesBackOrCrashesLeavesNoSendBehind)
{
    TempDir dir;
    const std::string name = UniqueJackServerName();
    std::unique_ptr<PrivateJackServer> server;
    std::unique_ptr<MidiDump> monitor;
    const auto startServer = [&] {  // anew under the same name, with a monitor
        monitor.reset();
        server.reset();
        server = std::make_unique<PrivateJackServer>(dir.File(name + ".log"), std::vector<std::string>{}, name);
        monitor = std::make_unique<MidiDump>(*server, dir.File("dump.log"));
    };
    const auto send = [&](const std::string& wave) { return Send("input (midi-monitor)", wave); };
    startServer();
    JackBackend& jack = UseOnlyBackend<JackBackend>("qwd-test");

    // Held back, ten sends queue up, then go out as many to a cycle as fit.
    jack.HoldSendsForTesting(true);
    MidiDump::EventList sent;
    for (int i = 0; i < 10; ++i) {
        s_Engine.m_anWave[i] = static_cast<std::int16_t>(i * 3001);
        ASSERT_EQ(send(std::to_string(97 + i)).status, noErr);
        sent.push_back(Message(s_Engine, 97 + i));
    }
    jack.HoldSendsForTesting(false);
    ASSERT_TRUE(WaitForSendBlocksFreed(5s));
    EXPECT_EQ(Blocks(), "allocated 10 freed 10 delivered 10");
    ASSERT_TRUE(monitor->WaitForEvents(10, 5s));
    EXPECT_EQ(monitor->Events(), sent);

    // Three held back when the server goes are completed, undelivered, and
    // its destinations vanish.
    jack.HoldSendsForTesting(true);
    for (const char* wave : {"101", "102", "103"})
        EXPECT_EQ(send(wave).status, noErr);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(Blocks(), "allocated 13 freed 10 delivered 10");
    server->Stop();
    EXPECT_TRUE(WaitUntil([&] { return !jack.IsOpen(); }, 5s)) << "the shutdown was noticed";
    EXPECT_TRUE(WaitForSendBlocksFreed(5s)) << "outstanding sends were completed";
    EXPECT_EQ(Blocks(), "allocated 13 freed 13 delivered 10");
    EXPECT_FALSE(send("100").portFound);

    // Started again under its name, it is found again, though reopening is
    // tried at most once per interval.
    jack.HoldSendsForTesting(false);
    startServer();
    ASSERT_TRUE(WaitUntil([] { return ListMIDIDestinations().size() == 1; }, JackBackend::kReopenInterval + 5s));
    EXPECT_EQ(send("100").status, noErr);
    ASSERT_TRUE(WaitForSendBlocksFreed(5s));
    EXPECT_EQ(Blocks(), "allocated 14 freed 14 delivered 11");
    EXPECT_TRUE(monitor->WaitForEvents(11, 5s));

    // A crash: no goodbye to its clients.
    server->Kill();
    EXPECT_TRUE(WaitUntil([&] { return !jack.IsOpen(); }, 5s));
    EXPECT_TRUE(ListMIDIDestinations().empty());
    MIDIServiceShutDown();
}

}  // namespace
