// Under the big view, on demand (Wave > Harmonics, Ctrl+H): the levels of
// harmonics 1 to 63 of the engine's wave as bars, on a decibel scale from
// full scale (0 dB) at the top to -96 dB, a step, at the bottom. Dragging
// a bar sets that harmonic's level to the pointer's height, keeping its
// phase and every other harmonic; the whole drag is one change. The
// harmonic under the pointer and its level are read out.
#pragma once

#include "WaveShapes.h"

#include <QWidget>

#include <optional>

class HarmonicsView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kBars = 63;
    static constexpr double kFloorDb = -96.0;

    explicit HarmonicsView(QWidget* parent = nullptr);

    // Bars of 6 pixels and a gap: as wide as the view above gives it.
    QSize sizeHint() const override { return {7 * kBars, 112}; }
    QSize minimumSizeHint() const override { return {kBars, 64}; }

    // The harmonic whose bar holds `x`, and the level at height `y`.
    int harmonicAt(double x) const;
    double levelAt(double y) const;

    // What a change says: harmonic `k` set to `level` (linear), the wave
    // then scaled by `gain` to stay inside 16 bits.
    static QString ChangeLine(int k, double level, double gain);

signals:
    // During a drag: the wave as it now is, for the window to show and play.
    void dragged(const Wave16& wave);
    // A drag that changed the wave ended; `before` is the wave it began on.
    void dragEnded(const Wave16& before);
    // The harmonic under the pointer and its level; empty once it leaves.
    void pointed(const QString& readout);
    // After a drag that changed the wave: what it did, in a line.
    void said(const QString& line);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setLevel(double y);
    void readOut(double x);

    int m_harmonic = 0;              // the one being dragged
    double m_level = 0;              // its level, as set
    double m_gain = 1;               // and the wave's scaling that kept it inside 16 bits
    std::optional<Wave16> m_before;  // the wave the drag began on
};
