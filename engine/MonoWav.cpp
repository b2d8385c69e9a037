#include "MonoWav.h"

namespace {

void Put(std::string& bytes, std::uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string MonoWavBytes(const std::int16_t* samples, std::size_t count, std::uint32_t sampleRate)
{
    const auto dataBytes = static_cast<std::uint32_t>(2 * count);
    std::string bytes = "RIFF";
    bytes.reserve(44 + dataBytes);
    Put(bytes, 36 + dataBytes, 4);
    bytes += "WAVEfmt ";
    Put(bytes, 16, 4);
    Put(bytes, 1, 2);  // PCM
    Put(bytes, 1, 2);  // mono
    Put(bytes, sampleRate, 4);
    Put(bytes, 2 * sampleRate, 4);  // byte rate
    Put(bytes, 2, 2);               // block alignment
    Put(bytes, 16, 2);              // bits per sample
    bytes += "data";
    Put(bytes, dataBytes, 4);
    for (std::size_t i = 0; i < count; ++i)
        Put(bytes, static_cast<std::uint16_t>(samples[i]), 2);
    return bytes;
}
