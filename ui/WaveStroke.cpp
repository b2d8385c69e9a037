#include "WaveStroke.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

std::int16_t Level(double y)
{
    return static_cast<std::int16_t>(std::clamp<long>(std::lround(y), -32768, 32767));
}

}  // namespace

int SampleAt(double x)
{
    return std::clamp(static_cast<int>(std::floor(x)), 0, 127);
}

WaveStroke::WaveStroke(std::int16_t* wave, double x, double y)
    : m_wave(wave), m_pressX(x), m_pressY(y), m_lastX(x), m_lastY(y)
{
    std::copy(wave, wave + 128, m_before.begin());
    m_wave[SampleAt(x)] = Level(y);
}

void WaveStroke::moveTo(double x, double y, bool straight)
{
    if (straight) {
        std::copy(m_before.begin(), m_before.end(), m_wave);
        line(m_pressX, m_pressY, x, y);
    } else {
        line(m_lastX, m_lastY, x, y);
    }
    m_lastX = x;
    m_lastY = y;
}

// Each sample between the two columns takes the line's height at its
// column's middle; the two end samples take the end points' own heights.
void WaveStroke::line(double x0, double y0, double x1, double y1)
{
    if (x1 < x0) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    const int first = SampleAt(x0);
    const int last = SampleAt(x1);
    for (int i = first; i <= last; ++i) {
        const double x = std::clamp(i + 0.5, x0, x1);
        const double y = x1 > x0 ? y0 + (y1 - y0) * (x - x0) / (x1 - x0) : y1;
        m_wave[i] = Level(y);
    }
}

bool WaveStroke::changed() const
{
    return !std::equal(m_before.begin(), m_before.end(), m_wave);
}
