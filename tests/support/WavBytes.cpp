#include "WavBytes.h"

WavBytes WavBytes::Riff()
{
    WavBytes wav;
    wav.Raw("RIFF").U32(0).Raw("WAVE");
    return wav;
}

WavBytes WavBytes::Mono(const std::string& data)
{
    WavBytes wav = Riff();
    wav.Format().Chunk("data", data);
    return wav;
}

WavBytes& WavBytes::Raw(const std::string& bytes)
{
    m_bytes += bytes;
    return *this;
}

WavBytes& WavBytes::U16(std::uint16_t value)
{
    m_bytes += static_cast<char>(value & 0xFF);
    m_bytes += static_cast<char>(value >> 8);
    return *this;
}

WavBytes& WavBytes::U32(std::uint32_t value)
{
    return U16(value & 0xFFFF).U16(value >> 16);
}

WavBytes& WavBytes::Header(const char* id, std::uint32_t declaredSize)
{
    return Raw(std::string(id, 4)).U32(declaredSize);
}

WavBytes& WavBytes::Chunk(const char* id, const std::string& body)
{
    Header(id, static_cast<std::uint32_t>(body.size())).Raw(body);
    if (body.size() % 2 != 0)
        m_bytes += '\0';
    return *this;
}

WavBytes& WavBytes::Format(std::uint16_t tag, std::uint16_t channels)
{
    return Chunk("fmt ", FormatBody(tag, channels));
}

std::string FormatBody(std::uint16_t tag, std::uint16_t channels)
{
    WavBytes body;
    body.U16(tag).U16(channels).U32(44100).U32(44100 * 2u * channels).U16(2 * channels).U16(16);
    return body.str();
}

std::string SampleBytes(const std::vector<std::int16_t>& samples)
{
    WavBytes bytes;
    for (const std::int16_t s : samples)
        bytes.U16(static_cast<std::uint16_t>(s));
    return bytes.str();
}

std::vector<std::int16_t> Ramp(std::size_t n)
{
    std::vector<std::int16_t> samples(n);
    for (std::size_t k = 0; k < n; ++k)
        samples[k] = static_cast<std::int16_t>(static_cast<std::uint16_t>(k * 7 - 20000));
    return samples;
}
