#include "WaveHarmonics.h"

#include "HarmonicKernels.h"
#include "WaveLevel.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSize = 128;
constexpr double kFullScale = 32767.0;
// Below this a level is the transform's own rounding (a millionth of a step
// or less), and its phase means nothing.
constexpr double kSilent = 1e-9;

}  // namespace

Harmonics AnalyseHarmonics(const Wave16& wave)
{
    double samples[kSize];
    std::copy(wave.begin(), wave.end(), samples);
    DirectHarmonics direct(kSize);
    direct.Begin();
    direct.Add(samples, kSize);
    double re[kNyquistHarmonic + 1];
    double im[kNyquistHarmonic + 1];
    direct.Finish(re, im);
    // The transform stops at harmonic 63; bin 64 is the alternating sum.
    re[kNyquistHarmonic] = 0.0;
    im[kNyquistHarmonic] = 0.0;
    for (int i = 0; i < kSize; ++i)
        re[kNyquistHarmonic] += (i % 2 == 0 ? samples[i] : -samples[i]);

    Harmonics harmonics;
    for (int k = 0; k <= kNyquistHarmonic; ++k) {
        // Bins 1 to 63 stand for harmonic k twice (k and 128 - k).
        const double scale = (k == 0 || k == kNyquistHarmonic ? 1.0 : 2.0) / kSize / kFullScale;
        const double level = std::hypot(re[k], im[k]) * scale;
        if (level < kSilent)
            continue;
        harmonics.level[k] = level;
        const double phase = std::atan2(im[k], re[k]);
        harmonics.phase[k] = phase == -M_PI ? M_PI : phase;
    }
    return harmonics;
}

double RebuildWave(const Harmonics& harmonics, Wave16& wave)
{
    double a[kNyquistHarmonic + 1];
    double b[kNyquistHarmonic + 1];
    for (int k = 0; k <= kNyquistHarmonic; ++k) {
        const double amplitude = harmonics.level[k] * kFullScale;
        a[k] = amplitude * std::cos(harmonics.phase[k]);
        b[k] = -amplitude * std::sin(harmonics.phase[k]);
    }
    Wave128 exact;
    Synthesise128(a, b, exact.data());
    for (int i = 0; i < kSize; ++i)
        exact[i] += i % 2 == 0 ? a[kNyquistHarmonic] : -a[kNyquistHarmonic];
    return RoundWithin16Bits(exact, wave);
}

double SetHarmonicLevel(Wave16& wave, int k, double level)
{
    if (k < 0 || k > kNyquistHarmonic)
        return 1.0;
    Harmonics harmonics = AnalyseHarmonics(wave);
    const auto at = static_cast<std::size_t>(k);
    if (harmonics.level[at] < kFaintLevel && at != 0 && at != kNyquistHarmonic)
        harmonics.phase[at] = -M_PI / 2;  // cos(x - pi/2) = sin(x)
    harmonics.level[at] = std::max(0.0, level);
    return RebuildWave(harmonics, wave);
}
