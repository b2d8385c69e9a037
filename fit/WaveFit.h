// The audio fit module: reads any audio file, as one cycle or as a wavetable
// of frames, and fits each frame to the engine's 128 samples. Programs open
// the module on first use (WaveFitLoader.h), so only what fits pays for it;
// it opens libsndfile and FFTW in turn only when a file needs them. This
// header is all its users see of it.
//
// The module and qwdump each carry their own copy of the C++ runtime, so
// nothing allocated on one side may be freed on the other: only the plain C
// structures at the end of this file cross between them, and the module
// frees what it allocated (FitThroughModule).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
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
    bool normalize = false;               // scale the table's peak to 32767
    std::int64_t frameSize = 0;           // 0: as the file's chunk says, or the whole file as one cycle
    std::vector<std::int64_t> frames;     // the frames to take, numbered from 1, in order; empty: see spreadTo
    std::int64_t spreadTo = kBankFrames;  // with no `frames`: all frames, or this many spread evenly; 0: all
    int (*stopped)() = nullptr;           // when set and nonzero (a termination signal), the fit ends between pieces
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
    std::string sourceFormat;  // libsndfile's name of the sample format, e.g. "PCM_24", "FLOAT"
    std::int64_t frameSize = 0;
    std::int64_t frameCount = 0;
    FrameSizeFrom frameSizeFrom = FrameSizeFrom::kWholeFile;
    // A file fitted as one cycle because nothing said otherwise may look like
    // a table of frames of a usual size (256 to 4096): that size, else 0.
    // Only a proposal: the file was fitted as one cycle all the same.
    std::int64_t proposedFrameSize = 0;
};

// What crosses into and out of the module.
extern "C" {

struct QwdFitRequest
{
    int method;  // FitMethod
    int normalize;
    std::int64_t frameSize;
    const std::int64_t* frames;  // read only, during the call
    std::size_t frameCount;
    std::int64_t spreadTo;
    int (*stopped)();
};

struct QwdFitResult
{
    FittedFrame* frames;  // the module's: QwdFreeFitResult frees them
    std::size_t frameCount;
    double gain;
    int scaledToFit;
    std::int64_t sourceFrames;
    int sourceChannels;
    char sourceFormat[32];
    std::int64_t frameSize;
    std::int64_t tableFrames;
    int frameSizeFrom;  // FrameSizeFrom
    char error[1024];   // why, when it returned 0
    std::int64_t proposedFrameSize;
};

// Reads `path` and fits the frames `request` asks for. With `fd` at 0 or
// more, the regular file already open there is read from its start instead,
// and closed. On failure returns 0 with `error` set to the reason, e.g.
// libsndfile's own, a remainder left by the frame size, or a frame past the
// table's last. Either way `result` is then the module's until
// QwdFreeFitResult.
int QwdFitTableFile(const char* path, int fd, const QwdFitRequest* request, QwdFitResult* result);
void QwdFreeFitResult(QwdFitResult* result);
}

static_assert(std::is_trivially_copyable_v<FittedFrame> && std::is_standard_layout_v<FittedFrame>);

inline constexpr char kFitTableFileEntry[] = "QwdFitTableFile";
inline constexpr char kFreeFitResultEntry[] = "QwdFreeFitResult";
using FitTableFileFn = decltype(&QwdFitTableFile);
using FreeFitResultFn = decltype(&QwdFreeFitResult);

// The fit through the module's entries, into the caller's own objects: what
// the module allocated is copied, then freed by the module itself. On
// failure returns false with `error` set.
inline bool FitThroughModule(FitTableFileFn fit, FreeFitResultFn release, const char* path, int fd,
                             const FitRequest& request, FittedTable& table, std::string& error)
{
    const QwdFitRequest asked{static_cast<int>(request.method),
                              request.normalize ? 1 : 0,
                              request.frameSize,
                              request.frames.data(),
                              request.frames.size(),
                              request.spreadTo,
                              request.stopped};
    QwdFitResult result{};
    const bool fitted = fit(path, fd, &asked, &result) != 0;
    table = FittedTable();
    error = fitted ? "" : result.error;
    if (fitted) {
        table.frames.assign(result.frames, result.frames + result.frameCount);
        table.gain = result.gain;
        table.scaledToFit = result.scaledToFit != 0;
        table.sourceFrames = result.sourceFrames;
        table.sourceChannels = result.sourceChannels;
        table.sourceFormat = result.sourceFormat;
        table.frameSize = result.frameSize;
        table.frameCount = result.tableFrames;
        table.frameSizeFrom = static_cast<FrameSizeFrom>(result.frameSizeFrom);
        table.proposedFrameSize = result.proposedFrameSize;
    }
    release(&result);
    return fitted;
}
