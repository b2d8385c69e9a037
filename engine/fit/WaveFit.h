// The audio fit module: reads any file libsndfile can read, takes it as one
// cycle and fits it to the engine's 128 samples. qwdump opens the module on
// first use (dlopen), so only a command that fits pays for libsndfile and
// FFTW. This header is all its users see of it.
#pragma once

#include <cstdint>
#include <string>

enum class FitMethod {
    kHarmonic,  // harmonics 0 to 63 of the cycle, synthesised at 128 points
    kNearest,   // the loader's nearest-sample picking
};

struct FitRequest
{
    FitMethod method = FitMethod::kHarmonic;
    bool normalize = false;  // scale the peak to 32767
};

struct FittedWave
{
    std::int16_t samples[128] = {};
    double gain = 1.0;         // applied to the fitted values before rounding
    bool scaledToFit = false;  // gain < 1 because they would have passed the 16-bit range

    // The source, and how faithful each method is to it.
    std::int64_t sourceFrames = 0;
    int sourceChannels = 0;
    std::string sourceFormat;          // libsndfile's sample format, e.g. "PCM_24", "FLOAT"
    double aboveHarmonic63Db = 0.0;    // energy above harmonic 63 relative to the whole; -inf when none
    double nearestVsHarmonicDb = 0.0;  // energy of (nearest - harmonic) relative to the harmonic fit
};

// Reads `path` and fits it. On failure returns false with `error` set to the
// reason, e.g. libsndfile's own.
extern "C" bool QwdFitWaveFile(const char* path, const FitRequest& request, FittedWave& wave, std::string& error);

inline constexpr char kFitWaveFileEntry[] = "QwdFitWaveFile";
using FitWaveFileFn = decltype(&QwdFitWaveFile);
