// One cycle of a 128-sample wave, band-limited for one pitch and sample rate,
// as the oscillator reads it.
//
// The pitch is fixed for a whole preview, so one table per wave is enough:
// the wave's harmonics (its 128-point DFT, FFTW) at or above half the
// sample rate are dropped and the rest are synthesised at kTableSize points.
// Reading that with linear interpolation leaves images near -110 dB for the
// highest notes, below 16-bit resolution, where a table of the 128 raw
// samples would fold every harmonic past Nyquist back into the audible band.
#pragma once

#include <cstdint>
#include <vector>

inline constexpr int kTableSize = 4096;

struct BandLimitedTable
{
    std::vector<float> samples;  // kTableSize + 1: the first repeated at the end; full scale 1.0
    int harmonicsKept = 0;       // 1 to 64 of them; 0 when even the fundamental is too high
};

BandLimitedTable MakeBandLimitedTable(const std::int16_t (&wave)[128], double frequency, double sampleRate);

// The same cycle from the wave's first `harmonics` harmonics (1 to 64),
// whatever the pitch: for a table that serves a range of keys.
std::vector<float> MakeCycleOfHarmonics(const std::int16_t (&wave)[128], int harmonics);

// Band-limiting overshoots between the wave's samples (a full-scale square's
// table peaks near 1.28), so the gain alone does not keep the sound within
// full scale. A table whose peak times `gain` would pass it is scaled down
// until that peak reaches full scale, and no further; any other is left as
// it is. Returns the factor it was scaled by (1: not at all).
double LimitToFullScale(BandLimitedTable& table, double gain);
