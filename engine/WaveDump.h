// The wave dump message: one 300-byte System Exclusive message that carries
// a 128-sample wave to one wave number of the instrument.
//
//   F0 01 20 01 0A <index> <293 bytes: 256 wave bytes in 7-in-8 packing> F7
//
// The index is the wave number minus one. The 128 samples are laid out
// little-endian (256 bytes) and cut into groups of seven; each group is
// preceded by a header byte whose bit k carries bit 7 of the group's k-th
// byte, and the bytes themselves are sent with bit 7 cleared. 36 groups of
// 8 bytes and a last group of 5 make 293 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace WaveDump {

inline constexpr std::size_t kBytes = 300;
inline constexpr std::uint8_t kHeader[] = {0xF0, 0x01, 0x20, 0x01, 0x0A};
inline constexpr std::size_t kIndexOffset = 5;
inline constexpr std::size_t kDataOffset = 6;
inline constexpr std::uint8_t kEnd = 0xF7;

// The user waves of the instrument; the message carries the number minus one.
inline constexpr int kFirstWaveNumber = 97;
inline constexpr int kLastWaveNumber = 128;
inline constexpr int kWaveCount = kLastWaveNumber - kFirstWaveNumber + 1;

// What is wrong with the message that starts at `bytes`, of which
// `available` bytes are there: "" when it is a well-formed wave dump (the
// fixed header, an index of 96 to 127, every byte between F0 and F7 below
// 0x80, no header bit for a byte the last group lacks, F7 last): one that
// unpacks to a wave that packs back to the same 300 bytes. Otherwise `offset` is set to the first bad byte, counted
// from `bytes`, and the text says what is wrong there.
std::string Check(const std::uint8_t* bytes, std::size_t available, std::size_t& offset);

// A byte as the messages above write it: two upper-case hex digits.
std::string Hex(std::uint8_t byte);

// The wave number a well-formed message is for.
inline int WaveNumberOf(const std::uint8_t* message)
{
    return message[kIndexOffset] + 1;
}

// The 128 samples of a well-formed message, its packing undone.
void Unpack(const std::uint8_t* message, std::int16_t (&wave)[128]);

// The message for wave index `index` (only its low eight bits are used),
// packed from `wave` into `message`; it touches nothing else.
void Pack(const std::int16_t (&wave)[128], std::int32_t index, std::uint8_t (&message)[kBytes]);

}  // namespace WaveDump
