#include "BankSend.h"

#include "Alert.h"
#include "BankModel.h"
#include "DestinationDirectory.h"
#include "DumpSender.h"

#include <QProgressDialog>
#include <QTimer>

BankSend::BankSend(BankModel& model, QWidget* parent, std::chrono::milliseconds gap)
    : QObject(parent), m_model(model), m_parent(parent), m_gap(gap)
{
}

BankSend::~BankSend()
{
    delete m_progress;
}

void BankSend::start(const std::optional<std::string>& port)
{
    for (auto& [wave, bytes] : m_model.messages())
        m_bank.push_back({std::move(bytes), m_model.slotAt(SlotOfWave(wave)).OriginText(), wave});
    if (m_bank.empty()) {
        m_failure = "The bank is empty: there is nothing to send.";
        QTimer::singleShot(0, this, &BankSend::finish);
        return;
    }
    m_port = port.value_or(std::string());
    FindMIDIPortByTitleThen(port, [self = QPointer<BankSend>(this)](MIDIEndpointRef destination) {
        if (self == nullptr)
            return;
        if (destination == 0) {
            self->m_failure = kPortGoneAlert;
            QTimer::singleShot(0, self, &BankSend::finish);
            return;
        }
        self->m_progress = new QProgressDialog(QString(), QStringLiteral("Cancel"), 0,
                                               static_cast<int>(self->m_bank.size()), self->m_parent);
        self->m_progress->setWindowTitle(QStringLiteral("Send Bank"));
        self->m_progress->setWindowModality(Qt::WindowModal);
        self->m_progress->setAutoClose(false);
        self->m_progress->setAutoReset(false);
        self->m_progress->setMinimumDuration(0);
        connect(self->m_progress, &QProgressDialog::canceled, self, [self] {
            if (self->m_sender)
                self->m_sender->Cancel();
        });
        self->m_sender = std::make_unique<BankSender>(self->m_bank, destination, self->m_port, self->m_gap, *self);
        self->m_progress->show();
    });
}

void BankSend::Going(const SendProgress& progress)
{
    if (m_progress == nullptr)
        return;
    m_progress->setLabelText(QStringLiteral("Sending wave %1 (%2 of %3)")
                                 .arg(progress.waveNumber)
                                 .arg(progress.index + 1)
                                 .arg(progress.total));
    m_progress->setValue(static_cast<int>(progress.index));
}

void BankSend::Sent(const BankMessage& message)
{
    m_model.setState(SlotOfWave(message.waveNumber), BankSlot::kSent);
}

void BankSend::Ended(const BankSender::Ending& ending)
{
    if (ending.kind == BankSender::Ending::kFailed || ending.kind == BankSender::Ending::kTimedOut) {
        const BankMessage& failed = m_bank[ending.sent];
        m_model.setState(SlotOfWave(failed.waveNumber), BankSlot::kFailed);
        const std::string why =
            ending.kind == BankSender::Ending::kTimedOut
                ? "it did not finish going within " + std::to_string(BankSender::kSendTimeout.count()) + " seconds"
            : ending.portGone ? std::string(kPortGoneAlert)
                              : ending.reason;
        m_failure = "Wave " + std::to_string(failed.waveNumber) + " was not sent: " + why + " (" +
                    std::to_string(ending.sent) + " of " + std::to_string(m_bank.size()) + " waves went out before it)";
    }
    // Out of the sender's own call: the alert waits for the user.
    QTimer::singleShot(0, this, &BankSend::finish);
}

void BankSend::finish()
{
    m_sender.reset();
    delete m_progress;
    if (!m_failure.empty())
        RunAlertPanel(m_failure.c_str());
    emit finished();
}
