// The bank in the window, offscreen: opened, filled by drops, undone, saved,
// and asked about before unsaved changes go.

#include "BankActions.h"
#include "BankPanel.h"
#include "HarmonicsView.h"
#include "JackRig.h"
#include "LoadMessages.h"
#include "MemoryBackend.h"
#include "MessageBoxAlert.h"
#include "MidiRig.h"
#include "MonoWav.h"
#include "QuarWindow.h"
#include "ReceiveDialog.h"
#include "SendToMenu.h"
#include "StatusLine.h"
#include "WaveHarmonics.h"
#include "Wavetables.h"
#include "WindowRig.h"

#include <QtTest>
#include <QtWidgets>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#if QWD_WITH_JACK
#include "JackBackend.h"
#endif

namespace {

class BankWindowTest : public WindowRig
{
protected:
    // Once the destinations are set up.
    void Open()
    {
        Window();
        panel = window->findChild<BankPanel*>("panelBank");
    }

    QAction& Action(const char* name) { return *window->findChild<QAction*>(name); }

    // The messages of these waves, one after another, as a .syx bank holds them.
    std::string Bank(const std::vector<std::pair<std::string, int>>& waves)
    {
        std::string bytes;
        for (const auto& [path, wave] : waves) {
            const std::vector<std::uint8_t> message = Message(path, wave);
            bytes.append(message.begin(), message.end());
        }
        return bytes;
    }

    bool DropOnSlot(int slot, const std::vector<std::string>& paths, Qt::DropActions offered = Qt::CopyAction)
    {
        QByteArray list;
        for (const std::string& path : paths)
            list += "file://" + QByteArray::fromStdString(path) + "\r\n";
        QMimeData mime;
        mime.setData("text/uri-list", list);
        const QPoint at = panel->visualRect(panel->model()->index(slot, 0)).center();
        QDragEnterEvent enter(at, offered, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(panel->viewport(), &enter);
        QDropEvent drop(at, offered, &mime, Qt::LeftButton, Qt::NoModifier);
        if (enter.isAccepted())
            QApplication::sendEvent(panel->viewport(), &drop);
        return drop.isAccepted();
    }

    // Every slot that says more than "empty", as "Wave N: TEXT", and the stack's undo text.
    std::string Slots()
    {
        std::string shown;
        for (int row = 0; row < 32; ++row) {
            const QModelIndex index = panel->model()->index(row, 0);
            const QString text = index.data().toString();
            if (!text.endsWith(" empty"))
                shown += index.data(Qt::AccessibleTextRole).toString().toStdString() + ": " + text.toStdString() + " " +
                         index.data(Qt::AccessibleDescriptionRole).toString().toStdString() + "\n";
        }
        return shown;
    }

    // Again, once a dialog has gone: shortcuts and focus want it.
    void Activate()
    {
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    // The current slot first, then the others added to the selection.
    void Select(const std::vector<int>& rows)
    {
        Activate();
        panel->setFocus();
        panel->selectionModel()->setCurrentIndex(panel->model()->index(rows.front(), 0),
                                                 QItemSelectionModel::ClearAndSelect);
        for (const int slot : rows)
            panel->selectionModel()->select(panel->model()->index(slot, 0), QItemSelectionModel::Select);
    }

    std::string Said() { return window->findChild<StatusLine*>("statusLine")->currentMessage().toStdString(); }

    BankPanel* panel = nullptr;
};

TEST_F(BankWindowTest, AllThirtyTwoSlotsAreInSightAtTheDefaultSizeAndGrowWithTheWindow)
{
    Open();
    ASSERT_EQ(window->size(), QSize(560, 640)) << "the default size";
    const auto inSight = [this] {
        std::string hidden;
        for (int row = 0; row < 32; ++row)
            if (!panel->viewport()->rect().contains(panel->visualRect(panel->model()->index(row, 0))))
                hidden += std::to_string(row + 97) + " ";
        return hidden;
    };
    EXPECT_EQ(inSight(), "");
    EXPECT_FALSE(panel->verticalScrollBar()->isVisible());
    const QSize cell = panel->visualRect(panel->model()->index(0, 0)).size();
    EXPECT_GE(cell.height(), 44) << "room for a picture and its line";
    window->resize(900, 760);
    QTest::qWait(20);
    EXPECT_EQ(inSight(), "");
    EXPECT_GT(panel->visualRect(panel->model()->index(0, 0)).width(), cell.width());
    EXPECT_GT(panel->visualRect(panel->model()->index(0, 0)).height(), cell.height());
    // The whole origin, which the slot's line cuts, in its tooltip.
    const std::string saw = WriteWave("a-rather-long-name-for-a-sawtooth.wav", 0x30);
    EXPECT_TRUE(DropOnSlot(3, {saw}));
    EXPECT_EQ(panel->model()->index(3, 0).data(Qt::ToolTipRole).toString().toStdString(), saw + "\nchanged");
}

// Each action ends with one line; each change to the bank is one step that
// undo takes back whole and redo puts in again, each said.
TEST_F(BankWindowTest, EveryActionSaysWhatItCameToAndEachChangeIsOneStepUndoneAndRedone)
{
    Open();
    const std::string saw = WriteWave("saw.wav", 0x30);
    const std::string square = WriteWave("square.wav", 0x50);
    EXPECT_TRUE(DropOnSlot(0, {saw}));
    EXPECT_TRUE(DropOnSlot(1, {square}));
    window->takeDroppedFileList(QByteArray::fromStdString("file://" + saw + "\r\n"));
    const QString out = QString::fromStdString(dir.File("out.syx"));
    const QString waves = QString::fromStdString(dir.File("waves"));
    std::filesystem::create_directories(dir.File("waves"));
    const std::string table = dir.Write("table.wav", WavetableBytes(64, 256, "clm "));
    const struct
    {
        const char* name;
        std::function<void()> act;
        std::string said;
        std::string step;  // the undo step it makes, if any
    } actions[] = {
        {"copy",
         [&] {
             Select({0, 1}), QTest::keyClick(panel, Qt::Key_C, Qt::ControlModifier);
         },
         "Copied waves 97 to 98", ""},
        {"paste", [&] { Select({30}), QTest::keyClick(panel, Qt::Key_V, Qt::ControlModifier); },
         "Pasted into waves 127 to 128", "Paste"},
        {"paste past 128", [&] { Select({31}), Action("actionPaste").trigger(); }, "Redid Paste", ""},
        {"move",
         [&] {
             emit panel->slotsDragged({0, 1}, 10, false);
         },
         "Moved waves 97 to 98 to waves 107 to 108", "Move Slots"},
        {"copy by drag", [&] { emit panel->slotsDragged({10}, 5, true); }, "Copied wave 107 to wave 102", "Copy Slots"},
        {"fill between",
         [&] {
             Select({5, 10}), Action("actionFillSamples").trigger();
         },
         "Filled waves 103 to 106 between waves 102 and 107, sample by sample", "Fill Between"},
        {"shape slots", [&] { Select({5}), Action("actionNormalize").trigger(); }, "Normalize on wave 102",
         "Normalize"},
        {"clear", [&] { Select({11}), QTest::keyClick(panel, Qt::Key_Delete); }, "Cleared wave 108", "Clear"},
        {"cut", [&] { Select({6}), QTest::keyClick(panel, Qt::Key_X, Qt::ControlModifier); }, "Cut wave 103", "Cut"},
        {"shape the view",
         [&] { Activate(), window->findChild<QWidget*>("viewWave")->setFocus(), Action("actionInvert").trigger(); },
         "Invert on the view's wave", "Invert"},
        {"save wave as", [&] { nextFile = waves + ".wav", Action("actionSaveWave").trigger(); },
         "Saved the wave as " + waves.toStdString() + ".wav", ""},
        {"put the view's wave", [&] { Select({20}), Action("actionPutWave").trigger(); },
         "Put the view's wave in wave 117", "Put Wave in Slot"},
        {"save, asking", [&] { nextFile = out, Action("actionSave").trigger(); }, "Saved out.syx: 8 waves", ""},
        {"export", [&] { nextFile = waves, Action("actionExportWaves").trigger(); },
         "Exported 8 waves to " + waves.toStdString(), ""},
        {"new bank", [&] { Action("actionNewBank").trigger(); }, "New bank: all 32 slots empty", "New Bank"},
        {"open bank", [&] { nextFile = out, Action("actionOpenBank").trigger(); }, "Opened out.syx: 8 waves", ""},
        {"import wavetable",
         [&] {
             // The frames asked for left empty: spread as qwdump fit spreads them.
             auto* accept = new QTimer(window.get());
             QObject::connect(accept, &QTimer::timeout, [accept] {
                 QWidget* dialog = QApplication::activeModalWidget();
                 if (dialog != nullptr && dialog->findChild<QLineEdit*>("frames") != nullptr) {
                     dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
                     accept->deleteLater();
                 }
             });
             accept->start(10);
             Select({0}), nextFile = QString::fromStdString(table), Action("actionImportTable").trigger();
         },
         "Imported table.wav: frames 1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31, 34, 36, 38, 40, 42, "
         "44, "
         "46, 48, 50, 52, 54, 56, 58, 60, 62, 64 to waves 97 to 128",
         ""},
    };
    // What each slot says and holds, and the big view's wave.
    const auto held = [this] {
        std::string all = Slots();
        for (const auto& [wave, message] : window->findChild<BankActions*>()->model().messages())
            all.append(message.begin(), message.end());
        for (const std::int16_t sample : s_Engine.m_anWave)
            all += std::to_string(sample);
        return all;
    };
    for (const auto& action : actions) {
        SCOPED_TRACE(action.name);
        const std::string before = held();
        action.act();
        EXPECT_EQ(Said(), action.said);
        if (action.step.empty())
            continue;
        const std::string after = held();
        EXPECT_NE(after, before);
        Action("actionUndo").trigger();
        EXPECT_EQ(held(), before);
        EXPECT_EQ(Said(), "Undid " + action.step);
        Action("actionRedo").trigger();
        EXPECT_EQ(held(), after);
        EXPECT_EQ(Said(), "Redid " + action.step);
    }
    EXPECT_EQ(alerts, (QStringList{"Nothing was pasted: 2 waves from wave 128 would end at wave 129, past 128; nothing "
                                   "done",
                                   "Save Wave", "Save Bank", "Export Waves", "Open Bank", "Import Wavetable"}));
    const std::vector<std::int16_t> normalized(128, 32767);
    EXPECT_EQ(ReadWholeFile(dir.File("waves/wave-102.wav")), MonoWavBytes(normalized.data(), 128));
    // The import's line is longer than the status line: elided, whole in its tooltip.
    auto* line = window->findChild<StatusLine*>("statusLine");
    EXPECT_TRUE(line->shown().endsWith(QChar(0x2026))) << line->shown().toStdString();
    EXPECT_EQ(line->toolTip().toStdString(), actions[std::size(actions) - 1].said);
}

// Save writes to the bank's own file, named in the title with a mark while
// it is changed; a bank with no file keeps the window's title.
TEST_F(BankWindowTest, SaveWritesTheBanksOwnFileNamedInTheTitle)
{
    Open();
    const auto title = [this] { return window->windowHandle()->title().toStdString(); };
    const std::string saw = WriteWave("saw.wav", 0x30);
    const std::string bank = dir.Write("own.syx", Bank({{saw, 97}}));
    EXPECT_TRUE(DropOnSlot(2, {saw}));
    EXPECT_EQ(title(), "Quarven Wave Dump") << "no file, changed or not";
    nextFile = QString::fromStdString(bank);
    answer = QMessageBox::Discard;
    Action("actionOpenBank").trigger();
    EXPECT_EQ(title(), "own.syx");
    EXPECT_TRUE(DropOnSlot(4, {saw}));
    EXPECT_EQ(title(), "own.syx*");
    alerts.clear();
    Activate();
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(alerts, QStringList()) << "no question: it has its file";
    EXPECT_EQ(ReadWholeFile(bank), Bank({{saw, 97}, {saw, 101}}));
    EXPECT_EQ(title(), "own.syx");
    Action("actionUndo").trigger();
    EXPECT_EQ(title(), "own.syx*");
    // Undone past its opening, the bank is the one before: not own.syx's to replace.
    Action("actionUndo").trigger();
    EXPECT_EQ(title(), "Quarven Wave Dump");
    nextFile = QString::fromStdString(dir.File("before.syx"));
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ReadWholeFile(bank), Bank({{saw, 97}, {saw, 101}}));
    EXPECT_EQ(ReadWholeFile(dir.File("before.syx")), Bank({{saw, 99}}));
    Action("actionNewBank").trigger();
    EXPECT_EQ(title(), "Quarven Wave Dump");
    EXPECT_TRUE(window->close()) << "an empty new bank has nothing to save";
}

TEST_F(BankWindowTest, OpensABankFillsSlotsByDropsUndoesAndSavesWhatIsShown)
{
    Open();
    const std::string saw = WriteWave("saw.wav", 0x30);
    const std::string square = WriteWave("square.wav", 0x50);
    const std::string bank = dir.Write("in.syx", Bank({{saw, 97}, {square, 101}, {saw, 128}}));
    nextFile = QString::fromStdString(bank);
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Slots(), "Wave 97: 97 in.syx in.syx\nWave 101: 101 in.syx in.syx\nWave 128: 128 in.syx in.syx\n");

    // Two files dropped on 101 fill it and 102, as the window loads them.
    EXPECT_TRUE(DropOnSlot(4, {square, saw}));
    EXPECT_EQ(Slots(), "Wave 97: 97 in.syx in.syx\nWave 101: 101 square.wav square.wav, changed\n"
                       "Wave 102: 102 saw.wav saw.wav, changed\nWave 128: 128 in.syx in.syx\n");
    // A drop past 128 and a file that fails change nothing, each said.
    const std::string bad = dir.Write("bad.wav", "RIFX, not a wave");
    EXPECT_TRUE(DropOnSlot(31, {saw, square}));
    EXPECT_TRUE(DropOnSlot(0, {saw, bad}));
    EXPECT_EQ(alerts.mid(1), (QStringList{"2 waves from wave 128 would end at wave 129, past 128; nothing done",
                                          QString::fromStdString(bad) + ": " + LoadMessages::kNotWav}));
    EXPECT_FALSE(DropOnSlot(0, {saw}, Qt::MoveAction)) << "copy-only, as the window";
    EXPECT_EQ(Slots().substr(0, 26), "Wave 97: 97 in.syx in.syx\n");

    // Undo takes the drop back; redo puts it in again.
    Action("actionUndo").trigger();
    EXPECT_EQ(Slots(), "Wave 97: 97 in.syx in.syx\nWave 101: 101 in.syx in.syx\nWave 128: 128 in.syx in.syx\n");
    window->activateWindow();  // again, once the alerts have gone
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Slots().substr(26, 44), "Wave 101: 101 square.wav square.wav, changed");

    // Saved in wave order; then closing asks nothing.
    alerts.clear();
    nextFile = dir.path().c_str() + QStringLiteral("/out.syx");
    Action("actionSaveBank").trigger();
    EXPECT_EQ(ReadWholeFile(dir.File("out.syx")), Bank({{saw, 97}, {square, 101}, {saw, 102}, {saw, 128}}));
    // Open With on a bank opens it in the panel.
    window->openCommandLineFiles(QUrl::fromLocalFile(QString::fromStdString(dir.File("out.syx"))).toEncoded());
    EXPECT_EQ(Slots().substr(0, 28), "Wave 97: 97 out.syx out.syx\n");
    EXPECT_TRUE(window->close());
    EXPECT_EQ(alerts, QStringList{"Save Bank"});
}

TEST_F(BankWindowTest, AnUnsavedBankIsNeverLostInSilenceAndABadBankChangesNothing)
{
    Open();
    const std::string saw = WriteWave("saw.wav", 0x30);
    EXPECT_TRUE(DropOnSlot(2, {saw}));
    answer = QMessageBox::Cancel;
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    std::string bad = Bank({{saw, 97}});
    bad[7] = '\x80';
    nextFile = QString::fromStdString(dir.Write("bad.syx", bad));
    answer = QMessageBox::Discard;
    Action("actionOpenBank").trigger();
    // Each answer has its own letter.
    QStringList asked = questionButtons.mid(0, 3);
    asked.sort();
    EXPECT_EQ(asked, (QStringList{"&Cancel", "&Discard", "&Save"})) << questionButtons.join(' ').toStdString();
    EXPECT_EQ(alerts, (QStringList{"The bank has changes that are not saved.",
                                   "The bank has changes that are not saved.", "Open Bank",
                                   QString::fromStdString(dir.File("bad.syx")) +
                                       ": byte 7: 80 inside a wave dump message, where every byte is below 80"}));
    EXPECT_EQ(Slots(), "Wave 99: 99 saw.wav saw.wav, changed\n");
    // A file with no wave dump is refused aloud; one with other messages
    // among the dumps (receive --all) opens without them.
    nextFile = QString::fromStdString(dir.Write("empty.syx", ""));
    Action("actionOpenBank").trigger();
    EXPECT_EQ(alerts.back(), QString::fromStdString(dir.File("empty.syx")) + ": holds no wave dump message");
    EXPECT_EQ(Slots(), "Wave 99: 99 saw.wav saw.wav, changed\n");
    nextFile = QString::fromStdString(dir.Write("all.syx", "\xF0\x41\x10\xF7" + Bank({{saw, 98}})));
    Action("actionOpenBank").trigger();
    EXPECT_EQ(Slots().substr(0, 9), "Wave 98: ");
}

// A bank kept at a logout is offered at the next start, opens as a change
// to save, and its file goes once it is saved.
TEST_F(BankWindowTest, ABankKeptAtALogoutIsOfferedAndOpensUnsavedUntilSaved)
{
    const std::string bank = Bank({{WriteWave("saw.wav", 0x30), 100}});
    std::filesystem::create_directories(dir.File("data/quarven-wave-dump"));
    const std::string kept = dir.Write("data/quarven-wave-dump/unsaved-bank-20260101-000000-1.syx", bank);
    qputenv("XDG_DATA_HOME", dir.File("data").c_str());
    Open();
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(window->findChild<QStatusBar*>("statusLine")->currentMessage(),
              "A bank with changes not saved when the window last closed was kept: Bank > Open Recovered Bank");
    Action("actionOpenRecoveredBank").trigger();
    EXPECT_EQ(Slots().substr(0, 14), "Wave 100: 100 ");
    EXPECT_EQ(Slots().substr(Slots().size() - 10), ", changed\n");
    nextFile = QString::fromStdString(dir.File("out.syx"));
    answer = QMessageBox::Save;
    EXPECT_TRUE(window->close());
    EXPECT_EQ(ReadWholeFile(dir.File("out.syx")), bank);
    EXPECT_FALSE(std::filesystem::exists(kept));
    EXPECT_FALSE(Action("actionOpenRecoveredBank").isVisible());
}

TEST_F(BankWindowTest, AnOpenedSlotIsTheWaveSendUsesAndPlaysWhileTheRememberedFileStays)
{
    midi->AddDestination("Synth", "S-1");
    Open();
    const std::string saw = WriteWave("saw.wav", 0x30);
    const std::string square = WriteWave("square.wav", 0x50);
    EXPECT_TRUE(DropOnSlot(5, {saw}));
    // A drop on the window itself still loads the big view.
    window->takeDroppedFileList(QByteArray::fromStdString("file://" + square + "\r\n"));
    panel->setFocus();
    panel->setCurrentIndex(panel->model()->index(5, 0));
    QTest::keyClick(panel, Qt::Key_Return);
    EXPECT_EQ(window->findChild<QLabel*>("lblWaveInfo")->text().toStdString(), saw);
    EXPECT_EQ(window->findChild<QComboBox*>("popWaveNum")->currentText(), "97") << "the popup stays the user's";
    EXPECT_EQ(std::string(s_szFileName), square);
    window->findChild<QPushButton*>("btnSend")->click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return midi->Taken() == 1; }, 3000));
    EXPECT_EQ(midi->Sends()[0].bytes, Message(saw, 97));
    midi->CompleteAll();
    // The big view's wave into another slot.
    QTest::keyClick(panel, Qt::Key_Right);
    QTest::keyClick(panel, Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(Slots(), "Wave 102: 102 saw.wav saw.wav, changed\nWave 103: 103 saw.wav saw.wav, changed\n");

    // A table of 64 frames from the first slot on: frames 1, 3, ... 31, 34, ... 64, as qwdump fit takes them.
    panel->setCurrentIndex(panel->model()->index(0, 0));
    // The dialog asks which frames: what it refuses, then `typed`.
    QStringList refused;
    QString typed;
    QTimer chooser;
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        auto* field = dialog ? dialog->findChild<QLineEdit*>("frames") : nullptr;
        if (field == nullptr || !dialog->isVisible())
            return;
        QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        for (const char* bad : {"65", "3-1"}) {
            field->setText(bad);
            refused << dialog->findChild<QLabel*>("refusal")->text() + (ok->isEnabled() ? ", ok" : "");
        }
        field->setText(typed);
        ok->click();
    });
    chooser.start(10);
    const std::string table = dir.Write("table.wav", WavetableBytes(64, 256, "clm "));
    nextFile = QString::fromStdString(table);
    QTest::keyClick(panel, Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
    const BankModel& bank = window->findChild<BankActions*>()->model();
    EXPECT_EQ(bank.filledCount(), 32);
    EXPECT_LE(DistanceFromFrame(bank.slotAt(1).wave, 2), 1);
    EXPECT_LE(DistanceFromFrame(bank.slotAt(16).wave, 33), 1);
    EXPECT_EQ(refused, (QStringList{"frame 65 is past the table's last, 64", "'3-1' runs backward"}));
    // Frames 1, 5 and 9 to 12, as --frames 1,5,9-12 takes them.
    typed = "1,5,9-12";
    nextFile = QString::fromStdString(table);
    Action("actionImportTable").trigger();
    EXPECT_LE(DistanceFromFrame(bank.slotAt(1).wave, 4), 1);
    EXPECT_LE(DistanceFromFrame(bank.slotAt(5).wave, 11), 1);
    EXPECT_LE(DistanceFromFrame(bank.slotAt(6).wave, 12), 1) << "the first import's frame 13 stays";
    chooser.stop();
    EXPECT_EQ(alerts, (QStringList{"Import Wavetable", "Import Wavetable"}));
    // Play takes the selected slot while the panel has focus, the big view's wave otherwise.
    auto* actions = window->findChild<BankActions*>();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    panel->setFocus();
    panel->setCurrentIndex(panel->model()->index(16, 0));
    EXPECT_EQ(actions->playableSlot(), &bank.slotAt(16));
    window->findChild<QWidget*>("viewWave")->setFocus();
    EXPECT_EQ(actions->playableSlot(), nullptr);

    // Handed over and never confirmed, a wave may still go out: not "failed".
    actions->setSendGap(std::chrono::milliseconds(0));
    Action("actionSendBank").trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return alerts.size() == 3; }, 8000));
    EXPECT_EQ(alerts.last(), "Wave 97 was not sent: it did not finish going within 5 seconds (0 of 32 waves went "
                             "out before it)");
    EXPECT_TRUE(panel->model()->index(0, 0).data(Qt::AccessibleDescriptionRole).toString().endsWith(", not confirmed"));
}

// However many notes a run leaves, the dialog shows them from the first line
// at any size it allows, nothing over anything else; they grow it up to a
// bound, then scroll.
TEST_F(BankWindowTest, ReceiveAndVerifyShowTheirWholeResultAtEverySizeTheyAllow)
{
    Open();
    EXPECT_TRUE(DropOnSlot(0, {WriteWave("saw.wav", 0x30)}));
    for (const char* action : {"actionReceive", "actionVerify"}) {
        Action(action).trigger();
        auto* dialog = window->findChild<ReceiveDialog*>();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
        auto* notes = dialog->findChild<QPlainTextEdit*>("receiveNotes");
        const int emptyHeight = dialog->height();
        QStringList lines;
        lines << "note 1" << QStringLiteral("a note long enough to wrap at the dialog's width ").repeated(3)
              << "note 3";
        dialog->setOutcome(lines.join('\n'));
        QApplication::processEvents();
        const int threeLines = dialog->height();
        EXPECT_GT(threeLines, emptyHeight) << action;
        for (const QSize size : {dialog->size(), dialog->minimumSize()}) {
            dialog->resize(size);
            QApplication::processEvents();
            EXPECT_EQ(notes->verticalScrollBar()->maximum(), 0) << action << ": all shown, the long one wrapped";
        }
        dialog->resize(QSize(dialog->width(), 0).expandedTo(dialog->minimumSize()));
        for (int line = 4; line <= 60; ++line)
            dialog->setOutcome(QStringLiteral("note %1").arg(line));
        QApplication::processEvents();
        EXPECT_GT(dialog->height(), threeLines) << action;
        EXPECT_LT(notes->height(), 20 * notes->fontMetrics().lineSpacing()) << action << ": bounded";
        for (const QSize size : {dialog->size(), dialog->minimumSize()}) {
            dialog->resize(size);
            QApplication::processEvents();
            std::vector<std::pair<QString, QRect>> placed;
            for (QWidget* child : dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
                if (!child->isVisible())
                    continue;
                const QString name = child->metaObject()->className() + QStringLiteral(" ") + child->objectName();
                EXPECT_TRUE(dialog->rect().contains(child->geometry())) << action << ": " << name.toStdString();
                for (const auto& [other, at] : placed)
                    EXPECT_FALSE(child->geometry().intersects(at))
                        << action << ": " << name.toStdString() << " over " << other.toStdString() << " at "
                        << size.width() << "x" << size.height();
                placed.emplace_back(name, child->geometry());
            }
            notes->verticalScrollBar()->setValue(0);
            EXPECT_EQ(notes->cursorForPosition(QPoint(0, 0)).block().text(), "note 1") << action;
            EXPECT_GE(notes->viewport()->height(), 2 * notes->fontMetrics().lineSpacing()) << action;
        }
        dialog->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->findChild<ReceiveDialog*>() == nullptr; }, 5000));
    }
}

// The big view's wave, and the pixel of sample `i` at `value` in it.
std::vector<std::int16_t> ViewWave()
{
    return std::vector<std::int16_t>(std::begin(s_Engine.m_anWave), std::end(s_Engine.m_anWave));
}
QPoint PixelOf(const QWidget& view, double i, double value)
{
    return QPoint(static_cast<int>((i + 0.5) * view.width() / 128),
                  static_cast<int>((32768 - value) * view.height() / 65535));
}

TEST_F(BankWindowTest, AStrokeDrawsTheSamplesItCrossesAsOneStepThatUndoAndReloadNeverLose)
{
    midi->AddDestination("Synth", "S-1");
    Open();
    const std::string flat = WriteWave("flat.wav", 0x10);
    window->takeDroppedFileList(QByteArray::fromStdString("file://" + flat + "\r\n"));
    auto* view = window->findChild<QWidget*>("viewWave");
    auto* label = window->findChild<QLabel*>("lblWaveInfo");
    const std::vector<std::int16_t> loaded = ViewWave();
    const auto markShown = [&] { return view->grab().toImage().pixelColor(PixelOf(*view, 123, 28000)) == Qt::white; };
    EXPECT_FALSE(markShown());

    // From sample 10 high to sample 40 low in one move: 10 to 40 change,
    // falling all the way, and nothing else.
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, PixelOf(*view, 10, 20000));
    QTest::mouseMove(view, PixelOf(*view, 40, -20000));
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, PixelOf(*view, 40, -20000));
    std::vector<std::int16_t> drawn = ViewWave();
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(drawn[i] != loaded[i], i >= 10 && i <= 40) << i;
    EXPECT_NEAR(drawn[10], 20000, 600);
    EXPECT_NEAR(drawn[25], 0, 1400);
    EXPECT_NEAR(drawn[40], -20000, 600);
    EXPECT_TRUE(std::is_sorted(drawn.begin() + 10, drawn.begin() + 41, std::greater<>()));
    EXPECT_EQ(label->text().toStdString(), flat + " (edited)");
    EXPECT_TRUE(markShown());

    // Shift: a straight line from the press point; the way there is not kept.
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, PixelOf(*view, 60, 30000));
    QTest::mouseMove(view, PixelOf(*view, 90, 30000));
    QMouseEvent shifted(QEvent::MouseMove, PixelOf(*view, 70, 30000), view->mapToGlobal(PixelOf(*view, 70, 30000)),
                        Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(view, &shifted);
    QTest::mouseRelease(view, Qt::LeftButton, Qt::ShiftModifier, PixelOf(*view, 70, 30000));
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(s_Engine.m_anWave[i] != drawn[i], i >= 60 && i <= 70) << i;

    // Send sends what is drawn; undo and redo go between the strokes.
    drawn = ViewWave();
    window->findChild<QPushButton*>("btnSend")->click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return midi->Taken() == 1; }, 3000));
    EXPECT_EQ(midi->Sends()[0].bytes, Message(dir.Write("drawn.wav", MonoWavBytes(drawn.data(), 128)), 97));
    Action("actionUndo").trigger();
    EXPECT_NE(ViewWave(), drawn);
    Action("actionRedo").trigger();
    EXPECT_EQ(ViewWave(), drawn);

    // Reload gives back the file, and undoing it the drawn wave.
    window->findChild<QPushButton*>("btnReload")->click();
    EXPECT_EQ(ViewWave(), loaded);
    EXPECT_EQ(label->text().toStdString(), flat);
    EXPECT_FALSE(markShown());
    Action("actionUndo").trigger();
    EXPECT_EQ(ViewWave(), drawn);
    Action("actionUndo").trigger();
    Action("actionUndo").trigger();
    EXPECT_EQ(ViewWave(), loaded) << "the bytes from before";
    EXPECT_EQ(label->text().toStdString(), flat);
    Action("actionRedo").trigger();
    EXPECT_TRUE(window->close()) << "the view's edits are no change to the bank";
    EXPECT_TRUE(alerts.empty()) << alerts.join("\n").toStdString();
}

TEST_F(BankWindowTest, ShapesActOnTheViewOrTheSelectedSlotsAndFillBetweenMorphsEmptySlots)
{
    Open();
    const std::string high = WriteWave("high.wav", 0x40);  // 16448 throughout
    const std::string low = WriteWave("low.wav", 0x10);    // 4112
    window->takeDroppedFileList(QByteArray::fromStdString("file://" + high + "\r\n"));
    window->findChild<QWidget*>("viewWave")->setFocus();
    Action("actionInvert").trigger();
    EXPECT_EQ(ViewWave(), std::vector<std::int16_t>(128, -16448));
    // Saved only to the name chosen.
    Action("actionSaveWave").trigger();
    nextFile = dir.path().c_str() + QStringLiteral("/saved.wav");
    Action("actionSaveWave").trigger();
    EXPECT_EQ(ReadWholeFile(dir.File("saved.wav")), MonoWavBytes(ViewWave().data(), 128));
    EXPECT_EQ(alerts, (QStringList{"Save Wave", "Save Wave"}));
    alerts.clear();
    Action("actionUndo").trigger();
    EXPECT_EQ(ViewWave(), std::vector<std::int16_t>(128, 16448));

    // Harmonic 3's bar dragged to half height: -48 dB, to the pixel, in one
    // step; the others as they were, none.
    window->activateWindow();  // again, once the dialogs have gone
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_H, Qt::ControlModifier);
    auto* bars = window->findChild<HarmonicsView*>("viewHarmonics");
    ASSERT_TRUE(bars->isVisible());
    const int x = static_cast<int>(2.5 * bars->width() / 63);
    QTest::mousePress(bars, Qt::LeftButton, Qt::NoModifier, QPoint(x, 0));
    QTest::mouseMove(bars, QPoint(x, (bars->height() - 1) / 2));
    QTest::mouseRelease(bars, Qt::LeftButton, Qt::NoModifier, QPoint(x, (bars->height() - 1) / 2));
    Wave16 shaped;
    std::copy(std::begin(s_Engine.m_anWave), std::end(s_Engine.m_anWave), shaped.begin());
    const Harmonics harmonics = AnalyseHarmonics(shaped);
    const double halfway = 20 * std::log10(bars->levelAt((bars->height() - 1) / 2));
    EXPECT_NEAR(halfway, -48, 96.0 / (bars->height() - 1)) << "a pixel's step";
    EXPECT_NEAR(20 * std::log10(harmonics.level[3]), halfway, 0.2);
    EXPECT_LT(*std::max_element(harmonics.level.begin() + 4, harmonics.level.end()), 1e-4);
    auto* statusLine = window->findChild<StatusLine*>("statusLine");
    EXPECT_EQ(statusLine->currentMessage(), QStringLiteral("Harmonic 3 set to %1 dB").arg(halfway, 0, 'f', 1));
    // Read out under the pointer; bars of 5 pixels and more at the default size.
    QMouseEvent hover(QEvent::MouseMove, QPointF(x, 5), bars->mapToGlobal(QPointF(x, 5)), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(bars, &hover);
    EXPECT_EQ(statusLine->pointer(),
              QStringLiteral("Harmonic 3: %1 dB").arg(20 * std::log10(harmonics.level[3]), 0, 'f', 1));
    EXPECT_GE(bars->width() / 63 - 1, 5) << bars->width();
    Action("actionUndo").trigger();
    EXPECT_EQ(ViewWave(), std::vector<std::int16_t>(128, 16448));
    // To full scale: the wave is scaled to stay inside 16 bits, and the line says by how much.
    QTest::mousePress(bars, Qt::LeftButton, Qt::NoModifier, QPoint(x, 0));
    QTest::mouseRelease(bars, Qt::LeftButton, Qt::NoModifier, QPoint(x, 0));
    const QString said = statusLine->currentMessage();
    EXPECT_TRUE(said.startsWith("Harmonic 3 set to -3.5 dB; the others scaled down by 3.5") &&
                said.endsWith(" dB to stay within full scale"))
        << said.toStdString();
    Action("actionUndo").trigger();

    // Slots 97 and 101, both selected with the panel in focus: each
    // normalized, one step, the view left alone.
    EXPECT_TRUE(DropOnSlot(0, {high}));
    EXPECT_TRUE(DropOnSlot(4, {low}));
    panel->setFocus();
    panel->selectionModel()->select(panel->model()->index(0, 0), QItemSelectionModel::Select);
    panel->selectionModel()->select(panel->model()->index(4, 0), QItemSelectionModel::Select);
    const auto sample = [this](int slot) {
        return panel->model()->index(slot, 0).data(BankModel::kSlotRole).value<const BankSlot*>()->wave[5];
    };
    Action("actionNormalize").trigger();
    EXPECT_EQ(std::vector<int>({sample(0), sample(4)}), std::vector<int>({32767, 32767}));
    EXPECT_EQ(s_Engine.m_anWave[5], 16448);
    Action("actionUndo").trigger();
    EXPECT_EQ(std::vector<int>({sample(0), sample(4)}), std::vector<int>({16448, 4112}));

    // Fill Between: 98 to 100 on the straight line, a quarter of the way each.
    Action("actionFillSamples").trigger();
    EXPECT_EQ(std::vector<int>({sample(1), sample(2), sample(3)}), std::vector<int>({13364, 10280, 7196}));
    EXPECT_EQ(panel->model()->index(2, 0).data().toString(), "99 between 97 and 101");
    Action("actionUndo").trigger();
    EXPECT_EQ(Slots(), "Wave 97: 97 high.wav high.wav, changed\nWave 101: 101 low.wav low.wav, changed\n");
    EXPECT_TRUE(alerts.empty()) << alerts.join("\n").toStdString();
}

}  // namespace

#if QWD_WITH_JACK
// With a private JACK server: the bank goes out to a receiver whole, comes
// back from a sending client, and is verified with one slot changed.
TEST_F(BankWindowTest, SendsReceivesAndVerifiesABankOfThirtyTwoOverJack)
{
    SKIP_WITHOUT_PRIVATE_SHM();
    const PrivateJackServer server(dir.File("jackd.log"));
    const MidiDump monitor(server, dir.File("dump.log"));
    std::optional<JackSender> synth;
    UseOnlyBackend<JackBackend>("qwd-test");
    Open();
    std::vector<std::pair<std::string, int>> waves;
    for (int wave = 97; wave <= 128; ++wave)
        waves.emplace_back(WriteWave("w" + std::to_string(wave) + ".wav", static_cast<char>(wave - 90)), wave);
    const std::string bytes = Bank(waves);
    nextFile = QString::fromStdString(dir.Write("bank.syx", bytes));
    Action("actionOpenBank").trigger();

    // All 32 arrive, byte for byte, each slot marked sent.
    window->findChild<BankActions*>()->setSendGap(std::chrono::milliseconds(0));
    QStringList progress;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* dialog = window->findChild<QLabel*>("sendProgress"); dialog && !progress.contains(dialog->text()))
            progress << dialog->text();
    });
    watch.start(1);
    Action("actionSendBank").trigger();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return monitor.Events().size() >= 32 && !window->findChild<QLabel*>("sendProgress"); }, 20000));
    MidiDump::EventList sent;
    for (const auto& [path, wave] : waves)
        sent.push_back(Message(path, wave));
    EXPECT_EQ(monitor.Events(), sent);
    EXPECT_TRUE(progress.contains("Sending wave 101 (5 of 32)")) << progress.join(", ").toStdString();
    EXPECT_EQ(panel->model()->index(31, 0).data(Qt::AccessibleDescriptionRole).toString(), "bank.syx, sent");
    const auto* statusLine = window->findChild<QStatusBar*>("statusLine");
    EXPECT_EQ(statusLine->currentMessage(),
              "Sent 32 waves to " + window->findChild<QComboBox*>("popMIDIPort")->currentText());

    // A receiver plugged in after the window opened: Send Bank To lists it
    // afresh and it gets the bank byte for byte; the popup keeps its list.
    const MidiDump late(server, dir.File("late.log"), "late-synth");
    auto* bankTo = window->findChild<SendToMenu*>("menuSendBankTo");
    ASSERT_TRUE(bankTo->title().contains("&T"));
    emit bankTo->aboutToShow();
    // Chosen as soon as it is listed: a later listing replaces the entries.
    QString lateTitle;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (QAction* entry : bankTo->actions())
                if (entry->text().contains("late-synth")) {
                    lateTitle = entry->text();
                    entry->trigger();
                    return true;
                }
            return false;
        },
        5000));
    emit bankTo->aboutToHide();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return late.Events().size() >= 32 && !window->findChild<QLabel*>("sendProgress"); }, 20000));
    EXPECT_EQ(late.Events(), sent);
    EXPECT_EQ(monitor.Events().size(), 32u) << "nothing more to the popup's port";
    EXPECT_EQ(statusLine->currentMessage(), "Sent 32 waves to " + lateTitle);
    EXPECT_EQ(window->findChild<QComboBox*>("popMIDIPort")->findText(lateTitle), -1);

    // Received from the synth: every slot filled, one undo step.
    // What the dialog says: its count, then its notes, a line each.
    const auto listen = [&](const char* action, const MidiDump::EventList& played, const char* received) {
        Action(action).trigger();
        auto* dialog = window->findChild<ReceiveDialog*>();
        auto* sources = dialog->findChild<QComboBox*>();
        // The synth plugged in while the dialog is open joins the list.
        if (!synth)
            synth.emplace("synth");
        EXPECT_TRUE(QTest::qWaitFor([&] { return sources->findText("out (synth)") >= 0; }, 5000));
        sources->setCurrentText("out (synth)");
        QPushButton* listenButton = nullptr;
        QPushButton* stopButton = nullptr;
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            (button->text() == "&Listen" ? listenButton : button->text() == "&Stop" ? stopButton : button) = button;
        QTest::keyClick(dialog, Qt::Key_Return);  // Listen, not Close
        auto* status = dialog->findChild<QLabel*>("receiveStatus");
        EXPECT_TRUE(QTest::qWaitFor([&] { return status->text().startsWith("Listening"); }, 5000));
        QTest::qWait(500);  // connected to the synth's port
        synth->Play(std::vector<std::vector<std::uint8_t>>(played.begin(), played.end()), true);
        EXPECT_TRUE(QTest::qWaitFor([&] { return synth->Done() && status->text().startsWith(received); }, 10000));
        stopButton->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return listenButton->isEnabled(); }, 5000));
        const auto* notes = dialog->findChild<QPlainTextEdit*>("receiveNotes");
        const std::string said =
            (status->text() + (notes->isVisible() ? "\n" + notes->toPlainText() : QString())).toStdString();
        // However much it says, the dialog stays on its screen with its buttons.
        const QRect screen = dialog->screen()->availableGeometry();
        EXPECT_LE(dialog->frameGeometry().height(), screen.height());
        EXPECT_TRUE(screen.contains(stopButton->mapToGlobal(stopButton->rect().bottomRight())));
        dialog->close();
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->findChild<ReceiveDialog*>() == nullptr; }, 5000));
        return said;
    };
    Action("actionUndo").trigger();  // the opened bank undone: all empty
    EXPECT_EQ(listen("actionReceive", sent, "Received 32 waves"), "Received 32 waves");
    EXPECT_EQ(statusLine->currentMessage(), "Received 32 waves from out (synth)");
    EXPECT_EQ(panel->model()->index(7, 0).data().toString(), "104 from the synth");
    EXPECT_EQ(panel->model()->index(7, 0).data(Qt::AccessibleDescriptionRole).toString(), "from the synth, received");
    Action("actionUndo").trigger();
    EXPECT_EQ(panel->model()->index(7, 0).data().toString(), "104 empty");
    Action("actionRedo").trigger();

    // Verified with wave 104 changed: that slot differs, the rest are the same.
    EXPECT_TRUE(DropOnSlot(7, {waves[0].first}));
    EXPECT_EQ(listen("actionVerify", sent, "Received 32 waves"),
              "Received 32 waves\n31 of 32 waves on the synth match the bank; wave 104 differs");
    EXPECT_EQ(panel->model()->index(7, 0).data(Qt::AccessibleDescriptionRole).toString(),
              "w97.wav, differs on the synth");
    EXPECT_EQ(panel->model()->index(8, 0).data(Qt::AccessibleDescriptionRole).toString(), "from the synth, same");
    EXPECT_EQ(statusLine->currentMessage(), "31 of 32 waves on the synth match the bank; wave 104 differs");
    EXPECT_TRUE(alerts.mid(1).empty()) << alerts.join("\n").toStdString();

    // Lost three ways: a tail whose start was missed, wave 110 a byte short,
    // wave 128 cut by the end. The named slots are marked, each dump counted.
    MidiDump::EventList lossy = {{sent[5].begin() + 200, sent[5].end()}};
    lossy.insert(lossy.end(), sent.begin(), sent.end() - 1);
    lossy[14].erase(lossy[14].begin() + 150);
    lossy.push_back({sent[31].begin(), sent[31].begin() + 200});
    EXPECT_EQ(listen("actionReceive", lossy, "Received 30 waves"),
              "Received 30 waves\n"
              "the last 100 bytes of a System Exclusive message whose start was missed\n"
              "a damaged 299-byte wave dump (byte 294: 14 where the last group's header, for 4 bytes, has bits 4-6 "
              "clear)\n"
              "a System Exclusive message cut short after 200 bytes by the end of the stream\n"
              "Not everything arrived whole:\nsome messages were lost (3 wave dumps cut short)\nlost waves 110, 128");
    EXPECT_EQ(statusLine->currentMessage(), "Received 30 waves from out (synth); 3 losses");
    for (const int slot : {7, 13, 31})
        EXPECT_EQ(panel->model()->index(slot, 0).data(Qt::AccessibleDescriptionRole).toString(),
                  slot == 7 ? "from the synth, received" : "from the synth, damaged on arrival");

    // A flood of damaged dumps: a line each, in a box that scrolls; the wave named once.
    MidiDump::EventList damaged(400, {sent[0].begin(), sent[0].begin() + 50});
    for (auto& dump : damaged)
        dump.push_back(0xF7);
    const std::string said = listen("actionReceive", damaged, "Received 0 waves");
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 404) << said.substr(0, 300) << said.substr(said.size() - 400);
    EXPECT_NE(said.find("\nlost wave 97\n"), std::string::npos) << "the wave named once";

    // A source gone during a run leaves the list once the run has ended; one
    // that comes and goes meanwhile, at once.
    Action("actionReceive").trigger();
    auto* dialog = window->findChild<ReceiveDialog*>();
    auto* sources = dialog->findChild<QComboBox*>();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sources->findText("out (synth)") >= 0; }, 5000));
    sources->setCurrentText("out (synth)");
    QTest::keyClick(dialog, Qt::Key_Return);
    auto* status = dialog->findChild<QLabel*>("receiveStatus");
    EXPECT_TRUE(QTest::qWaitFor([&] { return status->text().startsWith("Listening"); }, 5000));
    synth.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return sources->isEnabled() && sources->findText("out (synth)") < 0; }, 10000))
        << sources->currentText().toStdString();
    synth.emplace("passing");
    EXPECT_TRUE(QTest::qWaitFor([&] { return sources->findText("out (passing)") >= 0; }, 5000));
    synth.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return sources->findText("out (passing)") < 0; }, 5000));
    dialog->close();
}
#endif
