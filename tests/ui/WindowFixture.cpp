#include "WindowFixture.h"

#include "Alert.h"
#include "Engine.h"
#include "MessageBoxAlert.h"
#include "WavBytes.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <QVariant>

#include <cstring>
#include <ostream>

namespace {

class PaintCounter : public QObject
{
public:
    explicit PaintCounter(int& count) : m_count(count) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++m_count;
        return false;
    }

private:
    int& m_count;
};

// Hands out its file list byte for byte, as a drop from another program
// does; QMimeData::setData would normalise it through QUrl.
class RawUriList : public QMimeData
{
public:
    explicit RawUriList(const QByteArray& bytes) : m_bytes(bytes) {}
    QStringList formats() const override { return {kFileListType}; }
    bool hasFormat(const QString& type) const override { return type == kFileListType; }

protected:
    QVariant retrieveData(const QString& type, QMetaType) const override
    {
        return type == kFileListType ? QVariant(m_bytes) : QVariant();
    }

private:
    static inline const QString kFileListType = QStringLiteral("text/uri-list");
    QByteArray m_bytes;
};

}  // namespace

void WindowTest::SetUp()
{
    auto backend = std::make_unique<MemoryBackend>();
    midi = backend.get();
    std::vector<std::unique_ptr<MidiBackend>> backends;
    backends.push_back(std::move(backend));
    MIDIServiceUseBackends(std::move(backends));
    InstallMessageBoxAlerts();
    alerts = std::make_unique<AlertCatcher>();
    s_Engine = CEngine();
    std::memset(s_szFileName, 0, sizeof s_szFileName);
}

void WindowTest::TearDown()
{
    m_window.reset();
    alerts.reset();
    SetAlertPresenter(nullptr);
    MIDIServiceShutDown();
}

QuarWindow& WindowTest::Window()
{
    if (!m_window) {
        m_window = std::make_unique<QuarWindow>();
        m_window->show();
        m_window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        QWidget* view = m_window->findChild<QWidget*>("viewWave");
        m_paintCounter = std::make_unique<PaintCounter>(m_repaints);
        view->installEventFilter(m_paintCounter.get());
        ViewRepaints();
    }
    return *m_window;
}

bool WindowTest::DropUriList(const QByteArray& uriList)
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

bool WindowTest::DropFiles(const std::vector<std::string>& paths)
{
    // As a file manager offers them: QMimeData's own URL list.
    QList<QUrl> urls;
    for (const std::string& path : paths)
        urls << QUrl::fromLocalFile(QString::fromStdString(path));
    QMimeData mime;
    mime.setUrls(urls);
    return DropUriList(mime.data("text/uri-list"));
}

int WindowTest::ViewRepaints()
{
    QTest::qWait(30);
    QApplication::processEvents();
    const int count = m_repaints;
    m_repaints = 0;
    return count;
}

std::string WindowTest::WriteWave(const std::string& name, int step, int offset)
{
    std::vector<std::int16_t> samples;
    for (int i = 0; i < 128; ++i)
        samples.push_back(static_cast<std::int16_t>(i * step + offset));
    return dir.Write(name, WavBytes::Mono(SampleBytes(samples)).str());
}

std::vector<std::int16_t> WindowTest::WaveOf(const std::string& path)
{
    CEngine engine;
    EXPECT_TRUE(engine.LoadWaveFile(path.c_str())) << path;
    return std::vector<std::int16_t>(engine.m_anWave, engine.m_anWave + 128);
}

std::vector<std::int16_t> WindowTest::EngineWave()
{
    return std::vector<std::int16_t>(s_Engine.m_anWave, s_Engine.m_anWave + 128);
}

WindowSnapshot WindowTest::State()
{
    return {Label().text(), SendButton().isEnabled(), ReloadButton().isEnabled(), s_szFileName, EngineWave(),
            s_Engine.m_bLoaded};
}

bool operator==(const WindowSnapshot& a, const WindowSnapshot& b)
{
    return a.label == b.label && a.sendEnabled == b.sendEnabled && a.reloadEnabled == b.reloadEnabled &&
           a.fileName == b.fileName && a.wave == b.wave && a.loaded == b.loaded;
}

void PrintTo(const WindowSnapshot& s, std::ostream* os)
{
    *os << "{label \"" << s.label.toStdString() << "\", send " << s.sendEnabled << ", reload " << s.reloadEnabled
        << ", file \"" << s.fileName << "\", loaded " << s.loaded << "}";
}
