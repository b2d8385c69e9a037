// One cycle read from an audio file with libsndfile: the whole file, its
// channels averaged to one.
#pragma once

#include <string>
#include <vector>

struct AudioCycle
{
    std::vector<double> samples;  // in 16-bit units: full scale is +-32768
    int channels = 0;
    std::string format;           // libsndfile's sample format, e.g. "PCM_16"
};

// The longest file taken as one cycle.
inline constexpr long long kMaxCycleFrames = 1LL << 24;

// Reads `path` whole into `cycle`. Refuses anything but a regular file, fewer
// than 2 or more than kMaxCycleFrames frames, and samples that are not finite
// numbers; on failure returns false with `error` set to the reason.
bool ReadAudioCycle(const char* path, AudioCycle& cycle, std::string& error);
