#include "WaveView.h"

#include "Engine.h"
#include "WaveStroke.h"

#include <QMouseEvent>

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
    // Drawing on it takes the focus from the bank: Shape then acts on it.
    setFocusPolicy(Qt::ClickFocus);
}

WaveView::~WaveView() = default;

void WaveView::setEdited(bool edited)
{
    m_edited = edited;
    update();
}

void WaveView::showSamples(const std::int16_t* samples)
{
    m_samples = samples;
    update();
}

void PaintWave(QPainter& painter, const QRect& field, const std::int16_t* samples, bool fitted)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(field, WaveView::kBackground);
    if (samples != nullptr) {
        painter.setClipRect(field);
        painter.setTransform(WaveSpace(field.size()) * QTransform::fromTranslate(field.x(), field.y()), true);
        for (int i = 0; i < 128; ++i) {
            // Two units wide: each bar also covers the next sample's column,
            // whose own bar is drawn over it; the last one runs past the edge.
            const double v = samples[i];
            painter.fillRect(QRectF(i, v >= 0 ? 0.0 : v, 2.0, std::abs(v)), Qt::black);
        }
        if (fitted)
            painter.fillRect(QRectF(3.0, 27000.0, 2.0, 2000.0), Qt::red);
    }
    painter.restore();
}

void WaveView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool engine = m_samples == nullptr;
    const std::int16_t* samples = engine ? (s_Engine.m_bLoaded != 0 ? s_Engine.m_anWave : nullptr) : m_samples;
    PaintWave(painter, rect(), samples, engine && s_Engine.m_bResampled != 0);
    if (engine && samples != nullptr && m_edited) {
        painter.setTransform(WaveSpace(size()));
        painter.fillRect(QRectF(122.0, 27000.0, 3.0, 2000.0), Qt::white);
    }
}

QPointF WaveView::wavePoint(const QMouseEvent& event) const
{
    return WaveSpace(size()).inverted().map(event.position());
}

void WaveView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_samples != nullptr || s_Engine.m_bLoaded == 0 || m_stroke)
        return QWidget::mousePressEvent(event);
    const QPointF at = wavePoint(*event);
    m_stroke = std::make_unique<WaveStroke>(s_Engine.m_anWave, at.x(), at.y());
    update();
    emit drawn();
}

void WaveView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_stroke)
        return QWidget::mouseMoveEvent(event);
    const QPointF at = wavePoint(*event);
    m_stroke->moveTo(at.x(), at.y(), (event->modifiers() & Qt::ShiftModifier) != 0);
    update();
    emit drawn();
}

void WaveView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_stroke || event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    const std::unique_ptr<WaveStroke> stroke = std::move(m_stroke);
    if (stroke->changed())
        emit stroked(stroke->before());
}
