// The arithmetic of fitting cycles to the engine's 128 samples. Waves are in
// 16-bit units, unrounded until RoundWave.
#pragma once

#include "HarmonicKernels.h"
#include "SiblingModule.h"

#include <array>
#include <cstdint>
#include <optional>

using Wave128 = std::array<double, 128>;

struct HarmonicFit
{
    Wave128 wave;                    // harmonics 0 to 63 of the cycle, at 128 points
    double aboveHarmonic63Db = 0.0;  // the energy left out, relative to the cycle's; -inf when none
};

// Fits cycles of one length: harmonics 0 to 63 of each (at least 2 samples),
// synthesised at 128 evenly spaced points from the first sample on. The 64th
// and above can't be told apart from lower ones at 128 points and are
// dropped. A cycle shorter than 128 keeps its own Nyquist harmonic as a
// cosine, so the fit passes through its samples wherever positions coincide.
class HarmonicFitter
{
public:
    enum class Transform {
        kCheaper,  // whichever costs less for this length and number of cycles
        kDirect,
        kFft,      // FFTW, when its module loads
    };

    HarmonicFitter(std::size_t n, std::int64_t cycles, Transform transform = Transform::kCheaper);

    HarmonicFit Fit(const double* cycle);
    bool UsesFft() const { return m_fft != nullptr; }

private:
    std::size_t m_n;
    FftwHarmonicsFn m_fft = nullptr;
    std::optional<DirectHarmonics> m_direct;
};

// The loader's nearest-sample picking; a cycle shorter than 128 samples
// wraps around to its start.
Wave128 PickNearest(const double* cycle, std::size_t n);

// The energy of (wave - reference) relative to the reference's, in dB, both
// rounded to whole 16-bit steps as a file would hold them: waves that round
// alike differ by -inf dB.
double DifferenceDb(const Wave128& wave, const Wave128& reference);

struct Level
{
    double gain = 1.0;
    bool scaledToFit = false;
};

// The one gain of a table whose waves peak at `peak` (in magnitude), with
// `outside` when one of them rounds past the 16-bit range. With `normalize`
// the peak becomes 32767; otherwise a table that would pass the range is
// scaled down as a whole until its peak is 32767, never wrapped or clipped.
Level TableLevel(double peak, bool outside, bool normalize);

// Whether `wave` rounds past the 16-bit range; its peak magnitude.
bool RoundsOutside(const Wave128& wave);
double Peak(const Wave128& wave);

// `wave` times `gain`, rounded to 16-bit samples.
void RoundWave(const Wave128& wave, double gain, std::int16_t samples[128]);
