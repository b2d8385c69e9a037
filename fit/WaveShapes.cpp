#include "WaveShapes.h"

#include "WaveLevel.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

namespace {

constexpr int kSize = 128;

Wave128 Exact(const Wave16& wave)
{
    Wave128 exact;
    std::copy(wave.begin(), wave.end(), exact.begin());
    return exact;
}

}  // namespace

double RoundWithin16Bits(const Wave128& exact, Wave16& wave)
{
    const Level level = TableLevel(Peak(exact), RoundsOutside(exact), false);
    RoundWave(exact, level.gain, wave.data());
    return level.gain;
}

void Normalize(Wave16& wave)
{
    int peak = 0;
    for (const std::int16_t v : wave)
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    if (peak == 0)
        return;
    RoundWave(Exact(wave), 32767.0 / peak, wave.data());
}

double RemoveDc(Wave16& wave)
{
    const double mean = std::accumulate(wave.begin(), wave.end(), 0.0) / kSize;
    Wave128 exact = Exact(wave);
    for (double& v : exact)
        v -= mean;
    return RoundWithin16Bits(exact, wave);
}

void Smooth(Wave16& wave, int passes)
{
    Wave128 exact = Exact(wave);
    for (int pass = 0; pass < passes; ++pass) {
        const Wave128 before = exact;
        for (int i = 0; i < kSize; ++i)
            exact[i] = 0.25 * before[(i + kSize - 1) % kSize] + 0.5 * before[i] + 0.25 * before[(i + 1) % kSize];
    }
    RoundWithin16Bits(exact, wave);
}

void Invert(Wave16& wave)
{
    for (std::int16_t& v : wave)
        v = static_cast<std::int16_t>(std::min(32767, -static_cast<int>(v)));
}

void Reverse(Wave16& wave)
{
    std::reverse(wave.begin(), wave.end());
}

void Shift(Wave16& wave, int samples)
{
    const int by = ((samples % kSize) + kSize) % kSize;
    std::rotate(wave.begin(), wave.end() - by, wave.end());
}
