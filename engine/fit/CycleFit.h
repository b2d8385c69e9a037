// The arithmetic of fitting one cycle to the engine's 128 samples. Waves are
// in 16-bit units, unrounded until ToSamples.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

using Wave128 = std::array<double, 128>;

struct HarmonicFit
{
    Wave128 wave;                    // harmonics 0 to 63 of the cycle, at 128 points
    double aboveHarmonic63Db = 0.0;  // the energy left out, relative to the cycle's; -inf when none
};

// Harmonics 0 to 63 of `cycle` (at least 2 samples), synthesised at 128
// evenly spaced points from the first sample on. The 64th and above can't be
// told apart from lower ones at 128 points and are dropped. A cycle shorter
// than 128 keeps its own Nyquist harmonic as a cosine, so the fit passes
// through its samples wherever positions coincide.
HarmonicFit FitHarmonics(const std::vector<double>& cycle);

// The loader's nearest-sample picking; a cycle shorter than 128 samples
// wraps around to its start.
Wave128 PickNearest(const std::vector<double>& cycle);

// The energy of (wave - reference) relative to the reference's, in dB, both
// rounded to whole 16-bit steps as a file would hold them: waves that round
// alike differ by -inf dB.
double DifferenceDb(const Wave128& wave, const Wave128& reference);

struct Level
{
    double gain = 1.0;
    bool scaledToFit = false;
};

// Rounds `wave` to 16-bit samples. With `normalize` the peak becomes 32767;
// otherwise a wave that would pass the 16-bit range is scaled down as a whole
// until its peak is 32767, never wrapped or clipped.
Level ToSamples(const Wave128& wave, bool normalize, std::int16_t samples[128]);
