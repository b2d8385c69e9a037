// The JACK backend in this process, through the MIDI service, with a private
// server: sends in numbers, and a server that stops, crashes or comes back
// while our client is up.

#include "JackBackend.h"
#include "JackRig.h"
#include "MidiRig.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

const std::string kMonitor = "input (midi-monitor)";

class JackBackendTest : public MidiServiceTest
{
protected:
    // Our client first, then the monitor, then the server.
    void TearDown() override
    {
        MidiServiceTest::TearDown();
        monitor.reset();
        server.reset();
    }

    // A server (named `name`, or a fresh name) with a monitor on it.
    void StartServer(const std::string& name = "", const std::string& logTag = "")
    {
        server = std::make_unique<PrivateJackServer>(dir.File("jackd" + logTag + ".log"), std::vector<std::string>{},
                                                     name);
        monitor = std::make_unique<MidiDump>(*server, dir.File("dump" + logTag + ".log"));
    }
    WaveDumpSend Send(const std::string& wave = "100") { return MidiServiceTest::Send(kMonitor, wave); }

    TempDir dir;
    std::unique_ptr<PrivateJackServer> server;
    std::unique_ptr<MidiDump> monitor;
};

TEST_F(JackBackendTest, ServerStoppingCompletesOutstandingSendsAndRefusesLaterOnes)
{
    StartServer();
    JackBackend& jack = UseOnlyBackend<JackBackend>("qwd-test");
    ASSERT_TRUE(jack.IsOpen());
    EXPECT_EQ(PortTitles(), std::vector<std::string>{kMonitor});

    // One send goes through; three more are held back in the queue, so they
    // are still outstanding when the server goes.
    EXPECT_EQ(Send().status, noErr);
    ASSERT_TRUE(WaitForSendBlocksFreed(5s));
    EXPECT_EQ(Blocks(), "allocated 1 freed 1 delivered 1");
    ASSERT_TRUE(monitor->WaitForEvents(1, 5s));
    const MIDIEndpointRef endpoint = FindMIDIPortByTitle(kMonitor);
    jack.HoldSendsForTesting(true);
    for (const char* wave : {"101", "102", "103"})
        EXPECT_EQ(Send(wave).status, noErr);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(Blocks(), "allocated 4 freed 1 delivered 1");

    const auto stopping = std::chrono::steady_clock::now();
    server->Stop();
    EXPECT_TRUE(WaitUntil([&] { return !jack.IsOpen(); }, 5s)) << "the shutdown was noticed";
    EXPECT_TRUE(WaitForSendBlocksFreed(5s)) << "outstanding sends were completed";
    EXPECT_EQ(Blocks(), "allocated 4 freed 4 delivered 1") << "held sends never reached the monitor";
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 10s);

    EXPECT_TRUE(PortTitles().empty()) << "the server's destinations vanished";
    EXPECT_FALSE(Send().portFound);
    EXPECT_EQ(alerts, std::vector<std::string>{kPortGoneAlert});

    // A send to the endpoint found before is refused with its reason, and
    // completed like any other.
    static bool completed = false;
    std::uint8_t message[2] = {0xF0, 0xF7};
    MIDISysexSendRequest request{endpoint, message, 2, 0, {}, [](MIDISysexSendRequest*) { completed = true; }, nullptr};
    EXPECT_EQ(MIDISendSysex(&request), kMIDIServerGone);
    EXPECT_TRUE(completed);

    const auto closing = std::chrono::steady_clock::now();
    MIDIServiceShutDown();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 2s);
    EXPECT_EQ(monitor->Events().size(), 1u);
}

TEST_F(JackBackendTest, TwoHundredSendsFreeEveryBlockExactlyOnce)
{
    StartServer();
    UseOnlyBackend<JackBackend>("qwd-test");
    for (int i = 0; i < 128; ++i)
        s_Engine.m_anWave[i] = static_cast<std::int16_t>(i * 511 - 32000);

    for (int i = 0; i < 200; ++i) {
        // Several sends in flight at once, within the backend's bound.
        ASSERT_TRUE(WaitUntil([&] { return OutstandingBlocks() < 16; }, 5s));
        ASSERT_EQ(Send(std::to_string(97 + i % 32)).status, noErr);
    }
    ASSERT_TRUE(WaitForSendBlocksFreed(10s));
    EXPECT_EQ(Blocks(), "allocated 200 freed 200 delivered 200");

    // Each message arrived whole, once, in order.
    ASSERT_TRUE(monitor->WaitForEvents(200, 10s));
    const MidiDump::EventList events = monitor->Events();
    ASSERT_EQ(events.size(), 200u);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(events[i], Message(s_Engine, 97 + i % 32)) << "send " << i;
}

TEST_F(JackBackendTest, ServerThatComesBackIsFoundAgain)
{
    const std::string name = UniqueJackServerName();
    StartServer(name);
    JackBackend& jack = UseOnlyBackend<JackBackend>("qwd-test");
    EXPECT_EQ(PortTitles().size(), 1u);

    // This time the server crashes: no goodbye to its clients.
    server->Kill();
    ASSERT_TRUE(WaitUntil([&] { return !jack.IsOpen(); }, 5s));
    EXPECT_TRUE(PortTitles().empty());
    monitor.reset();
    server.reset();

    StartServer(name, "2");
    // Reopening is tried at most once per interval.
    ASSERT_TRUE(WaitUntil([] { return PortTitles().size() == 1; }, JackBackend::kReopenInterval + 5s));
    EXPECT_EQ(Send().status, noErr);
    ASSERT_TRUE(WaitForSendBlocksFreed(5s));
    EXPECT_EQ(Blocks(), "allocated 1 freed 1 delivered 1");
    EXPECT_TRUE(monitor->WaitForEvents(1, 5s));
}

}  // namespace
