// The window over a real JACK server that stops while the window is open:
// the window keeps working, and the next send says the port is gone instead
// of hanging.

#include "DumpSender.h"
#include "Engine.h"
#include "JackBackend.h"
#include "JackRig.h"
#include "WindowFixture.h"

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> EngineMessage(int index)
{
    std::uint32_t length = 0;
    const std::uint8_t* msg = s_Engine.PackWavToSysex(index, length);
    return std::vector<std::uint8_t>(msg, msg + length);
}

TEST_F(WindowTest, JackServerStoppingLeavesTheWindowWorking)
{
    PrivateJackServer server(dir.File("jackd.log"));
    MidiDump monitor(server, dir.File("dump.log"));
    auto backend = std::make_unique<JackBackend>("qwd-window-test");
    JackBackend& jack = *backend;
    std::vector<std::unique_ptr<MidiBackend>> backends;
    backends.push_back(std::move(backend));
    MIDIServiceUseBackends(std::move(backends));
    midi = nullptr;

    ASSERT_EQ(PortPopup().count(), 1);
    EXPECT_EQ(PortPopup().itemText(0), "input (midi-monitor)");
    ASSERT_TRUE(DropFiles({WriteWave("first.wav", 250, -16000)}));
    WavePopup().setCurrentIndex(WavePopup().count() - 1);  // wave 128
    SendButton().click();
    ASSERT_TRUE(monitor.WaitForEvents(1, 5s));
    EXPECT_EQ(monitor.Events().front(), EngineMessage(127));
    ASSERT_TRUE(WaitForSendBlocksFreed(5s));

    monitor.Stop();
    ASSERT_TRUE(server.Stop());
    const auto gone = std::chrono::steady_clock::now() + 5s;
    while (jack.IsOpen() && std::chrono::steady_clock::now() < gone)
        std::this_thread::sleep_for(5ms);
    ASSERT_FALSE(jack.IsOpen());

    const SendBlockCounts before = GetSendBlockCounts();
    const auto pressed = std::chrono::steady_clock::now();
    SendButton().click();
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, 3s);
    EXPECT_EQ(alerts->Texts(), QStringList{kPortGoneAlert});
    EXPECT_EQ(GetSendBlockCounts().allocated, before.allocated);

    // Everything else still works: a new file loads and draws.
    const std::string second = WriteWave("second.wav", -100, 9000);
    ASSERT_TRUE(DropFiles({second}));
    EXPECT_EQ(Label().text().toStdString(), second);
    EXPECT_EQ(EngineWave(), WaveOf(second));
    EXPECT_TRUE(SendButton().isEnabled());
    EXPECT_GT(ViewRepaints(), 0);
}

}  // namespace
