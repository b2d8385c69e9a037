#include "WavFile.h"

#include "ByteOrder.h"
#include "RiffChunks.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <sys/stat.h>

namespace {

using RiffChunks::ChunkHeader;

enum class Encoding { kUnsigned8, kSigned16, kSigned24, kSigned32, kFloat32, kFloat64 };

// What is left of a WAVE_FORMAT_EXTENSIBLE sub-format GUID after its
// leading format tag, for the PCM and IEEE float sub-formats alike.
constexpr std::uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;

// One sample in 16-bit units, as libsndfile's normalised reading gives it
// times 32768.
template <Encoding kEncoding>
double SampleValue(const std::uint8_t* p)
{
    if constexpr (kEncoding == Encoding::kUnsigned8) {
        return (p[0] - 128) * 256.0;
    } else if constexpr (kEncoding == Encoding::kSigned16) {
        return static_cast<std::int16_t>(ByteOrder::Le16(p));
    } else if constexpr (kEncoding == Encoding::kSigned24) {
        // In the top three bytes of an int32: the sign comes along.
        return static_cast<std::int32_t>((std::uint32_t{p[0]} << 8) | (std::uint32_t{p[1]} << 16) |
                                         (std::uint32_t{p[2]} << 24)) /
               65536.0;
    } else if constexpr (kEncoding == Encoding::kSigned32) {
        return static_cast<std::int32_t>(ByteOrder::Le32(p)) / 65536.0;
    } else if constexpr (kEncoding == Encoding::kFloat32) {
        const std::uint32_t bits = ByteOrder::Le32(p);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value * 32768.0;
    } else {
        const std::uint64_t bits = ByteOrder::Le32(p) | (std::uint64_t{ByteOrder::Le32(p + 4)} << 32);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value * 32768.0;
    }
}

// `count` frames of `channels` samples `width` bytes wide, each to the mean
// of its channels.
template <Encoding kEncoding>
void AverageFrames(const std::uint8_t* p, std::size_t count, int channels, std::size_t width, double* out)
{
    for (std::size_t f = 0; f < count; ++f) {
        double sum = 0.0;
        for (int c = 0; c < channels; ++c, p += width)
            sum += SampleValue<kEncoding>(p);
        out[f] = sum / channels;
    }
}

class PlainWavSource : public AudioSource
{
public:
    PlainWavSource(std::FILE* file, Encoding encoding, std::size_t width)
        : m_file(file), m_encoding(encoding), m_width(width)
    {
    }

    bool Read(double* samples, std::size_t count) override
    {
        const std::size_t frameBytes = m_width * static_cast<std::size_t>(channels);
        const std::size_t perBlock = std::max<std::size_t>(1, kBlockBytes / frameBytes);
        for (std::size_t done = 0; done < count;) {
            const std::size_t wanted = std::min(perBlock, count - done);
            m_bytes.resize(wanted * frameBytes);
            const std::size_t got = std::fread(m_bytes.data(), frameBytes, wanted, m_file);
            Average(got, samples + done);
            done += got;
            m_read += static_cast<std::int64_t>(got);
            if (got < wanted) {
                failure = std::ferror(m_file) ? std::string("can't read it: ") + std::strerror(errno)
                                              : "it ends after " + std::to_string(m_read) + " of its " +
                                                    std::to_string(frames) + " frames";
                return false;
            }
        }
        return true;
    }

private:
    static constexpr std::size_t kBlockBytes = 1 << 16;

    void Average(std::size_t count, double* out) const
    {
        const auto average = [&](auto decode) { decode(m_bytes.data(), count, channels, m_width, out); };
        switch (m_encoding) {
        case Encoding::kUnsigned8:
            return average(AverageFrames<Encoding::kUnsigned8>);
        case Encoding::kSigned16:
            return average(AverageFrames<Encoding::kSigned16>);
        case Encoding::kSigned24:
            return average(AverageFrames<Encoding::kSigned24>);
        case Encoding::kSigned32:
            return average(AverageFrames<Encoding::kSigned32>);
        case Encoding::kFloat32:
            return average(AverageFrames<Encoding::kFloat32>);
        case Encoding::kFloat64:
            return average(AverageFrames<Encoding::kFloat64>);
        }
    }

    std::FILE* m_file;
    Encoding m_encoding;
    std::size_t m_width;
    std::vector<std::uint8_t> m_bytes;
    std::int64_t m_read = 0;
};

// "<!>2048 01000000 wavetable ...": the frame size in as many digits as it
// takes (<!>256, <!>10000), which some writers pad with spaces, then a space
// and flags. `text` holds the body's first `size` bytes.
void ReadClmFrameSize(const ChunkHeader& header, const char* text, std::size_t size, TableChunk& table)
{
    if (size < 3 || std::memcmp(text, "<!>", 3) != 0) {
        table.unreadable = "its clm chunk does not begin with <!> and a frame size";
        return;
    }
    std::size_t at = 3;
    while (at < size && text[at] == ' ')
        ++at;
    const std::size_t first = at;
    while (at < size && text[at] >= '0' && text[at] <= '9')
        ++at;
    const std::string digits(text + first, at - first);
    const bool ended = at < size ? text[at] == ' ' || text[at] == '\0' : header.size == size;
    if (digits.empty() || !ended) {
        table.unreadable = "its clm chunk's frame size after <!> is not a whole number";
        return;
    }
    // Past 18 digits it would not fit, and no cycle is that long anyway.
    if (digits.size() > 18) {
        table.unreadable = "its clm chunk's frame size, " + digits + ", is not a cycle of 2 to " +
                           std::to_string(kMaxCycleFrames) + " samples";
        return;
    }
    table.frameSize = std::stoll(digits);
}

// The frame size that a wavetable chunk's body gives.
void ReadTableChunk(const ChunkHeader& header, const std::uint8_t* body, std::size_t size, TableChunk& table)
{
    if (header.Is("clm ")) {
        table.from = FrameSizeFrom::kClmChunk;
        ReadClmFrameSize(header, reinterpret_cast<const char*>(body), size, table);
    } else if (header.Is("srge") || header.Is("srgo")) {
        // Version, then frame size; "srgo" marks a one-shot, taken as one cycle.
        table.from = header.Is("srge") ? FrameSizeFrom::kSrgeChunk : FrameSizeFrom::kSrgoChunk;
        if (size < 8)
            table.unreadable = std::string("its ") + (header.Is("srge") ? "srge" : "srgo") + " chunk is too short";
        else if (header.Is("srge"))
            table.frameSize = ByteOrder::Le32(body + 4);
    } else if (header.Is("uhWT")) {
        // Then the frame count, then the frame size.
        table.from = FrameSizeFrom::kUhwtChunk;
        if (size < 12)
            table.unreadable = "its uhWT chunk is too short";
        else
            table.frameSize = ByteOrder::Le32(body + 8);
    }
}

bool IsTableChunk(const ChunkHeader& header)
{
    return header.Is("clm ") || header.Is("srge") || header.Is("srgo") || header.Is("uhWT");
}

}  // namespace

std::unique_ptr<AudioSource> ReadWavFile(std::FILE* file, TableChunk& table)
{
    std::uint8_t riff[12];
    if (!RiffChunks::ReadItem(file, riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return nullptr;

    std::uint8_t format[40] = {};
    std::size_t formatSize = 0;
    off_t dataOffset = -1;
    std::uint32_t dataSize = 0;
    ChunkHeader header;
    while (RiffChunks::ReadChunkHeader(file, header)) {
        std::uint8_t body[32];
        std::size_t taken = 0;
        if (header.Is("fmt ") && formatSize == 0) {
            taken = std::min<std::size_t>(header.size, sizeof format);
            if (taken == 0 || !RiffChunks::ReadItem(file, format, taken))
                break;
            formatSize = taken;
        } else if (header.Is("data") && dataOffset < 0) {
            dataOffset = ::ftello(file);
            dataSize = header.size;
        } else if (IsTableChunk(header) && table.from == FrameSizeFrom::kWholeFile) {
            taken = std::min<std::size_t>(header.size, sizeof body);
            if (taken > 0 && !RiffChunks::ReadItem(file, body, taken))
                break;
            ReadTableChunk(header, body, taken, table);
        }
        ::fseeko(file, static_cast<off_t>(header.size - taken) + (header.size & 1u), SEEK_CUR);
    }
    std::clearerr(file);

    std::uint16_t tag = formatSize >= 16 ? ByteOrder::Le16(format) : 0;
    if (tag == kTagExtensible)
        tag = formatSize == sizeof format && std::memcmp(format + 26, kGuidTail, sizeof kGuidTail) == 0
                  ? ByteOrder::Le16(format + 24)
                  : 0;
    const std::uint16_t channels = ByteOrder::Le16(format + 2);
    const std::uint16_t blockAlign = ByteOrder::Le16(format + 12);
    const std::uint16_t bits = ByteOrder::Le16(format + 14);
    Encoding encoding;
    if (tag == kTagPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32))
        encoding = bits == 8    ? Encoding::kUnsigned8
                   : bits == 16 ? Encoding::kSigned16
                   : bits == 24 ? Encoding::kSigned24
                                : Encoding::kSigned32;
    else if (tag == kTagFloat && (bits == 32 || bits == 64))
        encoding = bits == 32 ? Encoding::kFloat32 : Encoding::kFloat64;
    else
        return nullptr;
    struct stat info;
    if (dataOffset < 0 || channels == 0 || blockAlign != channels * (bits / 8) || ::fstat(fileno(file), &info) != 0 ||
        ::fseeko(file, dataOffset, SEEK_SET) != 0)
        return nullptr;

    // A data chunk that claims more than the file holds is read as far as
    // the file goes, as libsndfile does.
    const std::int64_t available = std::min<std::int64_t>(dataSize, info.st_size - dataOffset);
    static const char* const kNames[] = {"PCM_U8", "PCM_16", "PCM_24", "PCM_32", "FLOAT", "DOUBLE"};
    auto source = std::make_unique<PlainWavSource>(file, encoding, bits / 8);
    source->frames = std::max<std::int64_t>(available, 0) / blockAlign;
    source->channels = channels;
    source->format = kNames[static_cast<int>(encoding)];
    return source;
}
