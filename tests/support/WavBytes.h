// Builds WAV files byte by byte, well-formed or not, for the loader's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class WavBytes
{
public:
    // "RIFF", a size (the loader ignores it), "WAVE".
    static WavBytes Riff();
    // A canonical mono 16-bit PCM file: RIFF header, 16-byte "fmt ", "data".
    static WavBytes Mono(const std::string& data);

    WavBytes& Raw(const std::string& bytes);
    WavBytes& U16(std::uint16_t value);
    WavBytes& U32(std::uint32_t value);
    // A chunk header declaring `declaredSize`, without a body.
    WavBytes& Header(const char* id, std::uint32_t declaredSize);
    // A whole chunk: header, body, and the pad byte when the body is odd.
    WavBytes& Chunk(const char* id, const std::string& body);
    // A "fmt " chunk: format tag, channels and the usual 16-bit mono fields.
    WavBytes& Format(std::uint16_t tag = 1, std::uint16_t channels = 1);

    const std::string& str() const { return m_bytes; }

private:
    std::string m_bytes;
};

// The 16 bytes of a format chunk.
std::string FormatBody(std::uint16_t tag = 1, std::uint16_t channels = 1);
// Samples as little-endian 16-bit data bytes.
std::string SampleBytes(const std::vector<std::int16_t>& samples);
// n distinct samples: sample k is k * 7 - 20000 (wrapping), so a picked
// index can be read back from the value.
std::vector<std::int16_t> Ramp(std::size_t n);
