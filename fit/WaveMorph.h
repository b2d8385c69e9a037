// The waves between two 128-sample waves, as qwdump morph and the window's
// Bank > Fill Between make them, in either of two ways:
//
// - kSamples: each sample on the straight line from A's to B's;
// - kHarmonics: each harmonic's level (WaveHarmonics.h) on the straight line
//   from A's to B's, linear in amplitude, not in dB: a harmonic that one wave
//   lacks (-inf dB) then fades in evenly instead of jumping at the end. Its
//   phase turns from A's to B's the shorter way round (exactly half a turn
//   apart: forwards); where one of the two is silent or faint (kFaintLevel),
//   it keeps the other's phase throughout. The mean and the Nyquist harmonic, real, go on the
//   straight line through 0. This keeps the brightness changing smoothly,
//   where adding two waves of different phases would comb-filter them.
//
// Wave i of n between (from 1) lies i / (n + 1) of the way from A to B. Each
// is rounded once, and scaled down on its own should it pass the 16-bit
// range (WaveShapes.h); the straight line between samples never does.
#pragma once

#include "WaveShapes.h"

#include <bitset>
#include <vector>

enum class MorphMethod { kSamples, kHarmonics };

// The `count` waves strictly between `a` and `b`. With `gains`, each one's
// gain (1 unless it was scaled down).
std::vector<Wave16> WavesBetween(const Wave16& a, const Wave16& b, int count, MorphMethod method,
                                 std::vector<double>* gains = nullptr);

// A bank of 32 waves, as the synth's waves 97 to 128 hold them.
constexpr std::size_t kBankSize = 32;
using Bank32 = std::array<Wave16, kBankSize>;

// Fills each run of empty slots that has a filled slot on either side with
// the waves between those two, leaving every filled slot as it was. Returns
// the slots it filled.
std::bitset<kBankSize> FillBetween(Bank32& bank, std::bitset<kBankSize> filled, MorphMethod method);
