// Bank > Receive from Synth... and Verify Against Synth...: the user picks a
// MIDI source (the list qwdump ports --sources gives), starts the dump on
// the synth, and the dialog listens as qwdump receive does, counting what
// arrives, until a quiet spell or Stop. What did not arrive whole is said.
// The run moves on from the event loop.
#pragma once

#include "BankReceiver.h"
#include "DestinationDirectory.h"

#include <QDialog>

#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class ReceiveDialog : public QDialog, public BankReceiver::Listener
{
    Q_OBJECT

public:
    ReceiveDialog(const QString& title, QWidget* parent);
    ~ReceiveDialog() override;

    // Says how the run ended, after what was counted.
    void setOutcome(const QString& text);
    // The source of the last run.
    const std::string& source() const { return m_listeningTo; }
    // Of the last run: how many wave dumps did not arrive whole, and the
    // numbers of those whose header came.
    int dumpsLost() const { return m_dumpsLost; }
    const std::vector<int>& wavesLost() const { return m_wavesLost; }

signals:
    // A whole wave dump, as it arrives.
    void waveArrived(const SysexMessage& message);
    // The run has ended: everything that arrived, in order, and what did not
    // arrive whole, a line each.
    void ended(const std::vector<SysexMessage>& waves, const QStringList& missing);

private:
    void listen();
    // Asks the systems for their sources afresh, then fills the list.
    void relist();
    void fillSources(const std::vector<ListedPort>& sources);
    void sayIfNoSource();
    void note(const QString& line);
    void Arrived(const BankReceiver::Arrival& arrival) override;
    void Ended(const BankReceiver::Ending& ending) override;
    void done(int result) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keepRoom();
    int notesRoom() const;

    QComboBox* m_source;
    QLabel* m_status;
    QPushButton* m_listen;
    QPushButton* m_stop;
    // Losses and outcomes, a line each as they happen, in a box that
    // scrolls and keeps the last kNotesKept: a flood can't swell the dialog.
    QPlainTextEdit* m_notes;
    int m_tooMany = 0;  // dropped past what a bank may hold: counted, not a line each
    std::unique_ptr<BankReceiver> m_receiver;
    std::string m_listeningTo;
    bool m_closing = false;  // once the run has ended
    int m_dumpsLost = 0;
    std::vector<int> m_wavesLost;
};
