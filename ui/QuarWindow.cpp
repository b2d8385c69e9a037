#include "QuarWindow.h"

#include "ui_QuarWindow.h"

#include "AboutBox.h"
#include "Alert.h"
#include "AudioImport.h"
#include "BankActions.h"
#include "BankPanel.h"
#include "ComboTitles.h"
#include "DestinationDirectory.h"
#include "DroppedPath.h"
#include "DumpSender.h"
#include "HarmonicsView.h"
#include "KeyboardPlay.h"
#include "MidiPump.h"
#include "SendToMenu.h"
#include "StatusLine.h"
#include "SystemLog.h"
#include "Termination.h"
#include "WavePreview.h"
#include "WaveReadout.h"
#include "WaveSend.h"
#include "WaveTools.h"
#include "WaveView.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QSysInfo>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>

#include <csignal>
#include <cstring>
#include <string_view>

char s_szFileName[300];

namespace {

// What file managers put on a drag of files.
constexpr char kFileListType[] = "text/uri-list";

constexpr char kOpenTitle[] = "Open WAV File";
constexpr char kOpenFilter[] = "WAV files (*.wav *.WAV);;All files (*)";

// How long Play plays when not held.
constexpr int kPlayMs = 2000;

// After the label's own text while the view's wave is edited.
constexpr char kEditedNote[] = " (edited)";

constexpr char kPrompt[] = "Drag/Drop a WAV file from the Finder ...";

constexpr char kPathTooLong[] = "The dropped file was not loaded: its path is longer than 299 bytes.";
constexpr char kPathNotExact[] = "The dropped file was not loaded: its path can't be passed on exactly as a file name.";

}  // namespace

QuarWindow::QuarWindow(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::QuarWindow>()), m_preview(std::make_unique<WavePreview>())
{
    m_ui->setupUi(this);
    // Above the layout's margins, as a main window's menu bar sits.
    layout()->setMenuBar(m_ui->menuBar);
    // Never smaller than its controls need, whatever the desktop's font.
    setMinimumSize(minimumSize().expandedTo(layout()->totalMinimumSize()));
    m_sendTo = new SendToMenu(m_ui->menuWave);
    m_sendTo->setEnabled(false);
    m_ui->menuWave->addMenu(m_sendTo);
    connect(m_sendTo, &SendToMenu::chosen, this, [this](const std::string& title) { sendTo(title); });
    m_readout = new WaveReadout(*m_ui->viewWave, *m_ui->statusLine);
    connect(m_ui->actionPlaySettings, &QAction::triggered, this, [this] { AskPlaySettings(this, m_playSettings); });
    connect(m_ui->actionAbout, &QAction::triggered, this, [this] { ShowAboutBox(this); });
    connect(m_preview.get(), &WavePreview::started, this, [this](const QString& output) {
        m_ui->statusLine->say(QStringLiteral("Playing at %1 through %2, %3 dB")
                                  .arg(m_playSettings.pitch(), output)
                                  .arg(m_playSettings.levelDb, 0, 'f', 1));
    });
    connect(m_preview.get(), &WavePreview::finished, this, [this](const QString& error) {
        if (error.isEmpty()) {
            m_ui->statusLine->say(QStringLiteral("Played at %1").arg(m_playSettings.pitch()));
            return;
        }
        m_ui->statusLine->say("Not played: " + error);
        LogLine("Play: %s", error.toLocal8Bit().constData());
        RunAlertPanel(("The wave could not be played: " + error).toLocal8Bit().constData());
    });
    // Play lasts while its shortcut is held: the release may reach any widget.
    qApp->installEventFilter(this);
    m_bank = new BankActions(
        {this, [this] { return m_viewOrigin; }, [this] { return TitleOfSelectedItem(*m_ui->popMIDIPort); }},
        *m_ui->panelBank);
    m_bank->addMenus(*m_ui->menuBar);
    connect(m_bank, &BankActions::openInView, this, &QuarWindow::showSlot);
    connect(m_bank, &BankActions::said, m_ui->statusLine, &StatusLine::say);
    m_keyboard = new KeyboardPlay(
        {this,
         [] {
             std::optional<PlayWave> wave;
             if (s_Engine.m_bLoaded)
                 std::copy(std::begin(s_Engine.m_anWave), std::end(s_Engine.m_anWave), wave.emplace().begin());
             return wave;
         },
         [this] { return m_playSettings.levelDb; }},
        m_bank->model(), *m_ui->panelBank, *m_ui->menuWave, m_ui->actionPlaySettings, *m_ui->statusLine);
    m_tools = new WaveTools(
        {this, [this](const std::array<std::int16_t, 128>& wave, const QString& what) { editView(wave, what); }},
        m_bank->model(), m_bank->undoStack(), *m_ui->panelBank);
    m_tools->addMenus(*m_ui->menuBar, *m_ui->menuWave);
    connect(m_tools, &WaveTools::said, m_ui->statusLine, &StatusLine::say);
    connect(m_ui->viewWave, &WaveView::drawn, this, &QuarWindow::waveChanged);
    connect(m_ui->viewWave, &WaveView::stroked, this,
            [this](const std::array<std::int16_t, 128>& before) { recordEdit(before, QStringLiteral("Draw")); });
    addHarmonicsView();
    // A filled slot can be played from the panel, loaded wave or not.
    connect(&m_bank->model(), &BankModel::dataChanged, this, [this] {
        if (m_bank->model().filledCount() > 0)
            m_ui->actionPlay->setEnabled(true);
    });
    awakeFromNib();
    m_bank->offerRecovered();
    // From here on a send's lookup and hand-over are answered in the event
    // loop: the window goes on meanwhile.
    new MidiPump(this);
}

QuarWindow::~QuarWindow() = default;

void QuarWindow::awakeFromNib()
{
    LogLine("awakeFromNib");
    registerForDraggedTypes({kFileListType});
    m_ui->lblWaveInfo->setText(kPrompt);

    m_ui->popWaveNum->clear();
    for (int number = 97; number <= 128; ++number)
        AddItemWithTitle(*m_ui->popWaveNum, std::to_string(number));

    m_ui->popMIDIPort->clear();
    ComboTitlePopup ports(*m_ui->popMIDIPort);
    AddMIDIPortsToPopup(ports);
}

void QuarWindow::registerForDraggedTypes(const QStringList& types)
{
    m_draggedTypes = types;
    setAcceptDrops(true);
}

// The window takes part in a drag only when it carries a registered type.
bool QuarWindow::isRegisteredDrag(const QMimeData* info) const
{
    if (info == nullptr)
        return false;
    for (const QString& type : m_draggedTypes) {
        if (info->hasFormat(type))
            return true;
    }
    return false;
}

Qt::DropAction QuarWindow::draggingEntered(const QMimeData*)
{
    return Qt::CopyAction;
}

bool QuarWindow::performDragOperation(const QMimeData* info)
{
    // The raw bytes, not QUrl's decoding through QString: a name that is not
    // valid UTF-8 must reach the loader unchanged.
    takeFileList(info->hasFormat(kFileListType) ? info->data(kFileListType) : QByteArray());
    return true;
}

// Drops and Open... end here: the first local file of the list is checked,
// remembered and loaded, and the view redrawn.
void QuarWindow::takeFileList(const QByteArray& uriList)
{
    replaceView(QStringLiteral("Load Wave"), [this, &uriList] { loadFileList(uriList); });
}

void QuarWindow::loadFileList(const QByteArray& uriList)
{
    const std::string host = QSysInfo::machineHostName().toStdString();
    const DroppedPath dropped =
        FirstDroppedFilePath(std::string_view(uriList.constData(), uriList.size()), sizeof s_szFileName - 1, host);
    switch (dropped.status) {
    case DroppedPath::kNoFile:
        break;
    case DroppedPath::kTooLong:
        RunAlertPanel(kPathTooLong);
        break;
    case DroppedPath::kNotExact:
        RunAlertPanel(kPathNotExact);
        break;
    case DroppedPath::kFound:
        std::memcpy(s_szFileName, dropped.path.c_str(), dropped.path.size() + 1);
        loadRememberedFile();
        break;
    }
    m_ui->viewWave->update();
}

void QuarWindow::openCommandLineFiles(const QByteArray& uriList)
{
    const DroppedPath first = FirstDroppedFilePath(std::string_view(uriList.constData(), uriList.size()),
                                                   sizeof s_szFileName - 1, QSysInfo::machineHostName().toStdString());
    if (first.status == DroppedPath::kFound && QByteArray::fromStdString(first.path).toLower().endsWith(".syx"))
        m_bank->openBankFile(first.path);
    else
        takeFileList(uriList);
}

// Where the last file was, or the working directory.
QString QuarWindow::lastFolder() const
{
    const QString remembered = QFile::decodeName(s_szFileName);
    return remembered.isEmpty() ? QString() : QFileInfo(remembered).path();
}

// As one line of a dropped file list, with every byte of the name kept.
void QuarWindow::takePath(const QString& path)
{
    takeFileList("file://" + QFile::encodeName(path).toPercentEncoding("/") + "\r\n");
}

void QuarWindow::openTriggered()
{
    const QString chosen = QFileDialog::getOpenFileName(this, kOpenTitle, lastFolder(), kOpenFilter);
    if (!chosen.isEmpty())
        takePath(chosen);
}

void QuarWindow::importTriggered()
{
    QString report;
    const QString saved = ImportAudio(this, lastFolder(), report);
    if (saved.isEmpty())
        return;
    takePath(saved);
    if (s_Engine.m_bLoaded != 0)
        m_ui->statusLine->say(report);
}

void QuarWindow::playTriggered()
{
    const BankSlot* slot = m_bank->playableSlot();
    if ((slot == nullptr && !s_Engine.m_bLoaded) || m_preview->Playing())
        return;
    m_preview->Start(slot != nullptr ? slot->wave : s_Engine.m_anWave, m_playSettings.frequency(),
                     m_playSettings.levelDb);
    m_playingView = slot == nullptr;
    m_playing.start();
    // From the menu, or Ctrl+P: then it plays on while the keys are held.
    m_playHeld = (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) != 0;
    QTimer::singleShot(kPlayMs, this, [this] {
        if (!m_playHeld)
            m_preview->Stop();
    });
}

bool QuarWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (m_playHeld && event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat() && (key->key() == Qt::Key_P || key->key() == Qt::Key_Control)) {
            m_playHeld = false;
            if (m_playing.elapsed() >= kPlayMs)
                m_preview->Stop();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QuarWindow::concludeDragOperation(const QMimeData*) {}

void QuarWindow::reloadClicked()
{
    if (s_szFileName[0] == '\0')
        return;
    replaceView(QStringLiteral("Reload"), [this] {
        loadRememberedFile();
        m_ui->viewWave->update();
    });
}

void QuarWindow::sendClicked()
{
    sendTo(TitleOfSelectedItem(*m_ui->popMIDIPort));
}

// Send and Send To alike: the same send, its outcome in the status line.
void QuarWindow::sendTo(const std::optional<std::string>& portTitle)
{
    const std::string wave = TitleOfSelectedItem(*m_ui->popWaveNum).value_or(std::string());
    const QString waveText = QString::fromStdString(wave);
    const QString port = QString::fromStdString(portTitle.value_or(std::string()));
    StatusLine* status = m_ui->statusLine;
    SendWaveDump(
        portTitle, wave,
        [status, waveText, port = portTitle ? port : QString()](const WaveDumpSend& sent) {
            if (!sent.portFound)
                status->sayNotFound(waveText, port);
        },
        status->sendOutcome(waveText, port));
}

void QuarWindow::loadRememberedFile()
{
    markEdited(false);
    LoadFacts facts;
    if (LoadWaveFileTelling(s_Engine, s_szFileName, facts)) {
        m_viewOrigin = s_szFileName;
        m_ui->lblWaveInfo->setText(QFile::decodeName(s_szFileName));
        m_ui->btnSend->setEnabled(true);
        m_ui->btnReload->setEnabled(true);
        m_ui->actionPlay->setEnabled(true);
        m_sendTo->setEnabled(true);
    } else {
        RunAlertPanel(s_Engine.m_pszError);
        m_ui->lblWaveInfo->setText(QStringLiteral(" "));
        m_ui->btnSend->setEnabled(false);
        m_ui->btnReload->setEnabled(false);
        m_ui->actionPlay->setEnabled(false);
        m_sendTo->setEnabled(false);
    }
    sayLoaded(facts);
}

// The load's word, and the reason a file could not be opened, which the
// alert's fixed text leaves out, in a log line as qwdump says it.
void QuarWindow::sayLoaded(const LoadFacts& facts)
{
    m_readout->setFittedFrom(s_Engine.m_bResampled != 0 ? facts.dataBytes / 2 : 0);
    m_ui->statusLine->sayLoaded(QFile::decodeName(s_szFileName), s_Engine, facts);
    if (s_Engine.m_bLoaded == 0 && facts.openErrno != 0)
        LogLine("%s: %s (%s)", s_szFileName, s_Engine.m_pszError, std::strerror(facts.openErrno));
}

void QuarWindow::showSlot(const BankSlot& slot, int waveNumber)
{
    replaceView(QStringLiteral("Open Slot"), [&] { openSlot(slot, waveNumber); });
}

void QuarWindow::openSlot(const BankSlot& slot, int waveNumber)
{
    markEdited(false);
    std::copy(std::begin(slot.wave), std::end(slot.wave), s_Engine.m_anWave);
    s_Engine.m_bLoaded = 1;
    s_Engine.m_bResampled = slot.fitted;
    s_Engine.m_pszError = "";
    m_viewOrigin = slot.origin;
    m_ui->lblWaveInfo->setText(slot.origin == kFromTheSynth
                                   ? QStringLiteral("Wave %1 from the synth").arg(waveNumber)
                                   : QFile::decodeName(QByteArray::fromStdString(slot.origin)));
    m_ui->btnSend->setEnabled(true);
    m_ui->btnReload->setEnabled(true);
    m_ui->actionPlay->setEnabled(true);
    m_sendTo->setEnabled(true);
    m_readout->setFittedFrom(0);
    m_ui->viewWave->update();
}

ViewState QuarWindow::viewState() const
{
    ViewState state;
    std::copy(std::begin(s_Engine.m_anWave), std::end(s_Engine.m_anWave), state.wave.begin());
    state.loaded = s_Engine.m_bLoaded != 0;
    state.resampled = s_Engine.m_bResampled != 0;
    state.edited = m_viewEdited;
    state.origin = m_viewOrigin;
    state.label = m_ui->lblWaveInfo->text();
    if (m_viewEdited)
        state.label.chop(static_cast<int>(std::strlen(kEditedNote)));
    return state;
}

void QuarWindow::setViewState(const ViewState& state)
{
    std::copy(state.wave.begin(), state.wave.end(), s_Engine.m_anWave);
    s_Engine.m_bLoaded = state.loaded;
    s_Engine.m_bResampled = state.resampled;
    m_viewOrigin = state.origin;
    m_viewEdited = false;
    m_ui->lblWaveInfo->setText(state.label);
    markEdited(state.edited);
    m_ui->btnSend->setEnabled(state.loaded);
    m_ui->btnReload->setEnabled(state.loaded);
    m_ui->actionPlay->setEnabled(state.loaded || m_bank->model().filledCount() > 0);
    m_sendTo->setEnabled(state.loaded);
    waveChanged();
}

void QuarWindow::replaceView(const QString& what, const std::function<void()>& change)
{
    const ViewState before = viewState();
    change();
    m_harmonics->update();
    if (!before.edited)
        return;
    const ViewState after = viewState();
    if (!(after == before))
        m_bank->undoStack().push(
            new ViewEdit([this](const ViewState& state) { setViewState(state); }, before, after, what));
}

void QuarWindow::editView(const std::array<std::int16_t, 128>& wave, const QString& what)
{
    ViewState after = viewState();
    after.wave = wave;
    after.edited = true;
    m_bank->undoStack().push(
        new ViewEdit([this](const ViewState& state) { setViewState(state); }, viewState(), after, what));
}

void QuarWindow::recordEdit(const std::array<std::int16_t, 128>& before, const QString& what)
{
    ViewState was = viewState();
    was.wave = before;
    was.edited = m_viewEdited;
    markEdited(true);
    m_bank->undoStack().push(
        new ViewEdit([this](const ViewState& state) { setViewState(state); }, was, viewState(), what));
}

// Under the big view, sharing its place in the layout, so that hidden it
// changes nothing of the window, and shown its bars have the window's width.
void QuarWindow::addHarmonicsView()
{
    auto* column = static_cast<QBoxLayout*>(layout());
    const int at = column->indexOf(m_ui->viewWave);
    // The view's own share of the height goes to its place.
    const int stretch = std::max(column->stretch(at), m_ui->viewWave->sizePolicy().verticalStretch());
    auto* stack = new QVBoxLayout;
    stack->setContentsMargins(0, 0, 0, 0);
    column->removeWidget(m_ui->viewWave);
    stack->addWidget(m_ui->viewWave, 3);
    m_harmonics = new HarmonicsView(this);
    m_harmonics->setObjectName(QStringLiteral("viewHarmonics"));
    m_harmonics->hide();
    stack->addWidget(m_harmonics, 2);
    column->insertLayout(at, stack, stretch);

    QAction* shown = m_ui->menuWave->addAction(QStringLiteral("&Harmonics"));
    shown->setObjectName(QStringLiteral("actionHarmonics"));
    shown->setCheckable(true);
    shown->setShortcut(QKeySequence(QStringLiteral("Ctrl+H")));
    // Shown, the two views need more height than the view alone: the window's
    // minimum grows with them and comes back without them.
    connect(shown, &QAction::toggled, this, [this, least = minimumSize()](bool on) {
        m_harmonics->setVisible(on);
        setMinimumSize(on ? least.expandedTo(layout()->totalMinimumSize()) : least);
    });
    connect(m_harmonics, &HarmonicsView::dragged, this, [this](const std::array<std::int16_t, 128>& wave) {
        std::copy(wave.begin(), wave.end(), s_Engine.m_anWave);
        m_ui->viewWave->update();
        waveChanged();
    });
    connect(m_harmonics, &HarmonicsView::dragEnded, this, [this](const std::array<std::int16_t, 128>& before) {
        recordEdit(before, QStringLiteral("Set Harmonic"));
    });
    connect(m_harmonics, &HarmonicsView::pointed, m_ui->statusLine, &StatusLine::showPointer);
    connect(m_harmonics, &HarmonicsView::said, m_ui->statusLine, &StatusLine::say);
}

// The label says so, and the view marks it.
void QuarWindow::markEdited(bool edited)
{
    if (edited != m_viewEdited) {
        QString label = m_ui->lblWaveInfo->text();
        if (edited)
            label += kEditedNote;
        else
            label.chop(static_cast<int>(std::strlen(kEditedNote)));
        m_ui->lblWaveInfo->setText(label);
    }
    m_viewEdited = edited;
    m_ui->viewWave->setEdited(edited);
}

void QuarWindow::waveChanged()
{
    m_harmonics->update();
    if (m_playingView && m_preview->Playing())
        m_preview->Update(s_Engine.m_anWave);
    m_keyboard->viewChanged(s_Engine.m_anWave);
}

void QuarWindow::keepBankIfEnded()
{
    if (const int signal = TerminationSignal(); signal == SIGTERM || signal == SIGHUP)
        m_bank->keepUnsaved();
}

void QuarWindow::closeEvent(QCloseEvent* event)
{
    keepBankIfEnded();
    if (m_bank->mayDiscard())
        event->accept();
    else
        event->ignore();
}

// The window only ever copies a dropped file. A drag whose source offers no
// copy (only a move) is not taken part in: accepting it would report a move,
// and a file manager would then delete the user's file.
bool QuarWindow::takesPartIn(const QDropEvent* event) const
{
    return (event->possibleActions() & Qt::CopyAction) != 0 && isRegisteredDrag(event->mimeData());
}

void QuarWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!takesPartIn(event)) {
        event->ignore();
        return;
    }
    m_dragOperation = draggingEntered(event->mimeData());
    event->setDropAction(m_dragOperation);
    event->setAccepted(m_dragOperation != Qt::IgnoreAction);
}

void QuarWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!takesPartIn(event)) {
        event->ignore();
        return;
    }
    event->setDropAction(m_dragOperation);
    event->setAccepted(m_dragOperation != Qt::IgnoreAction);
}

void QuarWindow::dropEvent(QDropEvent* event)
{
    const QMimeData* info = event->mimeData();
    if (!takesPartIn(event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    if (!performDragOperation(info)) {
        event->ignore();
        return;
    }
    event->accept();
    concludeDragOperation(info);
}
