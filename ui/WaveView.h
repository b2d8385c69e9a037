// The view that shows the engine's wave: a blue field and, once a file has
// loaded, one black bar per sample from the zero line, plus a small red mark
// when the wave was fitted from a data chunk of another length, and a white
// one once it has been edited. Every paint reads s_Engine. Pressing the left
// button and moving draws into the engine's wave (Shift: a straight line
// from the press point). Import Audio... shows a frame's samples in one of
// its own instead, which is never drawn on.
#pragma once

#include <QColor>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class QPainter;
class WaveStroke;

class WaveView : public QWidget
{
    Q_OBJECT

public:
    static inline const QColor kBackground{0, 133, 255};

    explicit WaveView(QWidget* parent = nullptr);
    ~WaveView() override;

    // Draws these 128 samples (kept by the caller) instead of the engine's.
    void showSamples(const std::int16_t* samples);
    // Whether the engine's wave is marked as edited.
    void setEdited(bool edited);

signals:
    // The engine's wave changed under the pointer, during a stroke.
    void drawn();
    // A stroke that changed the wave ended; `before` is the wave it began on.
    void stroked(const std::array<std::int16_t, 128>& before);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPointF wavePoint(const QMouseEvent& event) const;

    const std::int16_t* m_samples = nullptr;
    bool m_edited = false;
    std::unique_ptr<WaveStroke> m_stroke;
};

// How the view draws a wave, into `field` of any size: the blue field and,
// given samples, their bars and, when `fitted`, the red mark. The bank's
// slot pictures are drawn by it too.
void PaintWave(QPainter& painter, const QRect& field, const std::int16_t* samples, bool fitted);
