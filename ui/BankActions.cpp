#include "BankActions.h"

#include "Alert.h"
#include "BankComparison.h"
#include "BankEdit.h"
#include "BankPanel.h"
#include "BankSend.h"
#include "DroppedPath.h"
#include "Engine.h"
#include "FrameChooser.h"
#include "InputFile.h"
#include "MessageBoxAlert.h"
#include "MonoWav.h"
#include "ReceiveDialog.h"
#include "RecoveredBank.h"
#include "SendToMenu.h"
#include "SlotEditing.h"
#include "SlotFiles.h"
#include "SystemLog.h"
#include "SyxFile.h"
#include "Termination.h"
#include "WaveDump.h"
#include "WaveDumpBank.h"
#include "WaveFolder.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QSysInfo>
#include <QUndoStack>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <numeric>

namespace {

constexpr char kBankFilter[] = "SysEx banks (*.syx *.SYX);;All files (*)";
constexpr char kAudioFilter[] =
    "Audio files (*.wav *.WAV *.aif *.aiff *.flac *.ogg *.opus *.mp3 *.caf *.w64);;All files (*)";

QString Decoded(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string Encoded(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

void Alert(const std::string& message)
{
    RunAlertPanel(message.c_str());
}

QString Waves(std::size_t count)
{
    return count == 1 ? QStringLiteral("1 wave") : QStringLiteral("%1 waves").arg(count);
}

// Which frames went to which slots, in order: "Imported table.wav: frames
// 1, 3, 5 to waves 97 to 99".
QString ImportedText(const QString& file, const FittedTable& table, int first)
{
    QStringList numbers;
    for (const FittedFrame& frame : table.frames)
        numbers << QString::number(frame.number);
    std::vector<int> rows(table.frames.size());
    std::iota(rows.begin(), rows.end(), first);
    return QStringLiteral("Imported %1: %2 %3 to %4")
        .arg(QFileInfo(file).fileName(), numbers.size() == 1 ? QStringLiteral("frame") : QStringLiteral("frames"),
             numbers.join(QStringLiteral(", ")), WavesText(rows));
}

QAction* AddAction(QMenu& menu, const char* name, const QString& text, const QKeySequence& shortcut)
{
    QAction* action = menu.addAction(text);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(shortcut);
    return action;
}

}  // namespace

BankActions::BankActions(Window window, BankPanel& panel)
    : QObject(window.widget), m_window(std::move(window)), m_panel(panel), m_undo(new QUndoStack(this)),
      m_title(m_window.widget->windowTitle()), m_editing(new SlotEditing(m_model, *m_undo, panel, this)),
      m_gap(BankSend::kDefaultGap)
{
    m_panel.setBank(&m_model);
    connect(m_editing, &SlotEditing::said, this, &BankActions::said);
    connect(m_undo, &QUndoStack::indexChanged, this, [this](int index) {
        // Undone past its opening, the bank is the one before it, which
        // Save must not write into the opened file; redone, it stays so.
        if (index < m_openedAt) {
            m_bankFile.clear();
            m_openedAt = 0;
        }
        showTitle();
    });
    connect(m_undo, &QUndoStack::cleanChanged, this, &BankActions::showTitle);
    connect(&m_panel, &BankPanel::filesDropped, this, &BankActions::takeDrop);
    connect(&m_panel, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        const BankSlot& slot = m_model.slotAt(index.row());
        if (slot.filled)
            emit openInView(slot, WaveOfSlot(index.row()));
    });
}

BankActions::~BankActions() = default;

void BankActions::addMenus(QMenuBar& bar)
{
    const QList<QAction*> menus = bar.actions();
    auto* edit = new QMenu(QStringLiteral("&Edit"), &bar);
    edit->setObjectName(QStringLiteral("menuEdit"));
    bar.insertMenu(menus.size() > 1 ? menus[1] : nullptr, edit);
    QAction* undo = m_undo->createUndoAction(edit);
    undo->setObjectName(QStringLiteral("actionUndo"));
    undo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
    QAction* redo = m_undo->createRedoAction(edit);
    redo->setObjectName(QStringLiteral("actionRedo"));
    redo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
    edit->addAction(undo);
    edit->addAction(redo);
    // After the stack has moved: the step undone is the one at its index.
    connect(undo, &QAction::triggered, this, [this] {
        if (const QUndoCommand* undone = m_undo->command(m_undo->index()))
            emit said(QStringLiteral("Undid ") + undone->text());
    });
    connect(redo, &QAction::triggered, this, [this] {
        if (const QUndoCommand* redone = m_undo->command(m_undo->index() - 1))
            emit said(QStringLiteral("Redid ") + redone->text());
    });
    m_editing->addActions(*edit);

    // After the Wave menu, before any that follow it (Help).
    auto* bank = new QMenu(QStringLiteral("&Bank"), &bar);
    bank->setObjectName(QStringLiteral("menuBank"));
    QAction* beforeBank = nullptr;
    const QList<QAction*> all = bar.actions();
    for (int i = 0; i + 1 < all.size(); ++i)
        if (all[i]->menu() != nullptr && all[i]->menu()->objectName() == QLatin1String("menuWave"))
            beforeBank = all[i + 1];
    bar.insertMenu(beforeBank, bank);
    m_newBank = AddAction(*bank, "actionNewBank", QStringLiteral("Ne&w Bank"), QKeySequence(QStringLiteral("Ctrl+N")));
    m_openBank =
        AddAction(*bank, "actionOpenBank", QStringLiteral("&Open Bank…"), QKeySequence(QStringLiteral("Ctrl+Shift+O")));
    m_importTable = AddAction(*bank, "actionImportTable", QStringLiteral("&Import Wavetable…"),
                              QKeySequence(QStringLiteral("Ctrl+Shift+I")));
    m_putWave =
        AddAction(*bank, "actionPutWave", QStringLiteral("&Put Wave in Slot"), QKeySequence(QStringLiteral("Ctrl+B")));
    m_openRecovered = AddAction(*bank, "actionOpenRecoveredBank", QStringLiteral("Open Re&covered Bank"),
                                QKeySequence(QStringLiteral("Ctrl+Alt+O")));
    m_discardRecovered =
        AddAction(*bank, "actionDiscardRecoveredBank", QStringLiteral("Discard Recovered Bank"), QKeySequence());
    showRecovered();
    bank->addSeparator();
    m_save = AddAction(*bank, "actionSave", QStringLiteral("S&ave Bank"), QKeySequence(QStringLiteral("Ctrl+S")));
    m_saveBank = AddAction(*bank, "actionSaveBank", QStringLiteral("&Save Bank As…"),
                           QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    m_exportWaves = AddAction(*bank, "actionExportWaves", QStringLiteral("&Export Waves…"), QKeySequence());
    bank->addSeparator();
    m_sendBank = AddAction(*bank, "actionSendBank", QStringLiteral("Se&nd Bank"),
                           QKeySequence(QStringLiteral("Ctrl+Shift+Return")));
    m_sendBankTo =
        new SendToMenu(QStringLiteral("Send Bank &To"),
                       QStringLiteral("the bank's filled slots go there, each as its own wave number"), bank);
    m_sendBankTo->setObjectName(QStringLiteral("menuSendBankTo"));
    bank->addMenu(m_sendBankTo);
    connect(m_sendBankTo, &SendToMenu::chosen, this, [this](const std::string& title) { sendBankTo(title); });
    m_receive = AddAction(*bank, "actionReceive", QStringLiteral("&Receive from Synth…"),
                          QKeySequence(QStringLiteral("Ctrl+R")));
    m_verify = AddAction(*bank, "actionVerify", QStringLiteral("&Verify Against Synth…"),
                         QKeySequence(QStringLiteral("Ctrl+Shift+R")));
    connect(m_importTable, &QAction::triggered, this, &BankActions::importWavetable);
    connect(m_sendBank, &QAction::triggered, this, &BankActions::sendBank);
    connect(m_receive, &QAction::triggered, this, &BankActions::receive);
    connect(m_verify, &QAction::triggered, this, &BankActions::verify);
    connect(m_newBank, &QAction::triggered, this, &BankActions::newBank);
    connect(m_openBank, &QAction::triggered, this, &BankActions::openBank);
    connect(m_save, &QAction::triggered, this, &BankActions::saveBank);
    connect(m_putWave, &QAction::triggered, this, &BankActions::putViewWave);
    connect(m_saveBank, &QAction::triggered, this, &BankActions::saveBankAs);
    connect(m_exportWaves, &QAction::triggered, this, &BankActions::exportWaves);
    connect(m_openRecovered, &QAction::triggered, this, &BankActions::openRecovered);
    connect(m_discardRecovered, &QAction::triggered, this, &BankActions::discardRecovered);
}

// Only the bank's own steps count: the big view's edits share the stack but
// are not the bank's to save.
bool BankActions::unsaved() const
{
    if (m_undo->cleanIndex() < 0)
        return !m_undo->isClean();
    const int from = std::min(m_undo->cleanIndex(), m_undo->index());
    const int to = std::max(m_undo->cleanIndex(), m_undo->index());
    for (int i = from; i < to; ++i)
        if (dynamic_cast<const BankEdit*>(m_undo->command(i)) != nullptr)
            return true;
    return false;
}

bool BankActions::mayDiscard()
{
    if (m_kept || !unsaved())
        return true;
    QMessageBox box(QMessageBox::Question, kAlertTitle, QStringLiteral("The bank has changes that are not saved."),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, m_window.widget);
    box.setInformativeText(QStringLiteral("Save them first?"));
    box.setDefaultButton(QMessageBox::Save);
    // A letter for each, whatever the platform's own texts.
    box.button(QMessageBox::Save)->setText(QStringLiteral("&Save"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("&Discard"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("&Cancel"));
    switch (box.exec()) {
    case QMessageBox::Save:
        return saveBank();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void BankActions::keepUnsaved()
{
    if (m_kept)
        return;
    m_kept = true;
    // A receive under way has filled slots that are not yet a step to undo.
    if (!(unsaved() || m_receiving) || m_model.filledCount() == 0)
        return;
    std::vector<SysexMessage> messages;
    for (auto& [wave, message] : m_model.messages())
        messages.push_back(std::move(message));
    // The recovered bank shown is kept where it was found: one file per bank.
    std::string path = m_recoveredOpen ? m_recovered : std::string();
    if (std::string error; !KeepRecoveredBank(messages, path, error, TerminationSignalCount()))
        LogLine("The bank's unsaved changes are lost: cannot write %s: %s", path.c_str(), error.c_str());
    else
        LogLine("The bank's unsaved changes are kept in %s", path.c_str());
}

void BankActions::offerRecovered()
{
    m_recovered = NewestRecoveredBank();
    showRecovered();
    if (!m_recovered.empty())
        emit said(QStringLiteral("A bank with changes not saved when the window last closed was kept: "
                                 "Bank > Open Recovered Bank"));
}

void BankActions::showRecovered()
{
    m_openRecovered->setVisible(!m_recovered.empty());
    m_discardRecovered->setVisible(!m_recovered.empty());
}

void BankActions::openRecovered()
{
    if (m_recovered.empty() || !mayDiscard())
        return;
    if (loadBank(m_recovered, false))
        m_recoveredOpen = true;
}

void BankActions::discardRecovered()
{
    if (m_recovered.empty())
        return;
    std::error_code failed;
    if (!std::filesystem::remove(m_recovered, failed) && failed)
        return Alert("The recovered bank was not discarded: cannot remove " + m_recovered + ": " + failed.message());
    m_recoveredOpen = false;
    offerRecovered();
}

const BankSlot* BankActions::playableSlot() const
{
    if (!m_panel.hasFocus())
        return nullptr;
    const BankSlot& slot = m_model.slotAt(m_panel.selectedSlot());
    return slot.filled ? &slot : nullptr;
}

QString BankActions::folder() const
{
    return m_bankPath.empty() ? QString() : QFileInfo(Decoded(m_bankPath)).path();
}

void BankActions::fill(int first, std::vector<BankSlot> range, const QString& what)
{
    m_undo->push(new BankEdit(m_model, first, std::move(range), what));
}

// Named as Qt names a document's window, "bank.syx*" while changed; with
// no file of its own, the window's title as it was.
void BankActions::showTitle()
{
    QWidget& window = *m_window.widget;
    if (m_bankFile.empty()) {
        window.setWindowFilePath(QString());
        window.setWindowTitle(m_title);
    } else {
        window.setWindowTitle(QString());
        window.setWindowFilePath(Decoded(m_bankFile));
    }
    // Only a title with a file has the mark's place.
    window.setWindowModified(!m_bankFile.empty() && unsaved());
}

void BankActions::newBank()
{
    if (!mayDiscard())
        return;
    if (m_model.filledCount() > 0)
        fill(0, std::vector<BankSlot>(BankModel::kSlots), QStringLiteral("New Bank"));
    m_bankFile.clear();
    m_openedAt = 0;
    m_recoveredOpen = false;
    // Nothing in it to save yet.
    m_undo->setClean();
    showTitle();
    emit said(QStringLiteral("New bank: all 32 slots empty"));
}

void BankActions::openBank()
{
    if (!mayDiscard())
        return;
    const QString chosen =
        QFileDialog::getOpenFileName(m_window.widget, QStringLiteral("Open Bank"), folder(), kBankFilter);
    if (!chosen.isEmpty())
        openBankFile(Encoded(chosen));
}

// Each well-formed wave dump fills its own slot, the others are emptied; a
// bank that does not read changes nothing. Unless `saved`, the bank stays a
// change to save, with no file of its own.
bool BankActions::loadBank(const std::string& path, bool saved)
{
    InputFile input(path);
    std::vector<SysexMessage> messages;
    ReadNotes notes;
    // What qwdump reads, the window reads: other messages (a receive --all
    // backup) are skipped, named in the status line; no wave dump at all is
    // an alert, as for any bank that does not read.
    if (!input.ReadSyx(messages, notes, true)) {
        Alert(notes.failure);
        return false;
    }
    if (messages.empty()) {
        Alert(path + ": holds no wave dump message");
        return false;
    }
    std::vector<BankSlot> range(BankModel::kSlots);
    for (const SysexMessage& message : messages)
        range[static_cast<std::size_t>(SlotOfWave(WaveDump::WaveNumberOf(message.data())))] =
            BankSlot::FromMessage(message.data(), path, saved ? BankSlot::kNone : BankSlot::kChanged);
    fill(0, std::move(range), saved ? QStringLiteral("Open Bank") : QStringLiteral("Open Recovered Bank"));
    m_recoveredOpen = false;
    // A recovered bank has no file of its own: saving it asks where.
    m_bankFile = saved ? path : std::string();
    m_openedAt = saved ? m_undo->index() : 0;
    if (saved) {
        m_undo->setClean();
        m_bankPath = path;
    }
    showTitle();
    QString line = QStringLiteral("Opened %1: %2").arg(QFileInfo(Decoded(path)).fileName(), Waves(messages.size()));
    for (const std::string& notice : notes.notices)
        line += "; " + QString::fromStdString(notice);
    emit said(line);
    return true;
}

// A .syx bank opens; WAV files fill `slot` and those after it, in the list's
// order, each loaded as the window loads a drop. Nothing changes unless all load.
void BankActions::takeDrop(int slot, const QByteArray& uriList)
{
    const std::vector<DroppedPath> dropped = DroppedFilePaths(std::string_view(uriList.constData(), uriList.size()),
                                                              PATH_MAX - 1, QSysInfo::machineHostName().toStdString());
    if (dropped.empty())
        return;
    for (const DroppedPath& file : dropped) {
        if (file.status == DroppedPath::kTooLong)
            return Alert("The dropped file was not loaded: its path is too long.");
        if (file.status == DroppedPath::kNotExact)
            return Alert("The dropped file was not loaded: its path can't be passed on exactly as a file name.");
    }
    if (InputFile(dropped.front().path).IsSyx()) {
        if (mayDiscard())
            openBankFile(dropped.front().path);
        return;
    }
    const int firstWave = WaveOfSlot(slot);
    if (const std::string overflow = BankOverflow(firstWave, firstWave + static_cast<int>(dropped.size()));
        !overflow.empty())
        return Alert(overflow);
    std::vector<BankSlot> range;
    for (const DroppedPath& file : dropped) {
        CEngine engine;
        if (!engine.LoadWaveFile(file.path.c_str()))
            return Alert(file.path + ": " + engine.m_pszError);
        BankSlot filled;
        filled.filled = true;
        std::copy(std::begin(engine.m_anWave), std::end(engine.m_anWave), filled.wave);
        filled.fitted = engine.m_bResampled != 0;
        filled.origin = file.path;
        filled.state = BankSlot::kChanged;
        range.push_back(filled);
    }
    fill(slot, std::move(range), dropped.size() == 1 ? QStringLiteral("Drop a Wave") : QStringLiteral("Drop Waves"));
}

void BankActions::putViewWave()
{
    if (s_Engine.m_bLoaded == 0)
        return Alert("There is no wave to put in the slot: open or drop a WAV file first.");
    BankSlot slot;
    slot.filled = true;
    std::copy(std::begin(s_Engine.m_anWave), std::end(s_Engine.m_anWave), slot.wave);
    slot.fitted = s_Engine.m_bResampled != 0;
    slot.origin = m_window.viewOrigin();
    slot.state = BankSlot::kChanged;
    fill(m_panel.selectedSlot(), {slot}, QStringLiteral("Put Wave in Slot"));
    emit said(QStringLiteral("Put the view's wave in wave %1").arg(WaveOfSlot(m_panel.selectedSlot())));
}

bool BankActions::saveBank()
{
    if (m_bankFile.empty())
        return saveBankAs();
    if (m_model.filledCount() == 0) {
        Alert("The bank is empty: there is nothing to save.");
        return false;
    }
    return writeBank(m_bankFile);
}

bool BankActions::saveBankAs()
{
    if (m_model.filledCount() == 0) {
        Alert("The bank is empty: there is nothing to save.");
        return false;
    }
    const QString suggested = m_bankPath.empty() ? QStringLiteral("bank.syx") : Decoded(m_bankPath);
    const QString chosen =
        QFileDialog::getSaveFileName(m_window.widget, QStringLiteral("Save Bank"), suggested, kBankFilter);
    if (chosen.isEmpty())
        return false;
    return writeBank(Encoded(chosen));
}

// As every output file is written: a temporary file renamed over the old.
bool BankActions::writeBank(const std::string& path)
{
    std::vector<SysexMessage> messages;
    for (auto& [wave, message] : m_model.messages())
        messages.push_back(std::move(message));
    if (std::string error; !WriteSyxFile(path, messages, error)) {
        Alert("The bank was not saved: " + path + ": " + error);
        return false;
    }
    m_bankPath = path;
    m_bankFile = path;
    m_undo->setClean();
    showTitle();
    emit said(QStringLiteral("Saved %1: %2").arg(QFileInfo(Decoded(path)).fileName(), Waves(messages.size())));
    if (m_recoveredOpen) {
        std::error_code ignored;
        std::filesystem::remove(m_recovered, ignored);
        m_recoveredOpen = false;
        m_recovered = NewestRecoveredBank();
        showRecovered();
    }
    return true;
}

// Each filled slot as wave-NNN.wav, as unpack writes them: all or none.
void BankActions::exportWaves()
{
    if (m_model.filledCount() == 0)
        return Alert("The bank is empty: there are no waves to export.");
    const QString chosen = QFileDialog::getExistingDirectory(m_window.widget, QStringLiteral("Export Waves"), folder());
    if (chosen.isEmpty())
        return;
    const std::string dir = Encoded(chosen);
    std::vector<int> all(BankModel::kSlots);
    std::iota(all.begin(), all.end(), 0);
    const std::vector<WaveFile> files = SlotWaveFiles(m_model, all, dir);
    int existing = 0;
    for (const WaveFile& file : files)
        existing += QFileInfo::exists(Decoded(file.path));
    if (existing > 0 && QMessageBox::question(m_window.widget, kAlertTitle,
                                              QStringLiteral("%1 of the %2 wave files are in %3 already. Replace them?")
                                                  .arg(existing)
                                                  .arg(files.size())
                                                  .arg(chosen)) != QMessageBox::Yes)
        return;
    if (std::string error; !WriteWaveFolder(dir, files, existing > 0, error))
        return Alert("The waves were not exported: " + error);
    emit said(QStringLiteral("Exported %1 to %2").arg(Waves(files.size()), chosen));
}

// A table's frames go to the slots from the selected one on, those the user
// lists or else spread as qwdump fit spreads them; a single cycle fills the
// selected slot. The fit module is opened on the first import.
void BankActions::importWavetable()
{
    const QString chosen =
        QFileDialog::getOpenFileName(m_window.widget, QStringLiteral("Import Wavetable"), folder(), kAudioFilter);
    if (chosen.isEmpty())
        return;
    FitRequest request;
    if (!ChooseTableFrames(m_window.widget, chosen, request))
        return;
    const std::string path = Encoded(chosen);
    FittedTable table;
    ReadNotes notes;
    if (!FitFile(path, request, table, notes))
        return Alert(notes.failure);
    const int first = m_panel.selectedSlot();
    const int firstWave = WaveOfSlot(first);
    if (const std::string overflow = BankOverflow(firstWave, firstWave + static_cast<int>(table.frames.size()));
        !overflow.empty())
        return Alert(overflow);
    std::vector<BankSlot> range;
    for (const FittedFrame& frame : table.frames) {
        BankSlot slot;
        slot.filled = true;
        std::copy(std::begin(frame.samples), std::end(frame.samples), slot.wave);
        slot.fitted = table.frameSize != 128;
        slot.origin = path;
        slot.state = BankSlot::kChanged;
        range.push_back(slot);
    }
    fill(first, std::move(range), QStringLiteral("Import Wavetable"));
    emit said(ImportedText(chosen, table, first));
}

// One run at a time: a send, a receive or a verify.
void BankActions::busy(bool running)
{
    for (QAction* action : {m_sendBank, m_sendBankTo->menuAction(), m_receive, m_verify, m_openBank, m_importTable})
        action->setEnabled(!running);
}

void BankActions::sendBank()
{
    sendBankTo(m_window.portTitle());
}

void BankActions::sendBankTo(const std::optional<std::string>& port)
{
    if (m_send != nullptr || m_listening != nullptr)
        return;
    m_send = new BankSend(m_model, m_window.widget, m_gap);
    busy(true);
    connect(m_send, &BankSend::finished, this, [this] {
        if (!m_send->summary().isEmpty())
            emit said(m_send->summary());
        m_send->deleteLater();
        busy(false);
    });
    m_send->start(port);
}

void BankActions::receive()
{
    listen(false);
}

void BankActions::verify()
{
    if (m_model.filledCount() == 0)
        return Alert("The bank is empty: there is nothing to verify.");
    listen(true);
}

// Receive fills each slot as its wave arrives, marked "from the synth", and
// the whole receive is one step of the undo stack. Verify changes no slot:
// each one that comes back is marked same or differs, the others as not
// sent back, and one line sums it up.
void BankActions::listen(bool verifying)
{
    if (m_send != nullptr || m_listening != nullptr)
        return;
    auto* dialog = new ReceiveDialog(
        verifying ? QStringLiteral("Verify Against Synth") : QStringLiteral("Receive from Synth"), m_window.widget);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Nothing else changes the bank meanwhile, and the window is not closed under it.
    dialog->setWindowModality(Qt::WindowModal);
    m_listening = dialog;
    busy(true);
    m_receiving = !verifying;
    connect(dialog, &QObject::destroyed, this, [this] {
        m_receiving = false;
        busy(false);
    });
    auto before = std::make_shared<std::vector<BankSlot>>(m_model.slotsFrom(0, BankModel::kSlots));
    connect(dialog, &ReceiveDialog::waveArrived, this, [this, verifying](const SysexMessage& message) {
        const int slot = SlotOfWave(WaveDump::WaveNumberOf(message.data()));
        if (!verifying) {
            m_model.setSlots(slot, {BankSlot::FromMessage(message.data(), kFromTheSynth, BankSlot::kReceived)});
        } else if (m_model.slotAt(slot).filled) {
            const bool same = m_model.slotAt(slot).Message(WaveOfSlot(slot)) == message;
            m_model.setState(slot, same ? BankSlot::kSame : BankSlot::kDiffers);
        }
    });
    connect(dialog, &ReceiveDialog::ended, this,
            [this, verifying, before, dialog](const std::vector<SysexMessage>& waves, const QStringList& missing) {
                if (!missing.isEmpty())
                    dialog->setOutcome(QStringLiteral("Not everything arrived whole:\n") + missing.join('\n'));
                const QString source = QString::fromStdString(dialog->source());
                // Lost dumps counted, not the lines that tell of them.
                const int losses = missing.isEmpty() ? 0 : std::max<int>(dialog->dumpsLost(), 1);
                const QString lost = losses == 0   ? QString()
                                     : losses == 1 ? QStringLiteral("; 1 loss")
                                                   : QStringLiteral("; %1 losses").arg(losses);
                for (const int wave : dialog->wavesLost())
                    m_model.setState(SlotOfWave(wave), BankSlot::kDamaged);
                if (!verifying)
                    emit said((waves.size() == 1
                                   ? QStringLiteral("Received 1 wave from %1").arg(source)
                                   : QStringLiteral("Received %1 waves from %2").arg(waves.size()).arg(source)) +
                              lost);
                if (!verifying) {
                    if (!waves.empty())
                        m_undo->push(new BankEdit(m_model, 0, *before, m_model.slotsFrom(0, BankModel::kSlots),
                                                  QStringLiteral("Receive from Synth")));
                    else
                        dialog->setOutcome(QStringLiteral("No wave dump arrived."));
                    return;
                }
                std::vector<SysexMessage> bank;
                for (auto& [wave, message] : m_model.messages())
                    bank.push_back(std::move(message));
                const BankComparison comparison = VerifyReturned(bank, waves);
                for (const auto& [wave, verdict] : comparison.waves)
                    if (verdict == BankComparison::kMissing)
                        m_model.setState(SlotOfWave(wave), BankSlot::kMissing);
                const QString summary = QString::fromStdString(VerifySummary(comparison));
                dialog->setOutcome(summary);
                emit said(summary + lost);
            });
    dialog->show();
}
