#include "BankSend.h"

#include "Alert.h"
#include "BankModel.h"
#include "DestinationDirectory.h"
#include "DumpSender.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

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
        self->m_progress = self->progressDialog();
        self->m_sender = std::make_unique<BankSender>(self->m_bank, destination, self->m_port, self->m_gap, *self);
        self->m_progress->show();
    });
}

void BankSend::Going(const SendProgress& progress)
{
    if (m_progress == nullptr)
        return;
    m_label->setText(QStringLiteral("Sending wave %1 (%2 of %3)")
                         .arg(progress.waveNumber)
                         .arg(progress.index + 1)
                         .arg(progress.total));
    m_bar->setValue(static_cast<int>(progress.index));
}

void BankSend::Sent(const BankMessage& message)
{
    m_model.setState(SlotOfWave(message.waveNumber), BankSlot::kSent);
    if (m_bar != nullptr)
        m_bar->setValue(m_bar->value() + 1);
}

// Window-modal, so the bank stays as it was sent, yet shown without a loop
// of its own (QProgressDialog's setValue would run one when modal).
QDialog* BankSend::progressDialog()
{
    auto* dialog = new QDialog(m_parent);
    dialog->setWindowTitle(QStringLiteral("Send Bank"));
    dialog->setWindowModality(Qt::WindowModal);
    m_label = new QLabel(dialog);
    m_label->setObjectName(QStringLiteral("sendProgress"));
    m_bar = new QProgressBar(dialog);
    m_bar->setRange(0, static_cast<int>(m_bank.size()));
    m_bar->setValue(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, dialog);
    // Cancel and Escape alike: no message starts after it, the one in flight ends whole.
    connect(dialog, &QDialog::rejected, this, [this] {
        if (m_sender)
            m_sender->Cancel();
    });
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    layout->addWidget(buttons);
    return dialog;
}

void BankSend::Ended(const BankSender::Ending& ending)
{
    const QString port = QString::fromStdString(m_port);
    const auto total = static_cast<qsizetype>(m_bank.size());
    if (ending.kind == BankSender::Ending::kSent)
        m_summary = QStringLiteral("Sent %1 waves to %2").arg(total).arg(port);
    else if (ending.kind == BankSender::Ending::kCancelled)
        m_summary = QStringLiteral("Sent %1 of %2 waves to %3; cancelled").arg(ending.sent).arg(total).arg(port);
    else
        m_summary = QStringLiteral("Sent %1 of %2 waves to %3; wave %4 was not sent")
                        .arg(ending.sent)
                        .arg(total)
                        .arg(port)
                        .arg(m_bank[ending.sent].waveNumber);
    if (ending.kind == BankSender::Ending::kFailed || ending.kind == BankSender::Ending::kTimedOut) {
        const BankMessage& failed = m_bank[ending.sent];
        m_model.setState(SlotOfWave(failed.waveNumber),
                         ending.kind == BankSender::Ending::kTimedOut ? BankSlot::kUnconfirmed : BankSlot::kFailed);
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
