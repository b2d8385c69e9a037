// The audio fit module: reads any audio file, as one cycle or as a wavetable
// of frames, and fits each frame to the engine's 128 samples. Programs open
// the module on first use (WaveFitLoader.h), so only what fits pays for it;
// it opens libsndfile and FFTW in turn only when a file needs them. This
// header is all its users see of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class FitMethod {
    kHarmonic,  // harmonics 0 to 63 of each frame, synthesised at 128 points
    kNearest,   // the loader's nearest-sample picking
};

// Where the frame size of a table came from.
enum class FrameSizeFrom { kWholeFile, kRequest, kClmChunk, kSrgeChunk, kUhwtChunk, kSrgoChunk };

// The most frames a table may have; each frame is a cycle of 2 to
// kMaxCycleFrames samples.
inline constexpr std::int64_t kMaxTableFrames = 65536;
inline constexpr std::int64_t kMaxCycleFrames = 1LL << 24;
// A bank holds this many waves: a longer table is spread over them.
inline constexpr int kBankFrames = 32;

struct FitRequest
{
    FitMethod method = FitMethod::kHarmonic;
    bool normalize = false;        // scale the table's peak to 32767
    std::int64_t frameSize = 0;    // 0: as the file's chunk says, or the whole file as one cycle
    std::vector<std::int64_t> frames;  // the frames to take, numbered from 1, in order; empty: see spreadTo
    std::int64_t spreadTo = kBankFrames;  // with no `frames`: all frames, or this many spread evenly; 0: all
};

struct FittedFrame
{
    std::int64_t number = 0;  // in the table, from 1
    std::int16_t samples[128] = {};
    double aboveHarmonic63Db = 0.0;    // energy above harmonic 63 relative to the frame's; -inf when none
    double nearestVsHarmonicDb = 0.0;  // energy of (nearest - harmonic) relative to the harmonic fit
};

struct FittedTable
{
    std::vector<FittedFrame> frames;  // the frames taken, in the order asked
    // One gain for the whole table, so frames keep their relative levels.
    double gain = 1.0;         // applied to the fitted values before rounding
    bool scaledToFit = false;  // gain < 1 because some would have passed the 16-bit range

    std::int64_t sourceFrames = 0;  // samples per channel in the file
    int sourceChannels = 0;
    std::string sourceFormat;       // libsndfile's name of the sample format, e.g. "PCM_24", "FLOAT"
    std::int64_t frameSize = 0;
    std::int64_t frameCount = 0;
    FrameSizeFrom frameSizeFrom = FrameSizeFrom::kWholeFile;
};

// Reads `path` and fits the frames `request` asks for. With `fd` at 0 or
// more, the regular file already open there is read from its start instead,
// and closed. On failure returns false with `error` set to the reason, e.g.
// libsndfile's own, a remainder left by the frame size, or a frame past the
// table's last.
extern "C" bool QwdFitTableFile(const char* path, int fd, const FitRequest& request, FittedTable& table,
                                std::string& error);

inline constexpr char kFitTableFileEntry[] = "QwdFitTableFile";
using FitTableFileFn = decltype(&QwdFitTableFile);
