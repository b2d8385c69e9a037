// The JACK backend in this process, through the MIDI service, with a private
// server: sends that go out together, and a server that crashes with sends
// waiting, comes back, or stops while our client is up; and, called
// directly, what it receives while its thread does not run.

#include "JackBackend.h"
#include "JackRig.h"
#include "MidiRig.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class JackBackendTest : public MidiServiceTest
{
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_PRIVATE_SHM();
        MidiServiceTest::SetUp();
    }
};
using Outcomes = std::vector<std::shared_ptr<SysexOutcome>>;

// True when every send ended within 5 s, delivered as `delivered` says.
bool Ended(const Outcomes& outcomes, bool delivered)
{
    for (const auto& outcome : outcomes) {
        if (!outcome->WaitUntil(std::chrono::steady_clock::now() + 5s) || outcome->Delivered() != delivered)
            return false;
    }
    return true;
}

TEST_F(JackBackendTest, SendsArriveInOrderAndAServerThatCrashesComesBackOrStopsLeavesNoSendBehind)
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
    MidiDump::EventList sent;
    MIDIEndpointRef toMonitor = 0;
    const auto send = [&](int wave, MIDIEndpointRef to = 0) {
        s_Engine.m_anWave[0] = static_cast<std::int16_t>(wave * 3001);
        sent.push_back(Message(s_Engine, wave));
        auto outcome = std::make_shared<SysexOutcome>();
        EXPECT_EQ(StartSysexSend(to != 0 ? to : toMonitor, sent.back().data(), outcome), noErr);
        return outcome;
    };
    startServer();
    UseOnlyBackend<JackBackend>("qwd-test");

    // Ten in a row go out in order, as many to a cycle as fit. One to
    // another destination waits for them, one more to the first for it:
    // each reaches its own destination alone.
    Outcomes outcomes;
    {
        MidiDump other(*server, dir.File("other.log"), "other");
        toMonitor = FindMIDIPortByTitle(std::string("input (midi-monitor)"));
        const MIDIEndpointRef toOther = FindMIDIPortByTitle(std::string("input (other)"));
        for (int i = 0; i < 10; ++i)
            outcomes.push_back(send(97 + i));
        outcomes.push_back(send(107, toOther));
        outcomes.push_back(send(108));
        EXPECT_TRUE(Ended(outcomes, true));
        ASSERT_TRUE(monitor->WaitForEvents(11, 5s));
        ASSERT_TRUE(other.WaitForEvents(1, 5s));
        EXPECT_EQ(other.Events(), MidiDump::EventList{sent[10]});
        sent.erase(sent.begin() + 10);
        EXPECT_EQ(monitor->Events(), sent);
    }

    // Three waiting on a frozen server when it crashes are completed,
    // undelivered, and its destinations vanish.
    server->Freeze();
    outcomes = {send(101), send(102), send(103)};
    server->Kill();
    EXPECT_TRUE(Ended(outcomes, false));
    EXPECT_EQ(outcomes[0]->FailureReason(), "the JACK server went away before it was sent");
    EXPECT_TRUE(ListMIDIPorts().empty());

    // Started again under its name, it is found again, though reopening is
    // tried at most once per interval; stopped, it leaves nothing listed.
    startServer();
    ASSERT_TRUE(WaitUntil([] { return ListMIDIPorts().size() == 1; }, JackBackend::kReopenInterval + 5s));
    EXPECT_TRUE(Ended({send(100)}, true));
    ASSERT_TRUE(monitor->WaitForEvents(12, 5s));
    EXPECT_EQ(monitor->Events().back(), sent.back()) << "nothing of the crashed server's three went out";
    monitor.reset();
    server->Stop();
    EXPECT_TRUE(WaitUntil([] { return ListMIDIPorts().empty(); }, 5s));
    MIDIServiceShutDown();
}

// Events of the longest bank, a 9,600-byte one each, while the lane's
// thread is held up: as many as the ring holds come whole, in order, then
// word of the loss where it was, then what came once there was room again.
TEST(JackBackendReceiveTest, AnOverrunIsSaidWhereItHappenedAndReadingGoesOn)
{
    SKIP_WITHOUT_PRIVATE_SHM();
    TempDir dir;
    PrivateJackServer server(dir.File("jackd.log"));
    JackSender synth("synth");
    JackBackend backend("qwd-test");
    std::vector<std::string> log;
    std::string reason;
    ASSERT_EQ(backend.Receive("synth:out",
                              {[&log](const std::uint8_t* bytes, std::size_t size) {
                                   log.push_back(std::to_string(size) + " bytes from " + std::to_string(bytes[1]));
                               },
                               [&log](const std::string& why) { log.push_back(why); }},
                              reason),
              noErr)
        << reason;
    ASSERT_TRUE(WaitUntil(
        [] {
            return RunProcess({"/usr/bin/jack_lsp", "-c"}).out.find("   qwd-test:in") != std::string::npos;
        },
        10s));
    const auto play = [&synth](int first, int count) {
        MidiDump::EventList events;
        for (int i = first; i < first + count; ++i)
            events.push_back(std::vector<std::uint8_t>(9600, static_cast<std::uint8_t>(i)));
        synth.Play(events);
        const bool done = WaitUntil([&synth] { return synth.Done(); }, 10s);
        std::this_thread::sleep_for(100ms);  // a cycle for the last one to reach us
        return done;
    };
    ASSERT_TRUE(play(0, 30));
    backend.OnWake();
    ASSERT_TRUE(play(30, 2));
    backend.OnWake();
    std::vector<std::string> expected;
    const std::size_t held = (JackBackend::kReceiveRingBytes - 1) / (9600 + 4);
    for (std::size_t i = 0; i < held; ++i)
        expected.push_back("9600 bytes from " + std::to_string(i));
    expected.push_back("MIDI input overran: the 256 KiB kept for JACK's events were full");
    expected.insert(expected.end(), {"9600 bytes from 30", "9600 bytes from 31"});
    EXPECT_EQ(log, expected);
}

}  // namespace
