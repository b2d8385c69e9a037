#include "WaveLevel.h"

#include <algorithm>
#include <cmath>

bool RoundsOutside(const Wave128& wave)
{
    return std::any_of(wave.begin(), wave.end(),
                       [](double v) { return std::round(v) > 32767.0 || std::round(v) < -32768.0; });
}

double Peak(const Wave128& wave)
{
    double peak = 0.0;
    for (const double v : wave)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

Level TableLevel(double peak, bool outside, bool normalize)
{
    Level level;
    if ((normalize || outside) && peak > 0.0) {
        level.gain = 32767.0 / peak;
        level.scaledToFit = !normalize;
    }
    return level;
}

void RoundWave(const Wave128& wave, double gain, std::int16_t samples[128])
{
    for (std::size_t i = 0; i < wave.size(); ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(wave[i] * gain));
}
