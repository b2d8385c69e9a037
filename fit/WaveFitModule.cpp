// The module's one entry point: open, split into frames, fit each frame both
// ways, and level the table as a whole.

#include "CycleFit.h"
#include "FrameSizeGuess.h"
#include "SiblingModule.h"
#include "WavFile.h"
#include "WaveFit.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Buffered reading of a regular file open at `fd`, which it owns from now on.
FilePtr ReadingFrom(int fd, std::string& error)
{
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        error = std::string("can't read it: ") + std::strerror(errno);
        ::close(fd);
    }
    return FilePtr(file);
}

// Opens a regular file; a named pipe must be refused, not waited on.
FilePtr OpenRegularFile(const char* path, std::string& error)
{
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = std::string("can't open it: ") + std::strerror(errno);
        return nullptr;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        error = std::string("can't look at it: ") + std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        error = "not a regular file";
    } else {
        return ReadingFrom(fd, error);
    }
    ::close(fd);
    return nullptr;
}

// A plain WAV file is read here; any other through libsndfile's module.
std::unique_ptr<AudioSource> OpenAudio(std::FILE* file, TableChunk& table, std::string& error)
{
    std::unique_ptr<AudioSource> source = ReadWavFile(file, table);
    if (source)
        return source;
    static std::string notLoaded;
    static const auto open =
        reinterpret_cast<OpenSndfileSourceFn>(SiblingEntry(QWD_SNDFILE_MODULE, "QwdOpenSndfileSource", notLoaded));
    if (open == nullptr) {
        error = "can't read it without libsndfile: " + notLoaded;
        return nullptr;
    }
    if (::lseek(fileno(file), 0, SEEK_SET) != 0) {
        error = std::string("can't read it: ") + std::strerror(errno);
        return nullptr;
    }
    char why[256] = "";
    if (!open(fileno(file), source, why, sizeof why))
        error = why;
    return source;
}

const char* ChunkName(FrameSizeFrom from)
{
    switch (from) {
    case FrameSizeFrom::kClmChunk:
        return "clm";
    case FrameSizeFrom::kSrgeChunk:
        return "srge";
    case FrameSizeFrom::kUhwtChunk:
        return "uhWT";
    default:
        return "srgo";
    }
}

// How the file splits into frames: a requested size, else its chunk's, else
// the whole file is one cycle (a one-shot too).
bool SplitIntoFrames(const AudioSource& source, const TableChunk& chunk, const FitRequest& request, FittedTable& table,
                     std::string& error)
{
    const std::int64_t frames = source.frames;
    if (!chunk.unreadable.empty() && request.frameSize == 0) {
        error = chunk.unreadable;
        return false;
    }
    if (frames < 2) {
        error = "too short to be one cycle: " + std::to_string(frames) + " frame" + (frames == 1 ? "" : "s") +
                ", at least 2 needed";
        return false;
    }
    table.frameSizeFrom = request.frameSize != 0 ? FrameSizeFrom::kRequest : chunk.from;
    const bool oneCycle =
        table.frameSizeFrom == FrameSizeFrom::kWholeFile || table.frameSizeFrom == FrameSizeFrom::kSrgoChunk;
    table.frameSize = request.frameSize != 0 ? request.frameSize : oneCycle ? frames : chunk.frameSize;
    if (oneCycle && frames > kMaxCycleFrames) {
        error = "too long to be one cycle: " + std::to_string(frames) + " frames, at most " +
                std::to_string(kMaxCycleFrames);
        return false;
    }
    const std::string size = std::to_string(table.frameSize);
    const std::string given = table.frameSizeFrom == FrameSizeFrom::kRequest
                                  ? "the frame size asked for"
                                  : std::string("its ") + ChunkName(table.frameSizeFrom) + " chunk's frame size";
    if (table.frameSize < 2 || table.frameSize > kMaxCycleFrames) {
        error = given + ", " + size + ", is not a cycle of 2 to " + std::to_string(kMaxCycleFrames) + " samples";
        return false;
    }
    if (frames % table.frameSize != 0) {
        error = "its " + std::to_string(frames) + " samples don't split into frames of " + size + " (" + given +
                "): " + std::to_string(frames % table.frameSize) + " left over";
        return false;
    }
    table.frameCount = frames / table.frameSize;
    if (table.frameCount > kMaxTableFrames) {
        error = "more than " + std::to_string(kMaxTableFrames) + " frames of " + size + ": " +
                std::to_string(table.frameCount);
        return false;
    }
    return true;
}

// The frames to take, numbered from 1: those asked for, or every frame, or
// `spreadTo` of them spread evenly, first and last included.
bool ChooseFrames(const FitRequest& request, std::int64_t count, std::vector<std::int64_t>& chosen, std::string& error)
{
    chosen = request.frames;
    for (const std::int64_t number : chosen) {
        if (number < 1 || number > count) {
            error = "it has no frame " + std::to_string(number) + ": its frames are 1 to " + std::to_string(count);
            return false;
        }
    }
    if (!chosen.empty())
        return true;
    const std::int64_t taken = request.spreadTo > 0 ? std::min(count, request.spreadTo) : count;
    for (std::int64_t i = 0; i < taken; ++i)
        chosen.push_back(taken == count ? i + 1
                         : taken == 1   ? 1
                                        : 1 + std::llround(static_cast<double>(i) * static_cast<double>(count - 1) /
                                                           static_cast<double>(taken - 1)));
    return true;
}

bool FitTable(const char* path, int fd, const FitRequest& request, FittedTable& table, std::string& error)
{
    table = FittedTable();
    const FilePtr file = fd >= 0 ? ReadingFrom(fd, error) : OpenRegularFile(path, error);
    if (!file)
        return false;
    TableChunk chunk;
    const std::unique_ptr<AudioSource> source = OpenAudio(file.get(), chunk, error);
    std::vector<std::int64_t> chosen;
    if (!source || !SplitIntoFrames(*source, chunk, request, table, error) ||
        !ChooseFrames(request, table.frameCount, chosen, error))
        return false;
    table.sourceFrames = source->frames;
    table.sourceChannels = source->channels;
    table.sourceFormat = source->format;

    // The chosen frames by their place in the file; one may be chosen twice.
    std::vector<std::pair<std::int64_t, std::size_t>> order;
    for (std::size_t i = 0; i < chosen.size(); ++i)
        order.emplace_back(chosen[i] - 1, i);
    std::sort(order.begin(), order.end());
    auto next = order.begin();

    // Every frame is fitted: the table's level depends on all of them. Each
    // is read in pieces, so that no long cycle is held whole.
    const auto size = static_cast<std::size_t>(table.frameSize);
    std::vector<double> piece(std::min(size, HarmonicFitter::kPiece));
    std::vector<Wave128> waves(chosen.size());
    table.frames.resize(chosen.size());
    HarmonicFitter fitter(size, table.frameCount);
    // A file taken as one cycle only because it says nothing else may be a
    // table all the same: the guess reads along, to propose a frame size.
    FrameSizeGuess guess(table.frameSizeFrom == FrameSizeFrom::kWholeFile ? table.frameSize : 0);
    double wholeAboveHarmonic63Db = 0.0;
    double peak = 0.0;
    bool outside = false;
    for (std::int64_t frame = 0; frame < table.frameCount; ++frame) {
        fitter.Begin();
        NearestPicker picker(size);
        for (std::size_t offset = 0; offset < size; offset += piece.size()) {
            // A long table takes seconds: a termination signal ends it here.
            if (request.stopped != nullptr && request.stopped() != 0) {
                error = "interrupted before the fit was done";
                return false;
            }
            const std::size_t count = std::min(piece.size(), size - offset);
            if (!source->Read(piece.data(), count)) {
                error = source->failure;
                return false;
            }
            for (std::size_t j = 0; j < count; ++j) {
                if (!std::isfinite(piece[j])) {
                    error = "frame " + std::to_string(frame * table.frameSize + static_cast<std::int64_t>(offset + j)) +
                            " holds a sample that is not a finite number";
                    return false;
                }
            }
            fitter.Add(piece.data(), count);
            picker.Add(piece.data(), count, offset);
            guess.Add(piece.data(), count);
        }
        const HarmonicFit harmonic = fitter.Finish();
        wholeAboveHarmonic63Db = harmonic.aboveHarmonic63Db;
        const Wave128& nearest = picker.Wave();
        const Wave128& wave = request.method == FitMethod::kHarmonic ? harmonic.wave : nearest;
        peak = std::max(peak, Peak(wave));
        outside = outside || RoundsOutside(wave);
        for (; next != order.end() && next->first == frame; ++next) {
            waves[next->second] = wave;
            FittedFrame& fitted = table.frames[next->second];
            fitted.number = frame + 1;
            fitted.aboveHarmonic63Db = harmonic.aboveHarmonic63Db;
            fitted.nearestVsHarmonicDb = DifferenceDb(nearest, harmonic.wave);
        }
    }
    table.proposedFrameSize = guess.Looking() ? guess.Proposal(wholeAboveHarmonic63Db) : 0;
    const Level level = TableLevel(peak, outside, request.normalize);
    table.gain = level.gain;
    table.scaledToFit = level.scaledToFit;
    for (std::size_t i = 0; i < waves.size(); ++i)
        RoundWave(waves[i], level.gain, table.frames[i].samples);
    return true;
}

template <std::size_t kSize>
void CopyText(const std::string& text, char (&to)[kSize])
{
    const std::size_t length = std::min(text.size(), kSize - 1);
    std::memcpy(to, text.data(), length);
    to[length] = '\0';
}

}  // namespace

extern "C" int QwdFitTableFile(const char* path, int fd, const QwdFitRequest* asked, QwdFitResult* result)
{
    *result = QwdFitResult{};
    FitRequest request;
    request.method = static_cast<FitMethod>(asked->method);
    request.normalize = asked->normalize != 0;
    request.frameSize = asked->frameSize;
    request.frames.assign(asked->frames, asked->frames + asked->frameCount);
    request.spreadTo = asked->spreadTo;
    request.stopped = asked->stopped;
    FittedTable table;
    std::string error;
    if (!FitTable(path, fd, request, table, error)) {
        CopyText(error, result->error);
        return 0;
    }
    result->frames = static_cast<FittedFrame*>(std::malloc(table.frames.size() * sizeof(FittedFrame)));
    if (result->frames == nullptr && !table.frames.empty()) {
        CopyText("not enough memory for the fitted frames", result->error);
        return 0;
    }
    if (!table.frames.empty())
        std::memcpy(result->frames, table.frames.data(), table.frames.size() * sizeof(FittedFrame));
    result->frameCount = table.frames.size();
    result->gain = table.gain;
    result->scaledToFit = table.scaledToFit ? 1 : 0;
    result->sourceFrames = table.sourceFrames;
    result->sourceChannels = table.sourceChannels;
    CopyText(table.sourceFormat, result->sourceFormat);
    result->frameSize = table.frameSize;
    result->tableFrames = table.frameCount;
    result->frameSizeFrom = static_cast<int>(table.frameSizeFrom);
    result->proposedFrameSize = table.proposedFrameSize;
    return 1;
}

extern "C" void QwdFreeFitResult(QwdFitResult* result)
{
    std::free(result->frames);
    result->frames = nullptr;
    result->frameCount = 0;
}

static_assert(std::is_same_v<decltype(&QwdFitTableFile), FitTableFileFn>);
static_assert(std::is_same_v<decltype(&QwdFreeFitResult), FreeFitResultFn>);
