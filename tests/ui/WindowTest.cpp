// The window on Qt's offscreen platform over the in-memory MIDI backend (and,
// in the last test, a real JACK server): start-up, drops, reload and send.
// Alerts are message boxes, answered as they come up.

#include "Alert.h"
#include "Engine.h"
#if QWD_WITH_JACK
#include "JackBackend.h"
#endif
#include "JackRig.h"
#include "LoadMessages.h"
#include "MemoryBackend.h"
#include "MessageBoxAlert.h"
#include "MidiRig.h"
#include "QuarWindow.h"
#include "TempDir.h"
#include "WavBytes.h"
#include "WaveView.h"

#include <QtTest>
#include <QtWidgets>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <functional>

namespace {

using namespace std::chrono_literals;

const QString kPrompt = "Drag/Drop a WAV file from the Finder ...";
const QString kPathTooLong = "The dropped file was not loaded: its path is longer than 299 bytes.";
const QString kPathNotExact = "The dropped file was not loaded: its path can't be passed on exactly as a file name.";

// Counts the paint events of what it watches.
class PaintCounter : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
    int count = 0;
};

// Hands out its file list byte for byte, as a drop from another program
// does; QMimeData::setData would normalise it through QUrl.
class RawUriList : public QMimeData
{
public:
    explicit RawUriList(const QByteArray& bytes) : m_bytes(bytes) {}
    QStringList formats() const override { return {"text/uri-list"}; }
    bool hasFormat(const QString& type) const override { return type == "text/uri-list"; }

protected:
    QVariant retrieveData(const QString& type, QMetaType) const override
    {
        return hasFormat(type) ? QVariant(m_bytes) : QVariant();
    }

private:
    QByteArray m_bytes;
};

QStringList Items(const QComboBox& popup)
{
    QStringList items;
    for (int i = 0; i < popup.count(); ++i)
        items << popup.itemText(i);
    return items;
}

bool PlainBlue(QWidget& view)
{
    const QImage image = view.grab().toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != WaveView::kBackground)
                return false;
    return true;
}

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        midi = &UseOnlyBackend<MemoryBackend>();
        InstallMessageBoxAlerts();
        s_Engine = CEngine();
        std::memset(s_szFileName, 0, sizeof s_szFileName);
        QObject::connect(&m_alertPoll, &QTimer::timeout, [this] { AnswerAlert(); });
        m_alertPoll.start(10);
    }
    void TearDown() override
    {
        m_window.reset();
        m_alertPoll.stop();
        SetAlertPresenter(nullptr);
        MIDIServiceShutDown();
    }

    // Builds and shows the window (the destinations must be set up first).
    QuarWindow& Window()
    {
        if (!m_window) {
            m_window = std::make_unique<QuarWindow>();
            m_window->show();
            m_window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
            View().installEventFilter(&m_paints);
            ViewRepaints();
        }
        return *m_window;
    }

    template <typename T>
    T& Child(const char* name)
    {
        T* child = Window().findChild<T*>(name);
        if (child == nullptr)
            throw std::runtime_error(std::string("no control named ") + name);
        return *child;
    }
    QLabel& Label() { return Child<QLabel>("lblWaveInfo"); }
    QComboBox& PortPopup() { return Child<QComboBox>("popMIDIPort"); }
    QComboBox& WavePopup() { return Child<QComboBox>("popWaveNum"); }
    QPushButton& SendButton() { return Child<QPushButton>("btnSend"); }
    QPushButton& ReloadButton() { return Child<QPushButton>("btnReload"); }
    QWidget& View() { return Child<QWidget>("viewWave"); }

    // A drag carrying `uriList` as text/uri-list enters and is dropped; true
    // when the drop was accepted as a copy.
    bool DropUriList(const QByteArray& uriList)
    {
        RawUriList mime(uriList);
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        const QPoint at = View().geometry().center();
        QDragEnterEvent enter(at, offered, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Window(), &enter);
        if (!enter.isAccepted() || enter.dropAction() != Qt::CopyAction)
            return false;
        QDropEvent drop(at, offered, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Window(), &drop);
        return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
    }
    // As a file manager offers them: QMimeData's own URL list.
    bool DropFiles(const std::vector<std::string>& paths)
    {
        QList<QUrl> urls;
        for (const std::string& path : paths)
            urls << QUrl::fromLocalFile(QString::fromStdString(path));
        QMimeData mime;
        mime.setUrls(urls);
        return DropUriList(mime.data("text/uri-list"));
    }

    // Lets pending repaints happen; returns how many the view got since the
    // last call.
    int ViewRepaints()
    {
        QTest::qWait(30);
        QApplication::processEvents();
        return std::exchange(m_paints.count, 0);
    }

    // A WAV file of 128 samples, sample i = i * step + offset.
    std::string WriteWave(const std::string& name, int step, int offset = 0)
    {
        std::vector<std::int16_t> samples;
        for (int i = 0; i < 128; ++i)
            samples.push_back(static_cast<std::int16_t>(i * step + offset));
        return dir.Write(name, WavBytes::Mono(SampleBytes(samples)).str());
    }

    // What the user and the engine see: label | buttons | remembered file | loaded.
    std::string State()
    {
        return Label().text().toStdString() + " | send " + std::to_string(SendButton().isEnabled()) + " reload " +
               std::to_string(ReloadButton().isEnabled()) + " | " + s_szFileName + " | loaded " +
               std::to_string(s_Engine.m_bLoaded);
    }
    // The state once `path` has loaded, or failed to.
    static std::string Loaded(const std::string& path) { return path + " | send 1 reload 1 | " + path + " | loaded 1"; }
    static std::string Failed(const std::string& path) { return "  | send 0 reload 0 | " + path + " | loaded 0"; }

    MemoryBackend* midi = nullptr;
    TempDir dir;
    QStringList alerts;                    // the texts of the alerts answered so far
    std::function<void()> whileAlertShown;  // runs while each alert is up

private:
    // Every alert is a modal box titled like the window, with plain text and
    // one button, "Ok", which is pressed.
    void AnswerAlert()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible())
            return;
        alerts << box->text();
        EXPECT_EQ(box->windowTitle(), "Quarven Wave Dump");
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_TRUE(box->isModal());
        QStringList buttons;
        for (QAbstractButton* button : box->buttons())
            buttons << button->text();
        EXPECT_EQ(buttons, QStringList{"Ok"});
        if (whileAlertShown)
            whileAlertShown();
        if (box->buttons().isEmpty())
            box->reject();
        else
            box->buttons().first()->click();
    }

    std::unique_ptr<QuarWindow> m_window;
    PaintCounter m_paints;
    QTimer m_alertPoll;
};

TEST_F(WindowTest, StartsWithThePromptTheWaveNumbersAndThePortsAndReloadsNothing)
{
    midi->AddDestination("UM-ONE MIDI 1", "UM-ONE");
    midi->AddDestination("input", "midi-monitor");
    midi->AddDestination("Out 1", "");
    ::testing::internal::CaptureStderr();
    QuarWindow& window = Window();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "awakeFromNib\n");

    EXPECT_EQ(window.windowTitle(), "Quarven Wave Dump");
    EXPECT_EQ(State(), kPrompt.toStdString() + " | send 0 reload 0 |  | loaded 0");
    EXPECT_EQ(Label().textFormat(), Qt::PlainText) << "a path is never markup";
    EXPECT_NE(qobject_cast<WaveView*>(&View()), nullptr);

    QStringList waves;
    for (int number = 97; number <= 128; ++number)
        waves << QString::number(number);
    EXPECT_EQ(Items(WavePopup()), waves);
    EXPECT_EQ(WavePopup().currentText(), "97");
    EXPECT_EQ(Items(PortPopup()), (QStringList{"UM-ONE MIDI 1 (UM-ONE)", "input (midi-monitor)", "Out 1 ()"}));

    // Nothing remembered, so nothing to reload and nothing to redraw.
    const std::string before = State();
    window.reloadClicked();
    EXPECT_EQ(State(), before);
    EXPECT_EQ(ViewRepaints(), 0);
    EXPECT_TRUE(alerts.empty());
}

TEST_F(WindowTest, LongPortTitlesAndPathsDoNotWidenTheWindow)
{
    midi->AddDestination(std::string(200, 'P'), "Model");
    const int before = Window().minimumSizeHint().width();
    EXPECT_LT(before, 600);
    const std::string longName = std::string(200, 'n') + ".wav";
    ASSERT_TRUE(DropFiles({WriteWave(longName, 10)}));
    ASSERT_EQ(Label().text().size(), static_cast<int>(dir.path().size() + 1 + longName.size()));
    EXPECT_EQ(Window().minimumSizeHint().width(), before);
    EXPECT_LE(Window().width(), 600);
}

TEST_F(WindowTest, OfTheDroppedFilesTheFirstIsLoadedShownAndDrawn)
{
    const std::string first = WriteWave("first.wav", 200, -12000);
    const std::string second = WriteWave("second.wav", -100);
    const std::string third = dir.Write("third.wav", "not a wave");
    Window();
    EXPECT_TRUE(DropFiles({first, second, third}));
    EXPECT_EQ(State(), Loaded(first));
    EXPECT_EQ(Message(s_Engine, 97), Message(first, 97));
    EXPECT_GE(ViewRepaints(), 1);
    EXPECT_FALSE(PlainBlue(View()));
    EXPECT_TRUE(alerts.empty()) << "the third file was never read";
}

TEST_F(WindowTest, DropWithoutFilePathsOnlyRedraws)
{
    Window();
    ASSERT_TRUE(DropFiles({WriteWave("good.wav", 50)}));
    ViewRepaints();
    const std::string before = State();
    // (Which lists name no local file is DroppedPathTest's business.)
    for (const QByteArray& list : {QByteArray(), QByteArray("https://example.org/wave.wav\r\n")}) {
        SCOPED_TRACE(list.toStdString());
        EXPECT_TRUE(DropUriList(list));
        EXPECT_EQ(State(), before);
        EXPECT_GE(ViewRepaints(), 1);
    }
    EXPECT_TRUE(alerts.empty());

    // A drag without a file list is not taken part in at all.
    QMimeData text;
    text.setText("/tmp/a.wav");
    QDragEnterEvent drag(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Window(), &drag);
    EXPECT_FALSE(drag.isAccepted());
}

TEST_F(WindowTest, BadFileAfterAGoodOneAlertsThenBlanksTheLabelAndDisablesBoth)
{
    // Pipes and devices fail at once, with the message for a file that can't
    // be opened.
    const std::string fifo = dir.File("pipe.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, QString> bad[] = {{dir.Write("bad.wav", "RIFX, not a wave"), LoadMessages::kNotWav},
                                                   {fifo, LoadMessages::kOpenFailed},
                                                   {"/dev/zero", LoadMessages::kOpenFailed},
                                                   {dir.path(), LoadMessages::kOpenFailed}};
    std::string whileShown;
    whileAlertShown = [&] { whileShown = State(); };
    Window();
    for (const auto& [path, message] : bad) {
        SCOPED_TRACE(path);
        const std::string good = WriteWave("good.wav", 150);
        ASSERT_TRUE(DropFiles({good}));
        alerts.clear();
        EXPECT_TRUE(DropFiles({path}));
        EXPECT_EQ(alerts, QStringList{message});
        // The window changes only once the alert has been dismissed.
        EXPECT_EQ(whileShown, good + " | send 1 reload 1 | " + path + " | loaded 0");
        EXPECT_EQ(State(), Failed(path)) << "the failed file is still remembered";
        EXPECT_GE(ViewRepaints(), 1);
        EXPECT_TRUE(PlainBlue(View()));
    }
}

TEST_F(WindowTest, PathsThatCannotBeKeptExactlyAreRefusedAndChangeNothing)
{
    const std::string good = WriteWave("good.wav", 75);
    Window();
    ASSERT_TRUE(DropFiles({good}));
    const std::string before = State();

    // A real, loadable file whose path is 300 bytes long: it must not be
    // cut to the 299 bytes that fit.
    std::string deep = dir.path();
    while (deep.size() < 200) {
        deep += "/" + std::string(40, 'd');
        ASSERT_EQ(::mkdir(deep.c_str(), 0700), 0);
    }
    const std::string name300 = std::string(300 - deep.size() - 1 - 4, 'w') + ".wav";
    const std::string path300 = deep + "/" + name300;
    ASSERT_EQ(path300.size(), 300u);
    std::rename(WriteWave("tmp.wav", 1).c_str(), path300.c_str());
    EXPECT_TRUE(DropFiles({path300}));
    EXPECT_EQ(State(), before);

    // "%00" can't be part of a file name: the name before it is not loaded.
    EXPECT_TRUE(DropUriList(QByteArray("file://") + QByteArray::fromStdString(good) + "%00.wav\r\n"));
    EXPECT_EQ(State(), before);
    EXPECT_EQ(alerts, (QStringList{kPathTooLong, kPathNotExact}));

    // 299 bytes still fit.
    const std::string path299 = deep + "/" + name300.substr(1);
    std::rename(path300.c_str(), path299.c_str());
    EXPECT_TRUE(DropFiles({path299}));
    EXPECT_EQ(State(), Loaded(path299));
    EXPECT_EQ(alerts.size(), 2);
}

TEST_F(WindowTest, NamesThatAreNotUtf8LoadByTheirExactBytes)
{
    const std::string path = dir.path() + "/wave-\xE9\xFF.wav";
    std::rename(WriteWave("tmp.wav", -120, 9000).c_str(), path.c_str());
    Window();
    EXPECT_TRUE(DropUriList("file://" + QByteArray::fromStdString(path).toPercentEncoding("/") + "\r\n"));
    EXPECT_STREQ(s_szFileName, path.c_str());
    EXPECT_EQ(Message(s_Engine, 97), Message(path, 97));
    EXPECT_TRUE(SendButton().isEnabled());
    EXPECT_TRUE(alerts.empty());
}

TEST_F(WindowTest, ReloadReadsTheFileAgainWithoutADrop)
{
    const std::string path = WriteWave("wave.wav", 100);
    Window();
    ASSERT_TRUE(DropFiles({path}));
    ViewRepaints();

    const std::vector<std::uint8_t> older = Message(s_Engine, 97);
    WriteWave("wave.wav", -90, 5000);
    ReloadButton().click();
    EXPECT_NE(Message(s_Engine, 97), older);
    EXPECT_EQ(Message(s_Engine, 97), Message(path, 97));
    EXPECT_EQ(State(), Loaded(path));
    EXPECT_GE(ViewRepaints(), 1);

    // Gone from disk: the failure as after a drop.
    std::remove(path.c_str());
    ReloadButton().click();
    EXPECT_EQ(alerts, QStringList{LoadMessages::kOpenFailed});
    EXPECT_EQ(State(), Failed(path));
    EXPECT_GE(ViewRepaints(), 1);
}

TEST_F(WindowTest, CancelledOpenDialogChangesNothing)
{
    const std::string path = WriteWave("wave.wav", 60);
    Window();
    ASSERT_TRUE(DropFiles({path}));
    const std::string before = State();
    const std::vector<std::uint8_t> loaded = Message(s_Engine, 97);
    WriteWave("wave.wav", -90, 5000);  // not read again either
    QStringList dialogs;
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialogs << dialog->windowTitle();
            dialog->reject();
        }
    });
    cancel.start(10);
    QTest::keyClick(&Window(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(dialogs, QStringList{"Open WAV File"});
    EXPECT_EQ(State(), before);
    EXPECT_EQ(Message(s_Engine, 97), loaded);
    EXPECT_TRUE(alerts.empty());
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
    EXPECT_EQ(midi->Sends()[0].bytes, Message(path, 100));
    EXPECT_EQ(midi->Sends()[0].bytes[5], 99);
    EXPECT_EQ(midi->Sends()[1].address, odd);
    EXPECT_EQ(midi->Sends()[1].bytes, Message(path, 128));
    EXPECT_EQ(midi->Sends()[1].bytes[5], 0x7F);
    EXPECT_TRUE(alerts.empty());
}

TEST_F(WindowTest, SendToAPortThatIsGoneOrNeverOfferedAlertsAndAllocatesNothing)
{
    const SendBlockCounts start = GetSendBlockCounts();
    const std::string port = midi->AddDestination("Synth A", "X-1");
    Window();
    ASSERT_TRUE(DropFiles({WriteWave("wave.wav", 3)}));
    midi->RemoveDestination(port);
    SendButton().click();
    EXPECT_EQ(alerts, QStringList{kPortGoneAlert});

    // With the popup empty: a destination that came later is not offered,
    // as the popup is never refilled.
    PortPopup().clear();
    midi->AddDestination("Came later", "X");
    SendButton().click();
    EXPECT_EQ(alerts, (QStringList{kPortGoneAlert, kPortGoneAlert}));
    EXPECT_EQ(BlocksSince(start), "allocated 0 freed 0 delivered 0");
    EXPECT_TRUE(midi->Sends().empty());
}

#if QWD_WITH_JACK
TEST_F(WindowTest, JackServerStoppingLeavesTheWindowWorking)
{
    PrivateJackServer server(dir.File("jackd.log"));
    MidiDump monitor(server, dir.File("dump.log"));
    JackBackend& jack = UseOnlyBackend<JackBackend>("qwd-window-test");
    midi = nullptr;

    EXPECT_EQ(Items(PortPopup()), QStringList{"input (midi-monitor)"});
    ASSERT_TRUE(DropFiles({WriteWave("first.wav", 250, -16000)}));
    WavePopup().setCurrentIndex(WavePopup().count() - 1);  // wave 128
    SendButton().click();
    ASSERT_TRUE(monitor.WaitForEvents(1, 5s));
    EXPECT_EQ(monitor.Events().front(), Message(s_Engine, 128));
    ASSERT_TRUE(WaitForSendBlocksFreed(5s));

    // The server stops: the next send says the port is gone instead of
    // hanging.
    monitor.Stop();
    ASSERT_TRUE(server.Stop());
    ASSERT_TRUE(WaitUntil([&] { return !jack.IsOpen(); }, 5s));
    const SendBlockCounts start = GetSendBlockCounts();
    const auto pressed = std::chrono::steady_clock::now();
    SendButton().click();
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, 3s);
    EXPECT_EQ(alerts, QStringList{kPortGoneAlert});
    EXPECT_EQ(BlocksSince(start), "allocated 0 freed 0 delivered 0");

    // Everything else still works: a new file loads and draws.
    const std::string second = WriteWave("second.wav", -100, 9000);
    ASSERT_TRUE(DropFiles({second}));
    EXPECT_EQ(State(), Loaded(second));
    EXPECT_EQ(Message(s_Engine, 97), Message(second, 97));
    EXPECT_GT(ViewRepaints(), 0);
}

#endif

}  // namespace
