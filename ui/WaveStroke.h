// One stroke of the mouse over a 128-sample wave, in the wave's own space:
// x in samples (0 to 128), y as a sample value. Every sample whose column
// the pointer crosses takes the pointer's height there, read off the
// straight line between two pointer events, so a fast stroke leaves no gap.
#pragma once

#include <array>
#include <cstdint>

class WaveStroke
{
public:
    using Samples = std::array<std::int16_t, 128>;

    // Begins over `wave`, which it changes as the pointer moves.
    WaveStroke(std::int16_t* wave, double x, double y);

    // Drawn on from the last point; `straight`: the wave as it was before
    // the stroke, with one line from the press point to here.
    void moveTo(double x, double y, bool straight);

    const Samples& before() const { return m_before; }
    bool changed() const;

private:
    void line(double x0, double y0, double x1, double y1);

    std::int16_t* m_wave;
    Samples m_before;
    double m_pressX, m_pressY;
    double m_lastX, m_lastY;
};

// The sample whose column holds `x`, within 0 to 127.
int SampleAt(double x);
