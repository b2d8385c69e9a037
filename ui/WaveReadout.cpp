#include "WaveReadout.h"

#include "Engine.h"
#include "StatusLine.h"
#include "WaveView.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>

#include <algorithm>

namespace {

// Where WaveView draws the fitted mark, in its wave space (x in samples,
// y in sample values), and how far around it the pointer may be: the mark
// is only a few pixels high.
constexpr double kMarkLeft = 3.0, kMarkRight = 5.0, kMarkBottom = 27000.0, kMarkTop = 29000.0;
constexpr double kTop = 32768.0, kHeight = 65535.0;
constexpr int kSlackPixels = 4;

}  // namespace

WaveReadout::WaveReadout(WaveView& view, StatusLine& status) : QObject(&view), m_view(view), m_status(status)
{
    m_view.setMouseTracking(true);
    m_view.installEventFilter(this);
}

int WaveReadout::SampleAt(int x, int width)
{
    if (width <= 0)
        return 0;
    return std::clamp(static_cast<int>(static_cast<long long>(x) * 128 / width), 0, 127);
}

bool WaveReadout::overFittedMark(const QPoint& at) const
{
    if (s_Engine.m_bLoaded == 0 || s_Engine.m_bResampled == 0)
        return false;
    const double w = m_view.width() / 128.0;
    const double h = m_view.height() / kHeight;
    const QRect mark =
        QRectF(QPointF(kMarkLeft * w, (kTop - kMarkTop) * h), QPointF(kMarkRight * w, (kTop - kMarkBottom) * h))
            .toAlignedRect()
            .adjusted(-kSlackPixels, -kSlackPixels, kSlackPixels, kSlackPixels);
    return mark.contains(at);
}

void WaveReadout::readOut(int x)
{
    if (s_Engine.m_bLoaded == 0) {
        m_status.showPointer(QString());
        return;
    }
    const int index = SampleAt(x, m_view.width());
    m_status.showPointer(QStringLiteral("Sample %1: %2").arg(index).arg(s_Engine.m_anWave[index]));
}

bool WaveReadout::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
        readOut(static_cast<QMouseEvent*>(event)->position().toPoint().x());
        break;
    case QEvent::Leave:
        m_status.showPointer(QString());
        break;
    case QEvent::ToolTip: {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (overFittedMark(help->pos())) {
            QToolTip::showText(help->globalPos(), QStringLiteral("Fitted from %1 samples of data").arg(m_fittedFrom),
                               &m_view);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
