#include "StatusLine.h"

#include "DumpSender.h"

#include <QLabel>
#include <QMetaObject>

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

void StatusLine::showPointer(const QString& text)
{
    m_pointer->setText(text);
}

QString StatusLine::pointer() const
{
    return m_pointer->text();
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
