// The view that shows the engine's wave: a blue field and, once a file has
// loaded, one black bar per sample from the zero line, plus a small red mark
// when the wave was fitted from a data chunk of another length. It keeps no
// state: every paint reads s_Engine. Import Audio... shows a frame's samples
// in one of its own instead.
#pragma once

#include <QColor>
#include <QWidget>

#include <cstdint>

class QPainter;

class WaveView : public QWidget
{
    Q_OBJECT

public:
    static inline const QColor kBackground{0, 133, 255};

    explicit WaveView(QWidget* parent = nullptr);

    // Draws these 128 samples (kept by the caller) instead of the engine's.
    void showSamples(const std::int16_t* samples);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const std::int16_t* m_samples = nullptr;
};

// How the view draws a wave, into `field` of any size: the blue field and,
// given samples, their bars and, when `fitted`, the red mark. The bank's
// slot pictures are drawn by it too.
void PaintWave(QPainter& painter, const QRect& field, const std::int16_t* samples, bool fitted);
