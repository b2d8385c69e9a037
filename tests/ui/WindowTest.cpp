// The window, offscreen, over the in-memory MIDI backend: what it makes of
// what the loader, the path parser and the sender decide.

#include "JackRig.h"
#include "KeyboardRig.h"
#include "LoadMessages.h"
#include "MemoryBackend.h"
#include "MessageBoxAlert.h"
#include "MidiRig.h"
#include "MonoWav.h"
#include "NoteName.h"
#include "PortMenu.h"
#include "Process.h"
#include "QuarWindow.h"
#include "SendToMenu.h"
#include "StatusLine.h"
#include "WavBytes.h"
#include "WaveView.h"
#include "Wavetables.h"
#include "WindowRig.h"

#include <QtTest>
#include <QtWidgets>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include <dlfcn.h>

namespace {

class WindowTest : public WindowRig
{
protected:
    void SetUp() override
    {
        WindowRig::SetUp();
        answersFileDialogs = false;
        atAlert = [this] { stateAtAlert = State(); };
    }

    template <typename T>
    T& Child(const char* name)
    {
        return *Window().findChild<T*>(name);
    }

    // A drag offering every action brings `uriList`; true when it is taken as a copy.
    bool DropUriList(const QByteArray& uriList)
    {
        QMimeData mime;
        mime.setData("text/uri-list", uriList);
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(QPoint(50, 50), offered, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Window(), &enter);
        QDropEvent drop(QPoint(50, 50), offered, &mime, Qt::LeftButton, Qt::NoModifier);
        if (enter.isAccepted() && enter.dropAction() == Qt::CopyAction)
            QApplication::sendEvent(&Window(), &drop);
        return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
    }
    bool DropFile(const std::string& path) { return DropUriList(QByteArray::fromStdString("file://" + path + "\r\n")); }

    // What the user and the engine see: label | buttons | remembered file | loaded.
    std::string State()
    {
        return Child<QLabel>("lblWaveInfo").text().toStdString() + " | send " +
               std::to_string(Child<QPushButton>("btnSend").isEnabled()) + " reload " +
               std::to_string(Child<QPushButton>("btnReload").isEnabled()) + " | " + s_szFileName + " | loaded " +
               std::to_string(s_Engine.m_bLoaded);
    }
    static std::string Loaded(const std::string& path) { return path + " | send 1 reload 1 | " + path + " | loaded 1"; }
    std::string Status() { return Child<QStatusBar>("statusLine").currentMessage().toStdString(); }
    // The status line's first words, as long as `said`.
    std::string StatusStart(const std::string& said) { return Status().substr(0, said.size()); }

    std::string stateAtAlert;  // as the last alert came up
};

TEST_F(WindowTest, StartsEmptyAndSendsTheDumpForTheChosenPortAndWaveNumber)
{
    midi->AddDestination("Synth A", "X-1");
    const std::string portB = midi->AddDestination("Synth B", "Y-2");
    const std::string odd = midi->AddDestination("Port \xFF\xFE", "Z");  // not UTF-8
    EXPECT_EQ(State(), "Drag/Drop a WAV file from the Finder ... | send 0 reload 0 |  | loaded 0");
    EXPECT_EQ(Child<QLabel>("lblWaveInfo").textFormat(), Qt::PlainText) << "a path is never markup";
    QComboBox& waves = Child<QComboBox>("popWaveNum");
    EXPECT_EQ(waves.currentText(), "97");

    // Each send carries the wave and the choices of its press: a drop while
    // the first is being looked up changes neither, and the second waits.
    const std::string path = WriteWave("wave.wav", 0x35);
    const std::string other = WriteWave("other.wav", 0x12);
    ASSERT_TRUE(DropFile(path));
    Child<QComboBox>("popMIDIPort").setCurrentIndex(1);
    waves.setCurrentIndex(3);
    Child<QPushButton>("btnSend").click();
    ASSERT_TRUE(DropFile(other));
    Child<QComboBox>("popMIDIPort").setCurrentIndex(2);
    waves.setCurrentIndex(31);
    Child<QPushButton>("btnSend").click();
    EXPECT_EQ(midi->Taken(), 0u) << "the window waited for its sends";
    ASSERT_TRUE(QTest::qWaitFor([this] { return midi->Taken() == 2; }, 3000));
    EXPECT_EQ(midi->Sends()[0].address, portB);
    EXPECT_EQ(midi->Sends()[0].bytes, Message(path, 100));
    EXPECT_EQ(midi->Sends()[1].address, odd);
    EXPECT_EQ(midi->Sends()[1].bytes, Message(other, 128));
    EXPECT_TRUE(alerts.empty());
}

TEST_F(WindowTest, DropsLoadTheFirstFileByItsExactBytesWithoutWideningTheWindow)
{
    midi->AddDestination(std::string(200, 'P'), "Model");
    const int width = Window().minimumSizeHint().width();
    EXPECT_LT(width, 600);
    const std::string first = dir.path() + "/" + std::string(200, 'n') + "-\xE9\xFF.wav";  // not UTF-8
    std::rename(WriteWave("tmp.wav", 0x22).c_str(), first.c_str());
    const std::string second = dir.Write("second.wav", "not a wave");
    EXPECT_TRUE(DropUriList("file://" + QByteArray::fromStdString(first).toPercentEncoding("/") + "\r\nfile://" +
                            QByteArray::fromStdString(second) + "\r\n"));
    EXPECT_EQ(s_szFileName, first);
    EXPECT_TRUE(Child<QPushButton>("btnSend").isEnabled());
    EXPECT_EQ(Message(s_Engine, 97), Message(first, 97));
    EXPECT_TRUE(alerts.empty()) << "the second file was never read";
    EXPECT_EQ(Window().minimumSizeHint().width(), width);
    EXPECT_LE(Window().width(), 600);
}

TEST_F(WindowTest, CancelledOpenChangesNothingReloadReadsAgainAndAFailureBlanksTheLabelAndBothButtons)
{
    const std::string path = WriteWave("wave.wav", 0x10);
    ASSERT_TRUE(DropFile(path));
    const std::vector<std::uint8_t> first = Message(s_Engine, 97);
    WriteWave("wave.wav", 0x7E);
    QString dialog;
    QTimer::singleShot(100, [&] {
        dialog = QApplication::activeModalWidget()->windowTitle();
        QApplication::activeModalWidget()->close();
    });
    QTest::keyClick(&Window(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(dialog, "Open WAV File");
    EXPECT_EQ(State(), Loaded(path));
    EXPECT_EQ(Message(s_Engine, 97), first);
    Child<QPushButton>("btnReload").click();
    EXPECT_EQ(Message(s_Engine, 97), Message(path, 97));
    EXPECT_EQ(State(), Loaded(path));

    // The window changes once the alert is dismissed; it keeps the path.
    dir.Write("wave.wav", "RIFX, not a wave");
    Child<QPushButton>("btnReload").click();
    EXPECT_EQ(alerts, QStringList{LoadMessages::kNotWav});
    EXPECT_EQ(stateAtAlert, path + " | send 1 reload 1 | " + path + " | loaded 0");
    const std::string failed = "  | send 0 reload 0 | " + path + " | loaded 0";
    EXPECT_EQ(State(), failed);

    // A path that can't be kept exactly is refused, and nothing changes.
    EXPECT_TRUE(DropFile("/" + std::string(295, 'w') + ".wav"));  // 300 bytes
    EXPECT_TRUE(DropUriList(QByteArray::fromStdString("file://" + path + "%00.wav\r\n")));
    EXPECT_EQ(alerts.mid(1), (QStringList{"The dropped file was not loaded: its path is longer than 299 bytes.",
                                          "The dropped file was not loaded: its path can't be passed on exactly "
                                          "as a file name."}));
    EXPECT_EQ(State(), failed);
}

#if QWD_WITH_JACK
// Play, with a private JACK server: the audio module is loaded only then,
// the wave plays to the server's playback ports for 2 s, nothing shown changes.
TEST_F(WindowTest, PlayLoadsAudioOnlyWhenUsedPlaysTwoSecondsAndChangesNothing)
{
    SKIP_WITHOUT_PRIVATE_SHM();
    const PrivateJackServer server(dir.File("jackd.log"));
    QAction& play = Child<QAction>("actionPlay");
    EXPECT_FALSE(play.isEnabled());
    ASSERT_TRUE(DropFile(WriteWave("wave.wav", 0x10)));
    ASSERT_TRUE(play.isEnabled());
    const std::string state = State();
    const auto connected = [&] {
        return RunProcess({"/usr/bin/jack_lsp", "-c", "-s", server.name()})
                   .out.find("quarven-wave-dump-play:out\n   system:playback_1\n") != std::string::npos;
    };
    const auto moduleLoaded = [] {
        return ReadWholeFile("/proc/self/maps").find("libqwd-wave-play") != std::string::npos;
    };
    EXPECT_FALSE(moduleLoaded());
    // Play Settings...: a name that is no note is refused, saying how one is
    // written; what is taken is kept for every Play after.
    QString refused;
    QTimer::singleShot(100, [&] {
        auto* dialog = QApplication::activeModalWidget();
        auto* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        dialog->findChild<QLineEdit*>("note")->setText("H3");
        refused = dialog->findChild<QLabel*>("refusal")->text() + (ok->isEnabled() ? " (taken)" : "");
        dialog->findChild<QLineEdit*>("note")->setText("A4");
        dialog->findChild<QDoubleSpinBox*>("level")->setValue(-6);
        ok->click();
    });
    Child<QAction>("actionPlaySettings").trigger();
    EXPECT_EQ(refused.toStdString(), std::string("H3 is not a note name: ") + kNoteNameRule);
    QElapsedTimer played;
    played.start();
    play.trigger();
    EXPECT_TRUE(QTest::qWaitFor(connected, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Status().rfind("Playing", 0) == 0; }, 1000));
    EXPECT_EQ(Status(), "Playing at A4 (440.00 Hz) through JACK (system:playback_1, system:playback_2), -6.0 dB");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !connected(); }, 5000));
    // The dummy driver runs late cycles back to back to catch up, so its
    // 2 s of frames can pass in a little less wall time.
    EXPECT_GE(played.elapsed(), 1900);
    EXPECT_TRUE(moduleLoaded());
    EXPECT_EQ(State(), state);
    EXPECT_TRUE(alerts.empty()) << alerts.join("\n").toStdString();
}
#endif

#if QWD_WITH_JACK
// Wave > Play from MIDI Keyboard, with a private JACK server: the sources
// listed as the menu opens, one chosen plays the loaded wave from its keys,
// the status line counts the keys held, None stops; with the bank panel
// focused, the bank plays as a table.
TEST_F(WindowTest, PlayFromMidiKeyboardListsSourcesPlaysTheirKeysCountsThemNoneStopsAndTheBankPlaysAsATable)
{
    SKIP_WITHOUT_PRIVATE_SHM();
    const PrivateJackServer server(dir.File("jackd.log"));
    JackKeyboard keys("keys");
    JackRecorder recorder("recorder", 60);
    midi->AddSource("Keystation 49 MIDI 1", "Keystation 49", "keys:out");
    std::vector<std::int16_t> sine(128);
    for (int i = 0; i < 128; ++i)
        sine[i] = static_cast<std::int16_t>(std::lround(12000 * std::sin(2 * M_PI * i / 128)));
    ASSERT_TRUE(DropFile(dir.Write("sine.wav", MonoWavBytes(sine.data(), 128))));
    PortMenu* menu = nullptr;
    for (PortMenu* each : Window().findChildren<PortMenu*>())
        if (each->title() == "Play from MIDI &Keyboard")
            menu = each;
    ASSERT_NE(menu, nullptr);
    const auto item = [&](const QString& text) -> QAction* {
        for (QAction* action : menu->actions())
            if (action->text() == text)
                return action;
        return nullptr;
    };
    emit menu->aboutToShow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return item("Keystation 49 MIDI 1 (Keystation 49)") != nullptr; }, 3000));
    EXPECT_NE(item("&None"), nullptr);
    item("Keystation 49 MIDI 1 (Keystation 49)")->trigger();
    emit menu->aboutToHide();
    const auto listening = [&] {
        return RunProcess({"/usr/bin/jack_lsp", "-c", "-s", server.name()})
                   .out.find("keys:out\n   quarven-wave-dump-play:midi_in\n") != std::string::npos;
    };
    ASSERT_TRUE(QTest::qWaitFor(listening, 5000));
    EXPECT_EQ(RunProcess({"/usr/bin/jack_connect", "-s", server.name(), "quarven-wave-dump-play:out", "recorder:in"})
                  .exitStatus,
              0);
    const std::string title = "Playing from Keystation 49 MIDI 1 (Keystation 49): ";
    ASSERT_TRUE(QTest::qWaitFor([&] { return Status() == title + "0 keys held"; }, 3000)) << Status();
    const jack_nframes_t on = keys.Now() + 4800;
    keys.Play({{on, {0x90, 69, 127}}, {on + 1, {0x90, 57, 127}}, {on + 24000, {0x80, 69, 0}}});
    EXPECT_TRUE(QTest::qWaitFor([&] { return Status() == title + "2 keys held"; }, 3000)) << Status();
    // A stroke while the keys are held is heard: the sine becomes a square,
    // with a third harmonic.
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.Reached(on + 7200); }, 3000));
    EXPECT_GT(recorder.Amplitude(440, on + 2400, on + 7200), 0.05);
    EXPECT_LT(recorder.Amplitude(1320, on + 2400, on + 7200), 0.001);
    std::fill(std::begin(s_Engine.m_anWave), std::begin(s_Engine.m_anWave) + 64, 12000);
    std::fill(std::begin(s_Engine.m_anWave) + 64, std::end(s_Engine.m_anWave), -12000);
    const jack_nframes_t drawn = keys.Now() + 2048;
    emit Child<WaveView>("viewWave").drawn();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Status() == title + "1 key held"; }, 3000)) << Status();
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.Reached(on + 24000); }, 3000));
    EXPECT_GT(recorder.Amplitude(1320, drawn, drawn + 4800), 0.02);
    EXPECT_EQ(recorder.Peak(on - 1024, on), 0.0f);
    emit menu->aboutToShow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return item("&None") != nullptr; }, 3000));
    EXPECT_TRUE(item("Keystation 49 MIDI 1 (Keystation 49)")->isChecked());
    item("&None")->trigger();
    emit menu->aboutToHide();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !listening(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Status() == "Stopped playing from MIDI"; }, 3000)) << Status();

    // While the bank panel has the focus, the bank plays as a table: the
    // sine in wave 97, a flat wave (its mean alone) in 98, the mod wheel
    // between them.
    std::string bank;
    for (const auto& [path, wave] : {std::pair{dir.File("sine.wav"), 97}, {WriteWave("flat.wav", 0x10), 98}}) {
        std::vector<std::uint8_t> message = Message(path, wave);
        bank.append(message.begin(), message.end());
    }
    answersFileDialogs = true;
    nextFile = QString::fromStdString(dir.Write("bank.syx", bank));
    Child<QAction>("actionOpenBank").trigger();
    Window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
    Child<QWidget>("panelBank").setFocus();
    emit menu->aboutToShow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return item("Keystation 49 MIDI 1 (Keystation 49)") != nullptr; }, 3000));
    item("Keystation 49 MIDI 1 (Keystation 49)")->trigger();
    emit menu->aboutToHide();
    ASSERT_TRUE(QTest::qWaitFor(listening, 5000));
    EXPECT_EQ(RunProcess({"/usr/bin/jack_connect", "-s", server.name(), "quarven-wave-dump-play:out", "recorder:in"})
                  .exitStatus,
              0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Status() == title + "0 keys held"; }, 3000)) << Status();
    const jack_nframes_t again = keys.Now() + 4800;
    keys.Play({{again, {0x90, 69, 127}}, {again + 9600, {0xB0, 1, 127}}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.Reached(again + 19200); }, 3000));
    EXPECT_GT(recorder.Amplitude(440, again + 2400, again + 7200), 0.05);
    EXPECT_LT(recorder.Amplitude(0, again + 2400, again + 7200), 0.001);
    EXPECT_GT(recorder.Amplitude(0, again + 14400, again + 19200), 0.02);
    EXPECT_LT(recorder.Amplitude(440, again + 14400, again + 19200), 0.001);
    EXPECT_EQ(alerts, QStringList{"Open Bank"});  // the file dialog, answered
}
#endif

TEST_F(WindowTest, ImportFitsTheChosenFrameSavesItWhereTheUserAgreesAndOpensItAsADrop)
{
    const auto fitModuleLoaded = [] { return ::dlopen("libqwd-wave-fit.so", RTLD_LAZY | RTLD_NOLOAD) != nullptr; };
    const std::string table = dir.Write("pad.wav", WavetableBytes(3, 512, "srge"));
    Window();
    EXPECT_FALSE(fitModuleLoaded());
    // Each dialog as it comes up: the table to import, its frame 2, and the
    // file name proposed.
    QStringList dialogs;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible())
            return;
        auto* files = qobject_cast<QFileDialog*>(dialog);
        auto* frame = dialog->findChild<QSpinBox*>("frame");
        // Typed, as a user would: selectFile() leaves a focused name field alone.
        if (files != nullptr && files->acceptMode() == QFileDialog::AcceptOpen)
            files->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(table));
        else if (frame != nullptr)
            frame->setValue(2);
        if (files != nullptr || frame != nullptr) {
            dialogs << dialog->windowTitle() + " " + (files ? files->selectedFiles().value(0) : frame->text());
            dialog->accept();
        }
    });
    answer.start(20);
    Child<QAction>("actionImport").trigger();
    const std::string saved = dir.File("pad-frame-002-128.wav");
    EXPECT_EQ(dialogs, (QStringList{"Import Audio File " + QString::fromStdString(table), "Choose a Frame 2",
                                    "Save the Fitted Wave " + QString::fromStdString(saved)}));
    EXPECT_EQ(State(), Loaded(saved));
    EXPECT_EQ(s_Engine.m_bResampled, 0);
    EXPECT_LE(DistanceFromFrame(s_Engine.m_anWave, 1), 1);
    EXPECT_TRUE(fitModuleLoaded());
    EXPECT_TRUE(alerts.empty());
    const std::string report =
        "Imported frame 2 of 3 of pad.wav (512 samples each, PCM_16): energy above harmonic 63: ";
    EXPECT_EQ(StatusStart(report), report);
}

// An untagged table of 8 cycles of 2,048 samples: the frame size comes
// pre-filled with the fit's proposal, the frames follow it, and a size that
// does not divide the file is refused in the dialog.
TEST_F(WindowTest, ImportProposesTheFrameSizeOfAnUntaggedTableAndRefitsForAnother)
{
    const std::vector<std::int16_t> frames = MorphingTable(8, 2048);
    const std::string table = dir.Write("untagged.wav", MonoWavBytes(frames.data(), frames.size()));
    QStringList seen;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible())
            return;
        auto* files = qobject_cast<QFileDialog*>(dialog);
        if (files != nullptr && files->acceptMode() == QFileDialog::AcceptOpen)
            files->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(table));
        if (files != nullptr) {
            dialog->accept();
            return;
        }
        auto* frame = dialog->findChild<QSpinBox*>("frame");
        auto* size = dialog->findChild<QSpinBox*>("frameSize");
        const auto ok = [dialog] { return dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok); };
        const auto look = [&] {
            seen << QStringLiteral("%1 frames of %2, ok %3")
                        .arg(frame->maximum())
                        .arg(size->value())
                        .arg(ok()->isEnabled());
        };
        look();
        size->setValue(3000);
        look();
        size->setValue(4096);
        look();
        frame->setValue(2);
        ok()->click();
    });
    answer.start(20);
    Child<QAction>("actionImport").trigger();
    EXPECT_EQ(seen, (QStringList{"8 frames of 2048, ok 1", "8 frames of 3000, ok 0", "4 frames of 4096, ok 1"}));
    EXPECT_EQ(s_szFileName, dir.File("untagged-frame-002-128.wav"));
    const std::string report = "Imported frame 2 of 4 of untagged.wav (4096 samples each, PCM_16): energy above";
    EXPECT_EQ(StatusStart(report), report);
}

// What the status line says after each action, and the readout of the
// sample under the pointer; the alerts' texts stay as they were.
TEST_F(WindowTest, StatusLineSaysWhatEachLoadAndSendCameToAndReadsTheWaveOut)
{
    midi->AddDestination("Synth A", "X-1");
    const std::string fitted = dir.Write("saw.wav", MonoWavBytes(std::vector<std::int16_t>(1000, 300).data(), 1000));
    ASSERT_TRUE(DropFile(fitted));
    EXPECT_EQ(Status(), "Loaded saw.wav: 1000 samples fitted to 128");
    WaveView& view = Child<WaveView>("viewWave");
    QHelpEvent overMark(QEvent::ToolTip, QPoint(view.width() * 4 / 128, view.height() * 5000 / 65535),
                        view.mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(&view, &overMark);
    EXPECT_EQ(QToolTip::text(), "Fitted from 1000 samples of data");

    const std::string path = WriteWave("wave.wav", 0x35);
    ASSERT_TRUE(DropFile(path));
    EXPECT_EQ(Status(), "Loaded wave.wav: 128 samples");
    const std::int16_t kept = std::exchange(s_Engine.m_anWave[37], -1234);
    QMouseEvent move(QEvent::MouseMove, QPointF(view.width() * 37.5 / 128, 10), view.mapToGlobal(QPointF(0, 0)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
    EXPECT_EQ(Window().findChild<StatusLine*>()->pointer(), "Sample 37: -1234");
    s_Engine.m_anWave[37] = kept;

    // Said once each completion is in, either way.
    Child<QComboBox>("popWaveNum").setCurrentIndex(4);
    Child<QPushButton>("btnSend").click();
    EXPECT_EQ(Status(), "Sending wave 101 to Synth A (X-1)…");
    ASSERT_TRUE(QTest::qWaitFor([this] { return midi->Taken() == 1; }, 3000));
    midi->Complete(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Status() == "Sent wave 101 to Synth A (X-1)"; }, 1000)) << Status();
    Child<QPushButton>("btnSend").click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return midi->Taken() == 2; }, 3000));
    midi->Complete(1, false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Status().rfind("Wave 101 was not sent", 0) == 0; }, 1000));
    EXPECT_EQ(Status(), "Wave 101 was not sent to Synth A (X-1): dropped by the in-memory backend");

    // Send To lists the destinations afresh each time it opens: one added
    // after the window came up is sent to through the same send.
    const std::string later = midi->AddDestination("Synth \u00c9 & Co", "Z-9");
    QMenu& sendTo = *Window().findChild<SendToMenu*>();
    emit sendTo.aboutToShow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sendTo.actions().size() == 2; }, 3000));
    EXPECT_EQ(sendTo.actions()[1]->text(), "Synth \u00c9 && Co (Z-9)");
    sendTo.actions()[1]->trigger();
    ASSERT_TRUE(QTest::qWaitFor([this] { return midi->Taken() == 3; }, 3000));
    EXPECT_EQ(midi->Sends()[2].address, later);
    EXPECT_EQ(midi->Sends()[2].bytes, Message(path, 101));
    EXPECT_EQ(Child<QComboBox>("popMIDIPort").count(), 1) << "the port popup keeps its first list";
    // Gone by the time it is looked up: the alert, once the MIDI pump has returned.
    midi->RemoveDestination(later);
    sendTo.actions()[1]->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !alerts.empty(); }, 3000));
    EXPECT_EQ(alerts, QStringList{kPortGoneAlert});
    EXPECT_EQ(Status(), "Wave 101 was not sent: Synth \u00c9 & Co (Z-9) is no longer available");
    alerts.clear();

    // A file gone: the alert as ever, its cause in the status line.
    std::remove(path.c_str());
    Child<QPushButton>("btnReload").click();
    EXPECT_EQ(alerts, QStringList{LoadMessages::kOpenFailed});
    EXPECT_EQ(Status(),
              std::string("wave.wav did not load: ") + LoadMessages::kOpenFailed + " (No such file or directory)");
}

// At every size the window allows, from its minimum up, each control has
// at least the room it asks for and none lies over another.
TEST_F(WindowTest, AtEverySizeFromItsMinimumNoControlIsCutShortOrOverAnother)
{
    midi->AddDestination(std::string(60, 'P'), "Model");
    QWidget& window = Window();
    EXPECT_EQ(window.minimumSize(), QSize(420, 340));
    const char* const names[] = {"menuBar",    "lblWaveInfo",    "viewWave",    "viewHarmonics",
                                 "panelBank",  "lblPortCaption", "popMIDIPort", "lblWaveCaption",
                                 "popWaveNum", "btnReload",      "btnSend",     "statusLine"};
    // Then with the harmonics shown under the view.
    for (const QSize size :
         {QSize(420, 340), QSize(480, 400), QSize(560, 640), QSize(0, 0), QSize(420, 340), QSize(560, 640)}) {
        if (size.isEmpty()) {
            Child<QAction>("actionHarmonics").setChecked(true);
            continue;
        }
        window.resize(size.expandedTo(window.minimumSize()));
        QApplication::processEvents();
        std::vector<std::pair<std::string, QRect>> placed;
        for (const char* name : names) {
            const auto* control = window.findChild<QWidget*>(name);
            if (control->isHidden())
                continue;
            const QRect at(control->mapTo(&window, QPoint(0, 0)), control->size());
            // A control that ignores its size hint asks only for its minimum.
            const bool hinted = control->sizePolicy().horizontalPolicy() != QSizePolicy::Ignored;
            const QSize wanted = (hinted ? control->minimumSizeHint() : QSize(0, control->minimumSizeHint().height()))
                                     .expandedTo(control->minimumSize());
            EXPECT_TRUE(at.width() >= wanted.width() && at.height() >= wanted.height())
                << name << " at " << size.width() << "x" << size.height() << " is " << at.width() << "x" << at.height()
                << ", wants " << wanted.width() << "x" << wanted.height();
            EXPECT_TRUE(window.rect().contains(at)) << name << " leaves the window at " << size.width();
            for (const auto& [other, where] : placed)
                EXPECT_FALSE(at.intersects(where)) << name << " lies over " << other << " at " << size.width();
            placed.emplace_back(name, at);
        }
    }
}

// Alt and a letter reach every menu and every control that has a caption,
// each its own; inside a menu no two entries share one.
TEST_F(WindowTest, EveryMenuAndCaptionedControlHasItsOwnAltLetter)
{
    const auto letter = [](const QString& text) {
        const int at = text.indexOf('&');
        return at >= 0 && at + 1 < text.size() ? text.mid(at + 1, 1).toLower() : QString();
    };
    QStringList letters;
    for (QAction* menu : Child<QMenuBar>("menuBar").actions()) {
        EXPECT_FALSE(letter(menu->text()).isEmpty()) << menu->text().toStdString();
        letters << letter(menu->text());
        QStringList inside;
        for (QAction* entry : menu->menu()->actions())
            if (entry->isVisible() && !letter(entry->text()).isEmpty()) {
                EXPECT_FALSE(inside.contains(letter(entry->text()))) << entry->text().toStdString();
                inside << letter(entry->text());
            }
    }
    for (const char* name : {"lblPortCaption", "lblWaveCaption"})
        letters << letter(Child<QLabel>(name).text());
    for (const char* name : {"btnReload", "btnSend"})
        letters << letter(Child<QPushButton>(name).text());
    QStringList each = letters;
    each.removeDuplicates();
    EXPECT_EQ(each, letters);
}

TEST(StartWithoutDisplayTest, SaysWhyInOneLineAndFailsInsteadOfAborting)
{
    const auto start = [](const std::string& display) {
        return RunProcess(
            {"/usr/bin/env", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", "DISPLAY=" + display, APP_PATH});
    };
    EXPECT_EQ(start(""), (ProcessResult{1, "",
                                        "quarven-wave-dump: no display to show the window on (neither DISPLAY nor "
                                        "WAYLAND_DISPLAY is set).\n"}));
    const ProcessResult r = start(":4093");
    const std::string last = "quarven-wave-dump: can't open the window: display \":4093\" is not usable (see above).\n";
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err.substr(r.err.size() - std::min(r.err.size(), last.size())), last) << r.err;
}

}  // namespace

// The widget tests' main: one QApplication, offscreen, with the private
// runtime folder Qt wants.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const TempDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().c_str());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
