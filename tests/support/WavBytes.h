// Builds WAV files byte by byte, well-formed or not, for the loader's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class WavBytes
{
public:
    // "RIFF", a size (the loader ignores it), "WAVE".
    static WavBytes Riff() { return WavBytes().Raw("RIFF").U32(0).Raw("WAVE"); }
    // A canonical mono 16-bit PCM file: RIFF header, 16-byte "fmt ", "data".
    static WavBytes Mono(const std::string& data) { return Riff().Format().Chunk("data", data); }
    // A format chunk's 16 bytes: the tag, the channels, 16-bit samples.
    static std::string FormatBody(std::uint16_t tag = 1, std::uint16_t channels = 1)
    {
        return WavBytes().U16(tag).U16(channels).U32(44100).U32(88200 * channels).U16(2 * channels).U16(16).str();
    }

    WavBytes& Raw(const std::string& bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    WavBytes& U16(std::uint16_t value) { return Raw({static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)}); }
    WavBytes& U32(std::uint32_t value) { return U16(value & 0xFFFF).U16(value >> 16); }
    // A chunk header declaring `declaredSize`, without a body.
    WavBytes& Header(const char* id, std::uint32_t declaredSize) { return Raw(std::string(id, 4)).U32(declaredSize); }
    // A whole chunk: header, body, and the pad byte when the body is odd.
    WavBytes& Chunk(const char* id, const std::string& body)
    {
        return Header(id, static_cast<std::uint32_t>(body.size())).Raw(body).Raw(std::string(body.size() % 2, '\0'));
    }
    WavBytes& Format(std::uint16_t tag = 1, std::uint16_t channels = 1)
    {
        return Chunk("fmt ", FormatBody(tag, channels));
    }

    const std::string& str() const { return m_bytes; }

private:
    std::string m_bytes;
};

// Samples as little-endian 16-bit data bytes.
inline std::string SampleBytes(const std::vector<std::int16_t>& samples)
{
    WavBytes bytes;
    for (const std::int16_t s : samples)
        bytes.U16(static_cast<std::uint16_t>(s));
    return bytes.str();
}

// n distinct samples, k * 7 - 20000 (wrapping): a picked one tells its index.
inline std::vector<std::int16_t> Ramp(std::size_t n)
{
    std::vector<std::int16_t> samples(n);
    for (std::size_t k = 0; k < n; ++k)
        samples[k] = static_cast<std::int16_t>(static_cast<std::uint16_t>(k * 7 - 20000));
    return samples;
}
