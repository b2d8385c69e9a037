// A wave's level on its way to 16-bit samples: the one rule by which the fit,
// the shapes and the morphs keep a result inside the 16-bit range, scaling
// it down as a whole rather than wrapping or clipping it.
#pragma once

#include <array>
#include <cstdint>

// A wave in 16-bit units, unrounded.
using Wave128 = std::array<double, 128>;

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
