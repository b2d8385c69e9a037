// Wavetable files as other programs write them: 16-bit frames back to back,
// each a cycle of its own, and the chunk that gives the frame size.
#pragma once

#include "WavBytes.h"

#include <algorithm>
#include <cmath>

// Frame f: a sine of harmonic 1 + f % 50 whose phase and level change with
// f, so that every frame differs; at `position` 0 to 1 in the cycle.
inline double FrameValue(int f, double position)
{
    return (12000.0 + 50.0 * f) * std::sin(2.0 * M_PI * (1 + f % 50) * position + 0.37 * f);
}

// `frames` frames of `size` samples, with the chunk "clm ", "srge" or
// "uhWT", or none ("").
inline std::string WavetableBytes(int frames, int size, const std::string& chunk)
{
    std::vector<std::int16_t> samples;
    for (int f = 0; f < frames; ++f)
        for (int j = 0; j < size; ++j)
            samples.push_back(static_cast<std::int16_t>(std::lround(FrameValue(f, static_cast<double>(j) / size))));
    WavBytes wav = WavBytes::Riff().Format();
    std::string digits = std::to_string(size);
    if (chunk == "clm ")
        wav.Chunk("clm ", "<!>" + digits.append(digits.size() < 4 ? 4 - digits.size() : 0, ' ') + " 00000000");
    else if (chunk == "srge")
        wav.Chunk("srge", WavBytes().U32(1).U32(size).str());
    else if (chunk == "uhWT")
        wav.Chunk("uhWT", WavBytes().U32(0).U32(frames).U32(size).U32(0).str() + std::string(256, '\0'));
    return wav.Chunk("data", SampleBytes(samples)).str();
}

// How far `samples` are, at most, from the exact 128-point sampling of frame f.
inline int DistanceFromFrame(const std::int16_t* samples, int f)
{
    int distance = 0;
    for (int i = 0; i < 128; ++i)
        distance = std::max(distance, std::abs(samples[i] - static_cast<int>(std::lround(FrameValue(f, i / 128.0)))));
    return distance;
}
