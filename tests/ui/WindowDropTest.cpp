// The window after start-up and when files are dragged onto it.

#include "WindowFixture.h"

#include "Engine.h"
#include "LoadMessages.h"
#include "WaveView.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QImage>
#include <QMimeData>

#include <sys/stat.h>

namespace {

const QString kPrompt = "Drag/Drop a WAV file from the Finder ...";
const QString kPathTooLong = "The dropped file was not loaded: its path is longer than 299 bytes.";
const QString kPathNotExact = "The dropped file was not loaded: its path can't be passed on exactly as a file name.";

std::string PercentEncoded(const std::string& path)
{
    return QByteArray::fromStdString(path).toPercentEncoding("/").toStdString();
}

bool PlainBlue(QWidget& view)
{
    const QImage image = view.grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != WaveView::kBackground)
                return false;
        }
    }
    return true;
}

TEST_F(WindowTest, StartsWithThePromptTheWaveNumbersAndThePortsInIndexOrder)
{
    midi->AddDestination("UM-ONE MIDI 1", "UM-ONE");
    midi->AddDestination("input", "midi-monitor");
    midi->AddDestination("Out 1", "");
    ::testing::internal::CaptureStderr();
    QuarWindow& window = Window();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "awakeFromNib\n");

    EXPECT_EQ(window.windowTitle(), "Quarven Wave Dump");
    EXPECT_EQ(Label().text(), kPrompt);
    EXPECT_EQ(Label().textFormat(), Qt::PlainText) << "a path is never markup";
    EXPECT_FALSE(SendButton().isEnabled());
    EXPECT_FALSE(ReloadButton().isEnabled());
    EXPECT_NE(qobject_cast<WaveView*>(&View()), nullptr);
    EXPECT_TRUE(window.acceptDrops());

    ASSERT_EQ(WavePopup().count(), 32);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(WavePopup().itemText(i), QString::number(97 + i));
    EXPECT_EQ(WavePopup().currentText(), "97");

    ASSERT_EQ(PortPopup().count(), 3);
    EXPECT_EQ(PortPopup().itemText(0), "UM-ONE MIDI 1 (UM-ONE)");
    EXPECT_EQ(PortPopup().itemText(1), "input (midi-monitor)");
    EXPECT_EQ(PortPopup().itemText(2), "Out 1 ()");
    EXPECT_EQ(s_szFileName[0], '\0');
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

TEST_F(WindowTest, TakesPartOnlyInDragsOfFileLists)
{
    QMimeData files;
    files.setData("text/uri-list", "file:///tmp/a.wav\r\n");
    QDragEnterEvent fileDrag(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Window(), &fileDrag);
    EXPECT_TRUE(fileDrag.isAccepted());
    EXPECT_EQ(fileDrag.dropAction(), Qt::CopyAction);

    QMimeData text;
    text.setText("/tmp/a.wav");
    QDragEnterEvent textDrag(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Window(), &textDrag);
    EXPECT_FALSE(textDrag.isAccepted());
}

TEST_F(WindowTest, DroppedFileIsLoadedShownAndDrawn)
{
    const std::string path = WriteWave("ramp.wav", 200, -12000);
    Window();
    EXPECT_TRUE(DropFiles({path}));
    EXPECT_EQ(Label().text(), QString::fromStdString(path));
    EXPECT_TRUE(SendButton().isEnabled());
    EXPECT_TRUE(ReloadButton().isEnabled());
    EXPECT_STREQ(s_szFileName, path.c_str());
    EXPECT_EQ(s_Engine.m_bLoaded, 1);
    EXPECT_EQ(EngineWave(), WaveOf(path));
    EXPECT_GE(ViewRepaints(), 1);
    EXPECT_FALSE(PlainBlue(View()));
    EXPECT_TRUE(alerts->Alerts().empty());
}

TEST_F(WindowTest, OfSeveralDroppedFilesOnlyTheFirstIsLoaded)
{
    const std::string first = WriteWave("first.wav", 100);
    const std::string second = WriteWave("second.wav", -100);
    const std::string third = dir.Write("third.wav", "not a wave");
    Window();
    EXPECT_TRUE(DropFiles({first, second, third}));
    EXPECT_EQ(Label().text(), QString::fromStdString(first));
    EXPECT_EQ(EngineWave(), WaveOf(first));
    EXPECT_TRUE(alerts->Alerts().empty()) << "the third file was never read";

    // Other URLs before the first file don't count as files.
    EXPECT_TRUE(DropUriList(QByteArray("# from a browser\r\nhttps://example.org/x.wav\r\nfile://") +
                            QByteArray::fromStdString(second) + "\r\n"));
    EXPECT_EQ(EngineWave(), WaveOf(second));
}

TEST_F(WindowTest, DropWithoutFilePathsOnlyRedraws)
{
    const std::string path = WriteWave("good.wav", 50);
    Window();
    ASSERT_TRUE(DropFiles({path}));
    ViewRepaints();
    const WindowSnapshot before = State();

    // (Which lists name no local file is DroppedPathTest's business.)
    const QByteArray noFiles[] = {"", "https://example.org/wave.wav\r\n",
                                  "file://elsewhere.example.org/tmp/wave.wav\r\n"};
    for (const QByteArray& list : noFiles) {
        SCOPED_TRACE(list.toStdString());
        EXPECT_TRUE(DropUriList(list));
        EXPECT_EQ(State(), before);
        EXPECT_GE(ViewRepaints(), 1);
    }
    EXPECT_TRUE(alerts->Alerts().empty());
}

TEST_F(WindowTest, BadFileAfterAGoodOneAlertsBlanksTheLabelAndDisablesBoth)
{
    const std::string good = WriteWave("good.wav", 150);
    const std::string bad = dir.Write("bad.wav", "RIFX, not a wave at all");
    Window();
    ASSERT_TRUE(DropFiles({good}));

    QString labelWhileShown;
    bool sendWhileShown = false;
    alerts = std::make_unique<AlertCatcher>([&] {
        labelWhileShown = Label().text();
        sendWhileShown = SendButton().isEnabled();
    });
    EXPECT_TRUE(DropFiles({bad}));

    ASSERT_EQ(alerts->Alerts().size(), 1u);
    const CaughtAlert& alert = alerts->Alerts()[0];
    EXPECT_EQ(alert.title, "Quarven Wave Dump");
    EXPECT_EQ(alert.text, LoadMessages::kNotWav);
    EXPECT_EQ(alert.format, Qt::PlainText);
    EXPECT_EQ(alert.buttons, QStringList{"Ok"});
    EXPECT_TRUE(alert.modal);
    // The window changes only once the alert has been dismissed.
    EXPECT_EQ(labelWhileShown, QString::fromStdString(good));
    EXPECT_TRUE(sendWhileShown);

    EXPECT_EQ(Label().text(), " ");
    EXPECT_FALSE(SendButton().isEnabled());
    EXPECT_FALSE(ReloadButton().isEnabled());
    EXPECT_STREQ(s_szFileName, bad.c_str()) << "the failed file is still remembered";
    EXPECT_EQ(s_Engine.m_bLoaded, 0);
    EXPECT_GE(ViewRepaints(), 1);
    EXPECT_TRUE(PlainBlue(View()));
}

TEST_F(WindowTest, PipesAndDevicesFailAtOnceWithTheOpenMessage)
{
    const std::string fifo = dir.File("pipe.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Window();
    for (const std::string& path : {fifo, std::string("/dev/zero"), dir.path()}) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(DropFiles({WriteWave("good.wav", 10)}));
        EXPECT_TRUE(DropFiles({path}));
        EXPECT_EQ(Label().text(), " ");
        EXPECT_FALSE(SendButton().isEnabled());
        EXPECT_FALSE(ReloadButton().isEnabled());
    }
    EXPECT_EQ(alerts->Texts(), QStringList(3, LoadMessages::kOpenFailed));
}

TEST_F(WindowTest, PathsThatCannotBeKeptExactlyAreRefusedAndChangeNothing)
{
    const std::string good = WriteWave("good.wav", 75);
    Window();
    ASSERT_TRUE(DropFiles({good}));
    const WindowSnapshot before = State();

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
    EXPECT_EQ(alerts->Texts(), (QStringList{kPathTooLong, kPathNotExact}));

    // 299 bytes still fit.
    const std::string path299 = deep + "/" + name300.substr(1);
    std::rename(path300.c_str(), path299.c_str());
    EXPECT_TRUE(DropFiles({path299}));
    EXPECT_STREQ(s_szFileName, path299.c_str());
    EXPECT_EQ(s_Engine.m_bLoaded, 1);
    EXPECT_EQ(alerts->Alerts().size(), 2u);
}

TEST_F(WindowTest, NamesThatAreNotUtf8LoadByTheirExactBytes)
{
    const std::string path = dir.path() + "/wave-\xE9\xFF.wav";
    std::rename(WriteWave("tmp.wav", -120, 9000).c_str(), path.c_str());
    Window();
    EXPECT_TRUE(DropUriList(QByteArray::fromStdString("file://" + PercentEncoded(path) + "\r\n")));
    EXPECT_STREQ(s_szFileName, path.c_str());
    EXPECT_EQ(s_Engine.m_bLoaded, 1);
    EXPECT_EQ(EngineWave(), WaveOf(path));
    EXPECT_TRUE(SendButton().isEnabled());
    EXPECT_TRUE(alerts->Alerts().empty());
}

}  // namespace
