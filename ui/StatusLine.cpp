#include "StatusLine.h"

#include "DumpSender.h"
#include "Engine.h"

#include <QFileInfo>
#include <QLabel>
#include <QMetaObject>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>
#include <cstring>
#include <mutex>

// What a completion on another thread reaches the status line through: it
// may come after the window has gone.
struct StatusLine::Bridge
{
    std::mutex mutex;
    StatusLine* target;
};

StatusLine::StatusLine(QWidget* parent)
    : QStatusBar(parent), m_pointer(new QLabel(this)), m_bridge(std::make_shared<Bridge>())
{
    m_bridge->target = this;
    setSizeGripEnabled(false);
    m_pointer->setTextFormat(Qt::PlainText);
    addPermanentWidget(m_pointer);
}

StatusLine::~StatusLine()
{
    std::lock_guard<std::mutex> lock(m_bridge->mutex);
    m_bridge->target = nullptr;
}

void StatusLine::say(const QString& text)
{
    showMessage(text);
    updateToolTip();
}

// Where QStatusBar draws its message: left of the readout.
QRect StatusLine::messageRect() const
{
    int right = width() - 12;
    if (m_pointer->isVisible())
        right = std::min(right, m_pointer->x() - 2);
    return QRect(6, 0, right - 6, height());
}

QString StatusLine::shown() const
{
    return fontMetrics().elidedText(currentMessage(), Qt::ElideRight, messageRect().width());
}

void StatusLine::updateToolTip()
{
    const QString message = currentMessage();
    setToolTip(shown() == message ? QString() : message);
}

// As QStatusBar paints a message, but elided rather than cut mid-letter.
void StatusLine::paintEvent(QPaintEvent* event)
{
    if (currentMessage().isEmpty())
        return QStatusBar::paintEvent(event);
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
    if (m_pointer->isVisible()) {
        option.rect = m_pointer->geometry().adjusted(-1, -1, 1, 1);
        style()->drawPrimitive(QStyle::PE_FrameStatusBarItem, &option, &painter, m_pointer);
    }
    painter.setPen(palette().windowText().color());
    painter.drawText(messageRect(), Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine, shown());
}

void StatusLine::resizeEvent(QResizeEvent* event)
{
    QStatusBar::resizeEvent(event);
    updateToolTip();
}

void StatusLine::showPointer(const QString& text)
{
    m_pointer->setText(text);
    updateToolTip();
}

QString StatusLine::pointer() const
{
    return m_pointer->text();
}

void StatusLine::sayLoaded(const QString& path, const CEngine& engine, const LoadFacts& facts)
{
    showPointer(QString());
    const QString name = QFileInfo(path).fileName();
    if (engine.m_bLoaded != 0) {
        say(engine.m_bResampled != 0
                ? QStringLiteral("Loaded %1: %2 samples fitted to 128").arg(name).arg(facts.dataBytes / 2)
                : QStringLiteral("Loaded %1: 128 samples").arg(name));
        return;
    }
    QString why = QString::fromUtf8(engine.m_pszError);
    if (facts.openErrno != 0)
        why += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(facts.openErrno)));
    say(QStringLiteral("%1 did not load: %2").arg(name, why));
}

void StatusLine::sayNotFound(const QString& wave, const QString& port)
{
    say(port.isEmpty() ? QStringLiteral("Wave %1 was not sent: no MIDI port is chosen").arg(wave)
                       : QStringLiteral("Wave %1 was not sent: %2 is no longer available").arg(wave, port));
}

std::shared_ptr<SysexOutcome> StatusLine::sendOutcome(const QString& wave, const QString& port)
{
    say(QStringLiteral("Sending wave %1 to %2…").arg(wave, port));
    auto outcome = std::make_shared<SysexOutcome>();
    // Read while the send's block still holds it; the status line is then
    // told on its own thread.
    outcome->OnFinished([bridge = m_bridge, raw = outcome.get(), wave, port] {
        const QString text = raw->Delivered() ? QStringLiteral("Sent wave %1 to %2").arg(wave, port)
                                              : QStringLiteral("Wave %1 was not sent to %2: %3")
                                                    .arg(wave, port, QString::fromStdString(raw->FailureReason()));
        std::lock_guard<std::mutex> lock(bridge->mutex);
        if (bridge->target != nullptr)
            QMetaObject::invokeMethod(
                bridge->target, [target = bridge->target, text] { target->say(text); }, Qt::QueuedConnection);
    });
    return outcome;
}
