#include "ReceiveDialog.h"

#include "ComboTitles.h"
#include "DestinationDirectory.h"
#include "PortWatch.h"

#include <QByteArray>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr char kStart[] = "Press Listen, then start the dump of the waves on the synth.";
constexpr int kNotesKept = 500;
// The notes grow the dialog by a line each up to this many, then scroll.
constexpr int kNotesShown = 10;

QString Text(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

}  // namespace

ReceiveDialog::ReceiveDialog(const QString& title, QWidget* parent)
    : QDialog(parent), m_source(new QComboBox), m_status(new QLabel(kStart)), m_notes(new QPlainTextEdit)
{
    setWindowTitle(title);
    m_status->setWordWrap(true);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setObjectName(QStringLiteral("receiveStatus"));
    m_notes->setObjectName(QStringLiteral("receiveNotes"));
    m_notes->setReadOnly(true);
    m_notes->setMaximumBlockCount(kNotesKept);
    m_notes->setVisible(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    m_listen = buttons->addButton(QStringLiteral("&Listen"), QDialogButtonBox::ActionRole);
    m_stop = buttons->addButton(QStringLiteral("&Stop"), QDialogButtonBox::ActionRole);
    m_stop->setEnabled(false);
    connect(m_listen, &QPushButton::clicked, this, &ReceiveDialog::listen);
    connect(m_stop, &QPushButton::clicked, this, [this] {
        if (m_receiver)
            m_receiver->Stop();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("MIDI &source:"), m_source);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_status);
    layout->addWidget(m_notes, 1);
    layout->addWidget(buttons);
    // Return listens, Escape closes; in the dialog already, or it would not take.
    m_listen->setDefault(true);
    fillSources(ListMIDIPorts(true));
    sayIfNoSource();
    // The list follows the cable while the dialog is open.
    PortWatch::instance().hold();
    connect(&PortWatch::instance(), &PortWatch::changed, this, &ReceiveDialog::relist);
}

ReceiveDialog::~ReceiveDialog()
{
    PortWatch::instance().release();
}

void ReceiveDialog::relist()
{
    MIDIListThen(true, [self = QPointer<ReceiveDialog>(this)] {
        if (self)
            self->fillSources(ListMIDIPorts(true));
    });
}

// Keeps the chosen source when it is still there; the list is left alone
// while listening, as the run holds its source.
void ReceiveDialog::fillSources(const std::vector<ListedPort>& sources)
{
    if (m_receiver)
        return;
    const std::optional<std::string> chosen = TitleOfSelectedItem(*m_source);
    const bool hadNone = m_source->count() == 0;
    m_source->clear();
    for (const ListedPort& port : sources)
        AddItemWithTitle(*m_source, port.title);
    if (chosen) {
        const int index = m_source->findData(QByteArray::fromStdString(*chosen));
        if (index >= 0)
            m_source->setCurrentIndex(index);
    }
    m_listen->setEnabled(m_source->count() > 0);
    if (hadNone != (m_source->count() == 0))
        sayIfNoSource();
}

void ReceiveDialog::sayIfNoSource()
{
    m_status->setText(m_source->count() == 0
                          ? QStringLiteral("There is no MIDI source to listen to: connect the synth.")
                          : QString::fromUtf8(kStart));
}

void ReceiveDialog::listen()
{
    const std::optional<std::string> title = TitleOfSelectedItem(*m_source);
    if (!title)
        return;
    m_listen->setEnabled(false);
    m_source->setEnabled(false);
    m_notes->clear();
    m_notes->setMinimumHeight(0);
    m_notes->setVisible(false);
    m_tooMany = 0;
    m_dumpsLost = 0;
    m_wavesLost.clear();
    m_listeningTo = *title;
    FindMIDIPortByTitleOrAddressThen(
        *title, true, [self = QPointer<ReceiveDialog>(this), title](MIDIEndpointRef source) {
            if (self == nullptr)
                return;
            if (source == 0) {
                self->m_status->setText(QStringLiteral("The MIDI source you've selected is no longer available. Please "
                                                       "select another."));
                self->m_listen->setEnabled(true);
                self->m_source->setEnabled(true);
                self->relist();
                return;
            }
            self->m_receiver = std::make_unique<BankReceiver>(source, *title, BankReceiver::Options{}, *self);
            self->m_stop->setEnabled(true);
            self->m_status->setText(QStringLiteral("Listening: start the dump on the synth."));
        });
}

void ReceiveDialog::Arrived(const BankReceiver::Arrival& arrival)
{
    switch (arrival.kind) {
    case BankReceiver::Arrival::kWave:
        emit waveArrived(m_receiver->Messages().back());
        break;
    case BankReceiver::Arrival::kCutShort:
    case BankReceiver::Arrival::kInputLost:
        note(Text(arrival.why));
        break;
    case BankReceiver::Arrival::kTooMany:
        ++m_tooMany;
        break;
    case BankReceiver::Arrival::kOther:
    case BankReceiver::Arrival::kSkipped:
        break;
    }
    const int waves = m_receiver->Waves();
    m_status->setText(
        (waves == 1 ? QStringLiteral("Received 1 wave") : QStringLiteral("Received %1 waves").arg(waves)) +
        (m_tooMany == 0
             ? QString()
             : QStringLiteral("; %1 more dropped: a bank may hold %2 MiB").arg(m_tooMany).arg(kMaxSyxFileBytes >> 20)));
}

void ReceiveDialog::note(const QString& line)
{
    m_notes->appendPlainText(line);
    m_notes->setVisible(true);
    keepRoom();
}

// The height of the first kNotesShown lines of the notes as they wrap at
// the width the dialog gives them, frame and margins included.
int ReceiveDialog::notesRoom() const
{
    const QMargins around = layout()->contentsMargins();
    const int margin = static_cast<int>(m_notes->document()->documentMargin());
    // Less the scroll bar's room whether shown or not: a line too many, never too few.
    const int wraps = std::max(1, width() - around.left() - around.right() - 2 * m_notes->frameWidth() - 2 * margin -
                                      style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    int lines = 0;
    qreal height = 0;
    for (QTextBlock block = m_notes->document()->begin(); block.isValid() && lines < kNotesShown;
         block = block.next()) {
        QTextLayout text(block.text(), m_notes->font());
        text.setTextOption(option);
        text.beginLayout();
        for (QTextLine line = text.createLine(); line.isValid() && lines < kNotesShown; line = text.createLine()) {
            line.setLineWidth(wraps);
            height += line.height();
            ++lines;
        }
        text.endLayout();
    }
    // The edit keeps a pixel below its last line.
    return static_cast<int>(std::ceil(height)) + 2 * margin + 2 * m_notes->frameWidth() + 1;
}

void ReceiveDialog::Ended(const BankReceiver::Ending& ending)
{
    QStringList missing;
    if (!ending.listened || ending.gone)
        missing << Text(ending.why);
    for (const std::string& line : m_receiver->Missing())
        missing << Text(line);
    m_dumpsLost = m_receiver->WaveDumpsLost();
    m_wavesLost = m_receiver->WavesLost();
    m_stop->setEnabled(false);
    // Out of the receiver's own call: the listener may end the run.
    // The waves are the receiver's own, not a copy: a flood brings 16 MiB.
    QTimer::singleShot(0, this, [this, missing] {
        emit ended(m_receiver->Messages(), missing);
        m_receiver.reset();
        m_listen->setEnabled(true);
        m_source->setEnabled(true);
        if (m_closing)
            return QDialog::done(QDialog::Rejected);
        relist();  // left alone during the run: a source gone meanwhile goes now
    });
}

void ReceiveDialog::setOutcome(const QString& text)
{
    note(text);
}

// The status and the notes wrap, and a wrapped line's height depends on the width, which
// a window's minimum size does not follow on its own: the minimum height is
// kept to what the layout needs at the width the dialog has, so nothing
// lies over anything else at any size it allows.
void ReceiveDialog::keepRoom()
{
    if (layout() == nullptr)
        return;
    // The notes, a line each up to kNotesShown, so none hides under the
    // source row or the buttons.
    if (m_notes->isVisibleTo(this) && m_notes->minimumHeight() != notesRoom())
        m_notes->setMinimumHeight(notesRoom());
    if (!layout()->hasHeightForWidth())
        return;
    const int needed = layout()->totalMinimumHeightForWidth(width());
    if (needed > 0 && needed != minimumHeight())
        setMinimumHeight(needed);
}

bool ReceiveDialog::event(QEvent* event)
{
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::LayoutRequest)
        keepRoom();
    return handled;
}

void ReceiveDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    keepRoom();
}

// Closed while listening: what arrived is kept, as Stop keeps it.
void ReceiveDialog::done(int result)
{
    if (m_receiver) {
        m_closing = true;
        m_receiver->Stop();
        return;
    }
    QDialog::done(result);
}
