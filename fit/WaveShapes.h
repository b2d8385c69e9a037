// Shaping a 128-sample wave in place, as the window's Shape menu and
// qwdump shape do. The wave is one period, so whatever reaches past an end
// wraps round to the other. Each result is worked out exactly and rounded
// once (halves away from zero); one that would pass the 16-bit range is
// scaled down as a whole until its peak is 32767 (WaveLevel.h), never
// wrapped or clipped.
#pragma once

#include <array>
#include <cstdint>

using Wave16 = std::array<std::int16_t, 128>;

// Full scale is 32767 both ways: the peak magnitude becomes 32767, so a
// wave that reaches -32768 comes out at -32767, symmetric, as fit
// --normalize makes it. A silent wave stays silent.
void Normalize(Wave16& wave);

// Takes the mean away from every sample. Returns the gain that kept the
// result inside 16 bits: 1, unless a lopsided wave would pass the range.
double RemoveDc(Wave16& wave);

// `passes` times the circular low-pass (1/4, 1/2, 1/4), rounded once at
// the end: harmonic k keeps cos^2(pi k / 128) of its level per pass (half
// at harmonic 32, none at 64), and the mean is kept.
void Smooth(Wave16& wave, int passes = 1);

// Every sample negated; -32768, which has no opposite, becomes 32767.
void Invert(Wave16& wave);

// Back to front: the last sample first.
void Reverse(Wave16& wave);

// Moved `samples` later (to the right), those pushed past the end coming
// round to the start; negative moves earlier (to the left).
void Shift(Wave16& wave, int samples);

// `exact` rounded into `wave` by the rule above; returns the gain applied.
double RoundWithin16Bits(const std::array<double, 128>& exact, Wave16& wave);
