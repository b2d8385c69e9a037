// Bank > Send Bank: every filled slot, in wave order, to the port chosen in
// the port popup, paced as qwdump send paces a bank, with a progress dialog
// whose Cancel ends the run once the message in flight has gone. The run
// moves on from the event loop; the slots are marked sent, or failed.
#pragma once

#include "BankSender.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

class BankModel;
class QDialog;
class QLabel;
class QProgressBar;
class QWidget;

class BankSend : public QObject, public BankSender::Listener
{
    Q_OBJECT

public:
    // qwdump send's default gap after each message's wire time.
    static constexpr std::chrono::milliseconds kDefaultGap{150};

    BankSend(BankModel& model, QWidget* parent, std::chrono::milliseconds gap);
    ~BankSend() override;

    // Looks for the destination titled `port` and starts; an alert says
    // when there is nothing to send or the port is gone.
    void start(const std::optional<std::string>& port);

    // How the run ended, for the status line; empty when it never started.
    const QString& summary() const { return m_summary; }

signals:
    void finished();

private:
    void Going(const SendProgress& progress) override;
    void Sent(const BankMessage& message) override;
    void Ended(const BankSender::Ending& ending) override;
    void finish();
    BankModel& m_model;
    QWidget* const m_parent;
    const std::chrono::milliseconds m_gap;
    std::vector<BankMessage> m_bank;
    std::string m_port;
    std::string m_failure;  // the alert once the run has ended
    QString m_summary;
    std::unique_ptr<BankSender> m_sender;
    QDialog* progressDialog();

    QPointer<QDialog> m_progress;
    QLabel* m_label = nullptr;
    QProgressBar* m_bar = nullptr;
};
