// CEngine::PackWavToSysex: the 300-byte wave dump message.
//
//   F0 01 20 01 0A <index> <293 bytes: 256 wave bytes in 7-in-8 packing> F7
//
// The 128 samples are laid out little-endian (256 bytes) and cut into groups
// of seven; each group is preceded by a header byte whose bit k carries bit 7
// of the group's k-th byte, and the bytes themselves are sent with bit 7
// cleared. 36 groups of 8 bytes and a last group of 5 make 293 bytes.

#include "Engine.h"

const std::uint8_t* CEngine::PackWavToSysex(std::int32_t index, std::uint32_t& length)
{
    static std::uint8_t msg[300];

    length = sizeof msg;
    msg[299] = 0xF7;
    msg[0] = 0xF0;
    msg[1] = 0x01;
    msg[2] = 0x20;
    msg[3] = 0x01;
    msg[4] = 0x0A;
    msg[5] = static_cast<std::uint8_t>(index);

    std::uint8_t data[256];
    for (int i = 0; i < 128; ++i) {
        const auto sample = static_cast<std::uint16_t>(m_anWave[i]);
        data[2 * i] = static_cast<std::uint8_t>(sample & 0xFF);
        data[2 * i + 1] = static_cast<std::uint8_t>(sample >> 8);
    }

    unsigned bit = 0;
    unsigned pos = 6;
    unsigned header = 6;
    for (const std::uint8_t byte : data) {
        if (bit == 0) {
            header = pos++;
            msg[header] = 0;
        }
        msg[pos++] = byte & 0x7F;
        if (byte & 0x80)
            msg[header] |= static_cast<std::uint8_t>(1u << bit);
        if (++bit == 7)
            bit = 0;
    }
    return msg;
}
