#include "KeyTables.h"

#include <algorithm>
#include <cmath>

int LevelForFrequency(double frequency, double sampleRate) noexcept
{
    for (std::size_t level = 0; level < kLevelHarmonics.size(); ++level) {
        if (kLevelHarmonics[level] * frequency < sampleRate / 2)
            return static_cast<int>(level);
    }
    return -1;
}

KeyTables MakeKeyTables(const std::vector<std::array<std::int16_t, 128>>& waves, double gain)
{
    // A hair below 1.0, as LimitToFullScale leaves it.
    constexpr double kFullScale = 1.0 - 1e-6;
    KeyTables tables;
    tables.waves = waves.size();
    tables.cycles.reserve(waves.size() * kLevelHarmonics.size() * kCycleFloats);
    for (const auto& wave : waves) {
        std::int16_t samples[128];
        std::copy(wave.begin(), wave.end(), samples);
        const std::size_t first = tables.cycles.size();
        float peak = 0.0f;
        for (const int harmonics : kLevelHarmonics) {
            const std::vector<float> cycle = MakeCycleOfHarmonics(samples, harmonics);
            for (const float sample : cycle)
                peak = std::max(peak, std::abs(sample));
            tables.cycles.insert(tables.cycles.end(), cycle.begin(), cycle.end());
        }
        if (peak * gain > kFullScale) {
            const double scale = kFullScale / (peak * gain);
            for (auto sample = tables.cycles.begin() + static_cast<std::ptrdiff_t>(first);
                 sample != tables.cycles.end(); ++sample)
                *sample = static_cast<float>(*sample * scale);
            tables.limitedDb = std::min(tables.limitedDb, 20.0 * std::log10(scale));
        }
    }
    return tables;
}
