// Reload and send.

#include "WindowFixture.h"

#include "DumpSender.h"
#include "Engine.h"
#include "LoadMessages.h"

#include <cstdio>

namespace {

std::vector<std::uint8_t> MessageFor(const std::string& path, int waveNumber)
{
    CEngine engine;
    EXPECT_TRUE(engine.LoadWaveFile(path.c_str()));
    std::uint32_t length = 0;
    const std::uint8_t* msg = engine.PackWavToSysex(waveNumber - 1, length);
    return std::vector<std::uint8_t>(msg, msg + length);
}

TEST_F(WindowTest, ReloadReadsTheFileAgainWithoutADrop)
{
    const std::string path = WriteWave("wave.wav", 100);
    Window();
    ASSERT_TRUE(DropFiles({path}));
    ViewRepaints();

    const std::vector<std::int16_t> older = EngineWave();
    WriteWave("wave.wav", -90, 5000);
    ReloadButton().click();
    EXPECT_NE(EngineWave(), older);
    EXPECT_EQ(EngineWave(), WaveOf(path));
    EXPECT_EQ(Label().text(), QString::fromStdString(path));
    EXPECT_TRUE(SendButton().isEnabled());
    EXPECT_TRUE(ReloadButton().isEnabled());
    EXPECT_GE(ViewRepaints(), 1);

    // Gone from disk: the failure as after a drop.
    std::remove(path.c_str());
    ReloadButton().click();
    EXPECT_EQ(alerts->Texts(), QStringList{LoadMessages::kOpenFailed});
    EXPECT_EQ(Label().text(), " ");
    EXPECT_FALSE(SendButton().isEnabled());
    EXPECT_FALSE(ReloadButton().isEnabled());
    EXPECT_GE(ViewRepaints(), 1);
}

TEST_F(WindowTest, ReloadWithNothingRememberedDoesNothingAtAll)
{
    QuarWindow& window = Window();
    const WindowSnapshot before = State();
    window.reloadClicked();
    EXPECT_EQ(State(), before);
    EXPECT_EQ(ViewRepaints(), 0);
    EXPECT_TRUE(alerts->Alerts().empty());
}

TEST_F(WindowTest, SendDeliversTheDumpForTheChosenPortAndWaveNumber)
{
    midi->AddDestination("Synth A", "X-1");
    const std::string portB = midi->AddDestination("Synth B", "Y-2");
    const std::string odd = midi->AddDestination("Port \xFF\xFE", "Z");  // not UTF-8
    const std::string path = WriteWave("wave.wav", 257, -16000);
    Window();
    ASSERT_TRUE(DropFiles({path}));

    PortPopup().setCurrentIndex(1);
    WavePopup().setCurrentIndex(WavePopup().findText("100"));
    ::testing::internal::CaptureStderr();
    SendButton().click();
    PortPopup().setCurrentIndex(2);
    WavePopup().setCurrentIndex(31);
    SendButton().click();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "MIDISendSysex = 0\nMIDISendSysex = 0\n");

    ASSERT_EQ(midi->Sends().size(), 2u);
    EXPECT_EQ(midi->Sends()[0].address, portB);
    EXPECT_EQ(midi->Sends()[0].bytes, MessageFor(path, 100));
    EXPECT_EQ(midi->Sends()[0].bytes[5], 99);
    EXPECT_EQ(midi->Sends()[1].address, odd);
    EXPECT_EQ(midi->Sends()[1].bytes, MessageFor(path, 128));
    EXPECT_EQ(midi->Sends()[1].bytes[5], 0x7F);
    EXPECT_TRUE(alerts->Alerts().empty());
    midi->CompleteAll();
}

TEST_F(WindowTest, SendToAPortThatIsGoneAlertsAndAllocatesNothing)
{
    const std::string port = midi->AddDestination("Synth A", "X-1");
    const std::string path = WriteWave("wave.wav", 3);
    Window();
    ASSERT_TRUE(DropFiles({path}));
    midi->RemoveDestination(port);
    const std::uint64_t allocated = GetSendBlockCounts().allocated;
    SendButton().click();
    EXPECT_EQ(GetSendBlockCounts().allocated, allocated);
    EXPECT_TRUE(midi->Sends().empty());
    ASSERT_EQ(alerts->Alerts().size(), 1u);
    EXPECT_EQ(alerts->Alerts()[0].text, kPortGoneAlert);
    EXPECT_EQ(alerts->Alerts()[0].title, "Quarven Wave Dump");
    EXPECT_EQ(alerts->Alerts()[0].buttons, QStringList{"Ok"});
}

TEST_F(WindowTest, SendWithAnEmptyPortPopupAlertsToo)
{
    const std::string path = WriteWave("wave.wav", 3);
    Window();
    ASSERT_TRUE(DropFiles({path}));
    ASSERT_EQ(PortPopup().count(), 0);
    midi->AddDestination("Came later", "X");  // not offered: the popup is never refilled
    SendButton().click();
    EXPECT_EQ(alerts->Texts(), QStringList{kPortGoneAlert});
    EXPECT_TRUE(midi->Sends().empty());
}

}  // namespace
