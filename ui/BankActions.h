// The Bank and Edit menus and what they do to the window's bank: start a new
// one, open, drop, put and import waves into slots, edit them (SlotEditing.h),
// save and export it, every change one step of its undo stack, and the
// question before unsaved changes are lost. The window's title names the
// bank's own file and marks it changed; each action ends with a line for
// the status line.
#pragma once

#include "BankModel.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

class BankPanel;
class BankSend;
class ReceiveDialog;
class SendToMenu;
class SlotEditing;
class QAction;
class QMenuBar;
class QUndoStack;
class QWidget;

class BankActions : public QObject
{
    Q_OBJECT

public:
    // What the bank needs of the window: the wave the big view shows and
    // where it came from, and the port popup's title.
    struct Window
    {
        QWidget* widget;
        std::function<std::string()> viewOrigin;
        std::function<std::optional<std::string>()> portTitle;
    };

    BankActions(Window window, BankPanel& panel);
    ~BankActions() override;

    // Edit goes after the first menu (File), Bank at the end.
    void addMenus(QMenuBar& bar);

    BankModel& model() { return m_model; }
    QUndoStack& undoStack() { return *m_undo; }
    bool unsaved() const;
    // True when the bank may be replaced or closed: it is saved, or the user
    // said to save it (and it was) or to discard it.
    bool mayDiscard();
    // After a logout or a shutdown: unsaved changes to the bank go to a
    // recovered bank (RecoveredBank.h), the path logged, and the window
    // closes without asking. Once only.
    void keepUnsaved();
    // At start: a recovered bank left by an earlier run is offered in the
    // status line and the Bank menu.
    void offerRecovered();
    // The slot Play plays: the selected one while the panel has focus.
    const BankSlot* playableSlot() const;

signals:
    // A slot opened from the panel, to be shown in the big view.
    void openInView(const BankSlot& slot, int waveNumber);
    // A line for the status line once an action has ended.
    void said(const QString& text);

public slots:
    // All 32 slots empty, with no file of its own, as one undo step.
    void newBank();
    void openBank();
    bool openBankFile(const std::string& path) { return loadBank(path, true); }
    void takeDrop(int slot, const QByteArray& uriList);
    void putViewWave();
    // To the bank's own file, or as saveBankAs when it has none.
    bool saveBank();
    bool saveBankAs();
    void exportWaves();
    void importWavetable();
    void sendBank();
    // Bank > Send Bank To: to `port` (a title), whatever the popup says.
    void sendBankTo(const std::optional<std::string>& port);
    void receive();
    void verify();
    // The recovered bank, loaded as unsaved changes; its file stays until
    // the bank is saved or the recovered bank is discarded.
    void openRecovered();
    void discardRecovered();

public:
    // The pause after each message's wire time, as qwdump send's --gap.
    void setSendGap(std::chrono::milliseconds gap) { m_gap = gap; }

private:
    bool loadBank(const std::string& path, bool saved);
    bool writeBank(const std::string& path);
    void showTitle();
    // Shows the recovered bank's actions while there is one to offer.
    void showRecovered();
    void fill(int first, std::vector<BankSlot> range, const QString& what);
    void listen(bool verifying);
    void busy(bool running);
    QString folder() const;

    Window m_window;
    BankPanel& m_panel;
    BankModel m_model;
    QUndoStack* m_undo;
    std::string m_bankPath;  // the last bank opened or saved
    std::string m_bankFile;  // the bank's own file: opened or saved as, or none
    int m_openedAt = 0;      // the undo index just past the step that opened m_bankFile
    const QString m_title;   // the window's, while the bank has no file
    SlotEditing* m_editing;
    QAction* m_newBank;
    QAction* m_openBank;
    QAction* m_putWave;
    QAction* m_save;
    QAction* m_saveBank;
    QAction* m_exportWaves;
    QAction* m_importTable;
    QAction* m_sendBank;
    SendToMenu* m_sendBankTo;
    QAction* m_receive;
    QAction* m_verify;
    QAction* m_openRecovered;
    QAction* m_discardRecovered;
    std::string m_recovered;       // the recovered bank on offer, or ""
    bool m_recoveredOpen = false;  // it is the bank shown
    bool m_kept = false;           // keepUnsaved has run
    bool m_receiving = false;      // a receive is filling slots, not yet one step
    std::chrono::milliseconds m_gap;
    QPointer<BankSend> m_send;
    QPointer<ReceiveDialog> m_listening;
};
