// CEngine::LoadWaveFile: reads a mono 16-bit PCM WAV file into the 128-sample
// wave. A data chunk of exactly 256 bytes is taken sample for sample; any
// other length from 257 to 131,070 bytes is fitted to 128 samples by
// nearest-sample picking.

#include "ByteOrder.h"
#include "Engine.h"
#include "LoadMessages.h"
#include "NearestSample.h"
#include "RiffChunks.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kDirectBytes = 256;       // exactly 128 samples
constexpr std::uint32_t kMaxDataBytes = 0x1FFFE;  // 65,535 samples

// Each failure inside the loader is raised as one of these and caught once,
// at the loader's boundary; the payload is one of the fixed messages.
struct LoadFailure
{
    const char* pszMessage;
};

[[noreturn]] void Fail(const char* pszMessage)
{
    throw LoadFailure{pszMessage};
}

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Buffered binary reading of a descriptor from OpenWaveFile, which it owns
// from now on. O_NONBLOCK has no effect on reading a regular file, so it is
// left set.
FilePtr ReadingFrom(int fd)
{
    std::FILE* file = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
    if (file == nullptr) {
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    // A buffer of our own spares stdio an fstat and a malloc on every load;
    // the loader is not reentrant, so one buffer serves every call.
    static char buffer[4096];
    std::setvbuf(file, buffer, _IOFBF, sizeof buffer);
    return FilePtr(file);
}

using RiffChunks::ChunkHeader;
using RiffChunks::ReadItem;
using RiffChunks::SkipPadded;

// The next chunk named `id`, or the load fails with `pszFailure`.
ChunkHeader FindChunk(std::FILE* file, const char (&id)[5], const char* pszFailure)
{
    ChunkHeader header;
    if (!RiffChunks::FindChunk(file, id, header))
        Fail(pszFailure);
    return header;
}

}  // namespace

bool CEngine::LoadWaveFile(const char* path)
{
    LoadFacts ignored;
    return LoadWaveFileTelling(*this, path, ignored);
}

bool LoadWaveFileTelling(CEngine& engine, const char* path, LoadFacts& facts)
{
    facts = LoadFacts();
    return LoadWaveFileFrom(engine, OpenWaveFile(path, facts), facts);
}

// Anything but a regular file (a named pipe, a device, a directory) is
// refused: opening a pipe for reading would block until a writer appears,
// so the open itself must not wait.
int OpenWaveFile(const char* path, LoadFacts& facts)
{
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        facts.openErrno = errno;
        return -1;
    }
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        return fd;
    facts.openErrno = errno;
    facts.fileType = info.st_mode & S_IFMT;
    ::close(fd);
    return -1;
}

bool LoadWaveFileFrom(CEngine& engine, int fd, LoadFacts& facts)
{
    // Scratch for the fitting path; its contents mean nothing between calls.
    static std::int16_t anSamples[65536];

    engine.m_pszError = "";
    engine.m_bResampled = 0;
    try {
        const FilePtr file = ReadingFrom(fd);
        if (!file)
            Fail(LoadMessages::kOpenFailed);
        std::FILE* const f = file.get();

        std::uint8_t riff[8];
        if (!ReadItem(f, riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0)
            Fail(LoadMessages::kNotWav);
        std::uint8_t wave[4];
        if (!ReadItem(f, wave, sizeof wave) || std::memcmp(wave, "WAVE", 4) != 0)
            Fail(LoadMessages::kNotWav);

        // Only the format tag and channel count are examined: the data is
        // always taken as signed 16-bit little-endian samples.
        const ChunkHeader format = FindChunk(f, "fmt ", LoadMessages::kNotWav);
        std::uint8_t fields[16];
        if (!ReadItem(f, fields, sizeof fields))
            Fail(LoadMessages::kNotWav);
        facts.declaredBits = ByteOrder::Le16(fields + 14);
        if (ByteOrder::Le16(fields) != 1 || ByteOrder::Le16(fields + 2) != 1)
            Fail(LoadMessages::kNotMonoPcm);
        if (format.size > 16)
            SkipPadded(f, format.size - 16);

        const std::uint32_t dataBytes = FindChunk(f, "data", LoadMessages::kNoData).size;
        facts.dataBytes = dataBytes;
        if (dataBytes == kDirectBytes) {
            if (!ReadItem(f, engine.m_anWave, kDirectBytes))
                Fail(LoadMessages::kShort256);
        } else if (dataBytes > kMaxDataBytes) {
            Fail(LoadMessages::kTooMany);
        } else if (dataBytes < kDirectBytes) {
            Fail(LoadMessages::kTooFew);
        } else {
            // The scratch holds zeros past the data, as if cleared before the
            // read; the bytes the read fills are not cleared first.
            std::memset(reinterpret_cast<char*>(anSamples) + dataBytes, 0, kMaxDataBytes - dataBytes);
            if (!ReadItem(f, anSamples, dataBytes))
                Fail(LoadMessages::kTruncated);
            std::memset(engine.m_anWave, 0, sizeof engine.m_anWave);
            // An odd last byte is ignored.
            const std::uint32_t n = dataBytes / 2;
            for (int i = 0; i < 128; ++i)
                engine.m_anWave[i] = anSamples[NearestSampleIndex(i, n)];
            engine.m_bResampled = 1;
        }

        for (std::int16_t& sample : engine.m_anWave)
            sample = ByteOrder::LittleToHost(sample);
        engine.m_bLoaded = 1;
        return true;
    } catch (const LoadFailure& failure) {
        engine.m_pszError = failure.pszMessage;
        engine.m_bLoaded = 0;
        return false;
    }
}
