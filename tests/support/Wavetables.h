// Wavetable files as other programs write them: 16-bit frames back to back,
// each a cycle of its own, and the chunk that gives the frame size.
#pragma once

#include "WavBytes.h"

#include <algorithm>
#include <cmath>
#include <random>

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

// `frames` frames of `size` samples as synths draw them: a band-limited saw
// (harmonics below size / 4) turned frame by frame into a square, by `morph`
// of the way at the last frame (0: all alike); with white noise of `noise`
// steps at most.
inline std::vector<std::int16_t> MorphingTable(int frames, int size, double morph = 1.0, double noise = 0.0)
{
    std::vector<double> saw(static_cast<std::size_t>(size)), square(saw.size());
    for (int j = 0; j < size; ++j) {
        for (int k = 1; k < size / 4; ++k) {
            const double partial = 9000.0 * std::sin(2.0 * M_PI * k * j / size) / k;
            saw[static_cast<std::size_t>(j)] += partial;
            square[static_cast<std::size_t>(j)] += k % 2 == 1 ? 2.0 * partial : 0.0;
        }
    }
    std::mt19937 random(static_cast<unsigned>(size));
    std::uniform_real_distribution<double> added(-noise, noise);
    std::vector<std::int16_t> samples;
    for (int f = 0; f < frames; ++f) {
        const double t = frames > 1 ? morph * f / (frames - 1) : 0.0;
        for (std::size_t j = 0; j < saw.size(); ++j)
            samples.push_back(
                static_cast<std::int16_t>(std::lround((1.0 - t) * saw[j] + t * square[j] + added(random))));
    }
    return samples;
}
