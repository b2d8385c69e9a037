#include "WaveDump.h"

#include <cstdio>

namespace WaveDump {

std::string Hex(std::uint8_t byte)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

std::string Check(const std::uint8_t* bytes, std::size_t available, std::size_t& offset)
{
    for (offset = 0; offset < kBytes; ++offset) {
        if (offset >= available)
            return offset <= kIndexOffset
                       ? "the file ends inside a message"
                       : "the file ends inside a message (" + std::to_string(available) + " of its 300 bytes)";
        const std::uint8_t byte = bytes[offset];
        if (offset < sizeof kHeader && byte != kHeader[offset])
            return Hex(byte) + " where the wave dump header F0 01 20 01 0A has " + Hex(kHeader[offset]);
        if (offset == kIndexOffset && (byte < kFirstWaveNumber - 1 || byte > kLastWaveNumber - 1))
            return "wave index " + Hex(byte) + " is outside 60-7F (waves 97-128)";
        if (offset == kBytes - 1 && byte != kEnd)
            return Hex(byte) + " where a 300-byte wave dump message ends with F7";
        if (offset > kIndexOffset && offset < kBytes - 1 && byte >= 0x80)
            return Hex(byte) + " inside a wave dump message, where every byte is below 80";
        // The last group carries 4 bytes: its header's bits for 3 more are 0.
        if (offset == kBytes - 6 && (byte & 0x70) != 0)
            return Hex(byte) + " where the last group's header, for 4 bytes, has bits 4-6 clear";
    }
    return "";
}

void Unpack(const std::uint8_t* message, std::int16_t (&wave)[128])
{
    std::uint8_t data[256];
    const std::uint8_t* group = message + kDataOffset;
    for (std::size_t i = 0; i < sizeof data; i += 7, group += 8) {
        for (std::size_t k = 0; k < 7 && i + k < sizeof data; ++k)
            data[i + k] = static_cast<std::uint8_t>(group[1 + k] | (((group[0] >> k) & 1) << 7));
    }
    for (std::size_t i = 0; i < 128; ++i)
        wave[i] = static_cast<std::int16_t>(data[2 * i] | (data[2 * i + 1] << 8));
}

}  // namespace WaveDump
