#include "HarmonicsView.h"

#include "Engine.h"
#include "WaveHarmonics.h"
#include "WaveView.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

HarmonicsView::HarmonicsView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Harmonics"));
    setToolTip(QStringLiteral("Harmonics 1 to 63, 0 dB at the top to -96 dB; drag a bar to set its level"));
    setMouseTracking(true);
}

namespace {

QString Db(double level)
{
    return level < kFaintLevel ? QStringLiteral("silent")
                               : QStringLiteral("%1 dB").arg(20.0 * std::log10(level), 0, 'f', 1);
}

}  // namespace

QString HarmonicsView::ChangeLine(int k, double level, double gain)
{
    QString line = level * gain < kFaintLevel ? QStringLiteral("Harmonic %1 taken out").arg(k)
                                              : QStringLiteral("Harmonic %1 set to %2").arg(k).arg(Db(level * gain));
    if (gain < 1.0) {
        const double down = -20.0 * std::log10(gain);
        line +=
            QStringLiteral("; the others scaled down by %1 to stay within full scale")
                .arg(down < 0.005 ? QStringLiteral("less than 0.01 dB") : QStringLiteral("%1 dB").arg(down, 0, 'f', 2));
    }
    return line;
}

void HarmonicsView::readOut(double x)
{
    if (s_Engine.m_bLoaded == 0)
        return emit pointed(QString());
    Wave16 wave;
    std::copy(std::begin(s_Engine.m_anWave), std::end(s_Engine.m_anWave), wave.begin());
    const int k = harmonicAt(x);
    emit pointed(
        QStringLiteral("Harmonic %1: %2").arg(k).arg(Db(AnalyseHarmonics(wave).level[static_cast<std::size_t>(k)])));
}

void HarmonicsView::leaveEvent(QEvent* event)
{
    emit pointed(QString());
    QWidget::leaveEvent(event);
}

int HarmonicsView::harmonicAt(double x) const
{
    return std::clamp(static_cast<int>(std::floor(x * kBars / width())), 0, kBars - 1) + 1;
}

// The bottom row is silence; above it, decibels evenly spread.
double HarmonicsView::levelAt(double y) const
{
    const double fraction = 1.0 - y / std::max(1, height() - 1);
    if (fraction <= 0)
        return 0;
    return std::pow(10.0, std::min(fraction, 1.0) * -kFloorDb / 20.0 + kFloorDb / 20.0);
}

void HarmonicsView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), WaveView::kBackground);
    if (s_Engine.m_bLoaded == 0)
        return;
    Wave16 wave;
    std::copy(std::begin(s_Engine.m_anWave), std::end(s_Engine.m_anWave), wave.begin());
    const Harmonics harmonics = AnalyseHarmonics(wave);
    for (int k = 1; k <= kBars; ++k) {
        const double level = harmonics.level[static_cast<std::size_t>(k)];
        if (level < kFaintLevel)
            continue;
        const double fraction = std::clamp(1.0 - 20.0 * std::log10(level) / kFloorDb, 0.0, 1.0);
        const double left = (k - 1) * static_cast<double>(width()) / kBars;
        const double right = k * static_cast<double>(width()) / kBars;
        painter.fillRect(
            QRectF(left, height() * (1.0 - fraction), std::max(1.0, right - left - 1), height() * fraction), Qt::black);
    }
}

void HarmonicsView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || s_Engine.m_bLoaded == 0 || m_before)
        return QWidget::mousePressEvent(event);
    m_before.emplace();
    std::copy(std::begin(s_Engine.m_anWave), std::end(s_Engine.m_anWave), m_before->begin());
    m_harmonic = harmonicAt(event->position().x());
    setLevel(event->position().y());
}

void HarmonicsView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_before) {
        readOut(event->position().x());
        return QWidget::mouseMoveEvent(event);
    }
    setLevel(event->position().y());
}

void HarmonicsView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_before || event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    const Wave16 before = *m_before;
    m_before.reset();
    if (!std::equal(before.begin(), before.end(), s_Engine.m_anWave)) {
        emit dragEnded(before);
        emit said(ChangeLine(m_harmonic, m_level, m_gain));
    }
}

// Always from the wave the drag began on: the level is set once, not
// compounded move after move.
void HarmonicsView::setLevel(double y)
{
    Wave16 wave = *m_before;
    m_level = levelAt(y);
    m_gain = SetHarmonicLevel(wave, m_harmonic, m_level);
    update();
    emit dragged(wave);
    emit pointed(QStringLiteral("Harmonic %1: %2").arg(m_harmonic).arg(Db(m_level * m_gain)));
}
