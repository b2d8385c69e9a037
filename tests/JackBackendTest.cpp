// The JACK backend in this process, through the MIDI service: a server that
// stops (or was never there) while our client is up.

#include "Alert.h"
#include "DestinationDirectory.h"
#include "DumpSender.h"
#include "Engine.h"
#include "JackBackend.h"
#include "JackRig.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

class TitleList : public TitlePopup
{
public:
    void AddItemWithTitle(const std::string& title) override { titles.push_back(title); }
    std::vector<std::string> titles;
};

std::vector<std::string> Titles()
{
    TitleList list;
    AddMIDIPortsToPopup(list);
    return list.titles;
}

class JackBackendTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetAlertPresenter([this](const char* message) { alerts.push_back(message); });
        before = GetSendBlockCounts();
    }
    void TearDown() override
    {
        MIDIServiceShutDown();
        SetAlertPresenter(nullptr);
        monitor.reset();
        server.reset();
    }

    JackBackend& UseJack()
    {
        auto backend = std::make_unique<JackBackend>("qwd-test");
        JackBackend& jack = *backend;
        std::vector<std::unique_ptr<MidiBackend>> backends;
        backends.push_back(std::move(backend));
        MIDIServiceUseBackends(std::move(backends));
        return jack;
    }

    std::uint64_t Allocated() const { return GetSendBlockCounts().allocated - before.allocated; }
    std::uint64_t Freed() const { return GetSendBlockCounts().freed - before.freed; }
    std::uint64_t Delivered() const { return GetSendBlockCounts().delivered - before.delivered; }

    // Sends with the "MIDISendSysex = %d" log line kept off the test's output.
    WaveDumpSend Send(const std::string& title, const char* wave = "100")
    {
        ::testing::internal::CaptureStderr();
        const WaveDumpSend sent = SendWaveDump(title, wave);
        ::testing::internal::GetCapturedStderr();
        return sent;
    }

    TempDir dir;
    std::unique_ptr<PrivateJackServer> server;
    std::unique_ptr<MidiDump> monitor;
    std::vector<std::string> alerts;
    SendBlockCounts before{};
};

TEST_F(JackBackendTest, ServerStoppingCompletesOutstandingSendsAndRefusesLaterOnes)
{
    server = std::make_unique<PrivateJackServer>(dir.File("jackd.log"));
    monitor = std::make_unique<MidiDump>(*server, dir.File("dump.log"));
    JackBackend& jack = UseJack();
    ASSERT_TRUE(jack.IsOpen());
    EXPECT_EQ(Titles(), std::vector<std::string>{"input (midi-monitor)"});

    // One send goes through; three more are held back in the queue, so they
    // are still outstanding when the server goes.
    EXPECT_EQ(Send("input (midi-monitor)").status, noErr);
    ASSERT_TRUE(WaitForSendBlocksFreed(5s));
    EXPECT_EQ(Delivered(), 1u);
    ASSERT_TRUE(monitor->WaitForEvents(1, 5s));
    const MIDIEndpointRef endpoint = FindMIDIPortByTitle(std::string("input (midi-monitor)"));
    jack.HoldSendsForTesting(true);
    for (const char* wave : {"101", "102", "103"})
        EXPECT_EQ(Send("input (midi-monitor)", wave).status, noErr);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(Allocated() - Freed(), 3u);

    const auto stopping = std::chrono::steady_clock::now();
    server->Stop();
    EXPECT_TRUE(WaitUntil([&] { return !jack.IsOpen(); }, 5s)) << "the shutdown was noticed";
    EXPECT_TRUE(WaitForSendBlocksFreed(5s)) << "outstanding sends were completed";
    EXPECT_EQ(Freed(), 4u);
    EXPECT_EQ(Delivered(), 1u) << "held sends never reached the monitor";
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 10s);

    EXPECT_TRUE(Titles().empty()) << "the server's destinations vanished";
    EXPECT_FALSE(Send("input (midi-monitor)").portFound);
    EXPECT_EQ(alerts.size(), 1u);

    // A send to the endpoint found before is refused with its reason, and
    // its block freed like any other.
    auto* block = new MIDISysexSendRequest{};
    static std::uint8_t message[300] = {0xF0, 0xF7};
    static bool completed = false;
    *block = {endpoint, message, 300, 0, {0, 0, 0}, [](MIDISysexSendRequest* r) { completed = true; delete r; }, nullptr};
    EXPECT_EQ(MIDISendSysex(block), kMIDIServerGone);
    EXPECT_TRUE(completed);

    const auto closing = std::chrono::steady_clock::now();
    MIDIServiceShutDown();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 2s);
    EXPECT_EQ(monitor->Events().size(), 1u);
}

TEST_F(JackBackendTest, TwoHundredSendsFreeEveryBlockExactlyOnce)
{
    server = std::make_unique<PrivateJackServer>(dir.File("jackd.log"));
    monitor = std::make_unique<MidiDump>(*server, dir.File("dump.log"));
    UseJack();
    for (int i = 0; i < 128; ++i)
        s_Engine.m_anWave[i] = static_cast<std::int16_t>(i * 511 - 32000);

    for (int i = 0; i < 200; ++i) {
        // Several sends in flight at once, within the backend's bound.
        ASSERT_TRUE(WaitUntil([&] { return Allocated() - Freed() < 16; }, 5s));
        ASSERT_EQ(Send("input (midi-monitor)", std::to_string(97 + i % 32).c_str()).status, noErr);
    }
    ASSERT_TRUE(WaitForSendBlocksFreed(10s));
    EXPECT_EQ(Allocated(), 200u);
    EXPECT_EQ(Freed(), 200u);
    EXPECT_EQ(Delivered(), 200u);

    // Each message arrived whole, once, in order.
    ASSERT_TRUE(monitor->WaitForEvents(200, 10s));
    const std::vector<std::vector<std::uint8_t>> events = monitor->Events();
    ASSERT_EQ(events.size(), 200u);
    for (int i = 0; i < 200; ++i) {
        std::uint32_t length = 0;
        const std::uint8_t* msg = s_Engine.PackWavToSysex(96 + i % 32, length);
        ASSERT_EQ(events[i], std::vector<std::uint8_t>(msg, msg + length)) << "send " << i;
    }
}

TEST_F(JackBackendTest, ServerThatComesBackIsFoundAgain)
{
    const std::string name = UniqueJackServerName();
    server = std::make_unique<PrivateJackServer>(dir.File("jackd.log"), std::vector<std::string>{}, name);
    monitor = std::make_unique<MidiDump>(*server, dir.File("dump.log"));
    JackBackend& jack = UseJack();
    EXPECT_EQ(Titles().size(), 1u);

    // This time the server crashes: no goodbye to its clients.
    server->Kill();
    ASSERT_TRUE(WaitUntil([&] { return !jack.IsOpen(); }, 5s));
    EXPECT_TRUE(Titles().empty());
    monitor.reset();
    server.reset();

    server = std::make_unique<PrivateJackServer>(dir.File("jackd2.log"), std::vector<std::string>{}, name);
    monitor = std::make_unique<MidiDump>(*server, dir.File("dump2.log"));
    // Reopening is tried at most once per interval.
    ASSERT_TRUE(WaitUntil([&] { return Titles().size() == 1; }, JackBackend::kReopenInterval + 5s));
    EXPECT_EQ(Send("input (midi-monitor)").status, noErr);
    ASSERT_TRUE(WaitForSendBlocksFreed(5s));
    EXPECT_EQ(Delivered(), 1u);
    EXPECT_TRUE(monitor->WaitForEvents(1, 5s));
}

TEST_F(JackBackendTest, NoServerMeansNoDestinationsQuietly)
{
    UseJackServer(UniqueJackServerName());
    ::testing::internal::CaptureStderr();
    JackBackend& jack = UseJack();
    EXPECT_FALSE(jack.IsOpen());
    EXPECT_TRUE(Titles().empty());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(jack.StartSysex("midi-monitor:input", nullptr), kMIDIMessageSendErr);
    MIDISysexSendRequest request{};
    std::uint8_t message[2] = {0xF0, 0xF7};
    request.data = message;
    request.bytesToSend = 2;
    EXPECT_EQ(jack.StartSysex("midi-monitor:input", &request), kMIDIServerGone);
}

}  // namespace
