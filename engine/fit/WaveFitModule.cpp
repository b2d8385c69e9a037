// The module's one entry point: read, fit both ways, level.

#include "AudioCycle.h"
#include "CycleFit.h"
#include "WaveFit.h"

#include <type_traits>

extern "C" bool QwdFitWaveFile(const char* path, const FitRequest& request, FittedWave& wave, std::string& error)
{
    AudioCycle cycle;
    if (!ReadAudioCycle(path, cycle, error))
        return false;
    // Both fits are cheap next to reading the file, and the report compares them.
    const HarmonicFit harmonic = FitHarmonics(cycle.samples);
    const Wave128 nearest = PickNearest(cycle.samples);
    const Level level = ToSamples(request.method == FitMethod::kHarmonic ? harmonic.wave : nearest,
                                  request.normalize, wave.samples);
    wave.gain = level.gain;
    wave.scaledToFit = level.scaledToFit;
    wave.sourceFrames = static_cast<std::int64_t>(cycle.samples.size());
    wave.sourceChannels = cycle.channels;
    wave.sourceFormat = cycle.format;
    wave.aboveHarmonic63Db = harmonic.aboveHarmonic63Db;
    wave.nearestVsHarmonicDb = DifferenceDb(nearest, harmonic.wave);
    return true;
}

static_assert(std::is_same_v<decltype(&QwdFitWaveFile), FitWaveFileFn>);
