// The harmonics of a 128-sample wave, from the exact 128-point DFT the fit
// computes (HarmonicKernels.h), and the wave rebuilt from them: harmonics
// 1 to 63, the mean (0) and the Nyquist harmonic (64) are the wave's 128
// degrees of freedom, so an unchanged set rebuilds the very samples.
//
// Harmonic k is level[k] * 32767 * cos(2 pi k i / 128 + phase[k]) at sample
// i. The level is a linear amplitude relative to full scale, 32767 (as
// Normalize has it): a sine that peaks at 32767 has level 1; 0.5 is -6 dB.
// The mean and the Nyquist harmonic (+1, -1, ... down the wave) are real:
// their phase is 0 or pi, the sign. A harmonic of level 0 has phase 0.
#pragma once

#include "WaveShapes.h"

#include <array>

constexpr int kNyquistHarmonic = 64;
// Fainter than one step, a harmonic is no more than rounding leaves in any
// wave, and its phase is noise.
constexpr double kFaintLevel = 1.0 / 32767;

struct Harmonics
{
    std::array<double, kNyquistHarmonic + 1> level{};
    std::array<double, kNyquistHarmonic + 1> phase{};  // radians, in (-pi, pi]
};

Harmonics AnalyseHarmonics(const Wave16& wave);

// The wave of `harmonics`, rounded once; returns the gain that kept it
// inside 16 bits (1 unless it would pass the range; WaveShapes.h).
double RebuildWave(const Harmonics& harmonics, Wave16& wave);

// Sets harmonic k's (0 to 64) level (0 or more), keeping its phase and every
// other harmonic, so the rest of the wave, harmonic 1's phase among it, stays
// put. A harmonic that was silent or faint comes in as a sine, from 0 at the
// wave's first sample; the Nyquist harmonic, whose sine is silence, as a
// cosine. Returns RebuildWave's gain; any other k leaves the wave as it was.
double SetHarmonicLevel(Wave16& wave, int k, double level);
