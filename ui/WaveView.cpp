#include "WaveView.h"

#include "Engine.h"

#include <QPainter>
#include <QTransform>

#include <cstdlib>

namespace {

// The wave's own space: x from 0 to 128, one unit per sample; y from -32767
// at the bottom to 32768 at the top, sample values unscaled.
constexpr double kWidth = 128.0;
constexpr double kBottom = -32767.0;
constexpr double kHeight = 65535.0;

QTransform WaveSpace(const QSize& size)
{
    const double sx = size.width() / kWidth;
    const double sy = size.height() / kHeight;
    // y grows upward in the wave's space and downward on screen.
    return QTransform(sx, 0, 0, -sy, 0, (kBottom + kHeight) * sy);
}

}  // namespace

WaveView::WaveView(QWidget* parent) : QWidget(parent)
{
    // Every paint covers the whole view.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void WaveView::showSamples(const std::int16_t* samples)
{
    m_samples = samples;
    update();
}

void WaveView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(rect(), kBackground);
    if (s_Engine.m_bLoaded == 0 && m_samples == nullptr)
        return;
    const std::int16_t* samples = m_samples != nullptr ? m_samples : s_Engine.m_anWave;

    painter.setTransform(WaveSpace(size()));
    for (int i = 0; i < 128; ++i) {
        // Two units wide: each bar also covers the next sample's column,
        // whose own bar is drawn over it; the last one runs past the edge.
        const double v = samples[i];
        painter.fillRect(QRectF(i, v >= 0 ? 0.0 : v, 2.0, std::abs(v)), Qt::black);
    }
    if (m_samples == nullptr && s_Engine.m_bResampled != 0)
        painter.fillRect(QRectF(3.0, 27000.0, 2.0, 2000.0), Qt::red);
}
