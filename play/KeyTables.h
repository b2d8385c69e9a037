// Every wave of an instrument as band-limited cycles, a few per wave: each
// keeps fewer harmonics than the one before, so that any key, bent up by as
// much as pitch bend goes, reads a table with no harmonic at or above half
// the sample rate. Built off the audio thread, read by it in place.
#pragma once

#include "BandLimitedTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The harmonics each level keeps, most first; a key takes the first level
// whose highest harmonic stays below half the sample rate.
inline constexpr std::array<int, 12> kLevelHarmonics{64, 48, 32, 24, 16, 12, 8, 6, 4, 3, 2, 1};
inline constexpr std::size_t kCycleFloats = kTableSize + 1;

struct KeyTables
{
    std::size_t waves = 0;
    std::vector<float> cycles;  // wave by wave, level by level, kCycleFloats each
    double limitedDb = 0;       // 0, or how far the loudest wave was scaled down for full scale

    const float* Cycle(std::size_t wave, std::size_t level) const noexcept
    {
        return cycles.data() + (wave * kLevelHarmonics.size() + level) * kCycleFloats;
    }
};

// The level for a key whose highest pitch (bend included) is `frequency`,
// or -1 when even its fundamental is at or above half the sample rate.
int LevelForFrequency(double frequency, double sampleRate) noexcept;

// Each wave scaled as LimitToFullScale would at `gain`, all its levels alike.
KeyTables MakeKeyTables(const std::vector<std::array<std::int16_t, 128>>& waves, double gain);
