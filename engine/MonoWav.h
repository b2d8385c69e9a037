// Writing a canonical mono 16-bit PCM WAV file: a 44-byte header ("RIFF",
// a 16-byte "fmt " chunk, "data") and the samples, little-endian. One of
// 128 samples is what the loader takes as is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

std::string MonoWavBytes(const std::int16_t* samples, std::size_t count, std::uint32_t sampleRate = 44100);
