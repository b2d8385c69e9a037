// The 300-byte wave dump message (WaveDump.h has its layout), packed from
// any 128 samples, and CEngine::PackWavToSysex, which packs the engine's.

#include "Engine.h"
#include "WaveDump.h"

#include <algorithm>

void WaveDump::Pack(const std::int16_t (&wave)[128], std::int32_t index, std::uint8_t (&msg)[kBytes])
{
    msg[WaveDump::kBytes - 1] = WaveDump::kEnd;
    std::copy(std::begin(WaveDump::kHeader), std::end(WaveDump::kHeader), msg);
    msg[WaveDump::kIndexOffset] = static_cast<std::uint8_t>(index);

    std::uint8_t data[256];
    for (int i = 0; i < 128; ++i) {
        const auto sample = static_cast<std::uint16_t>(wave[i]);
        data[2 * i] = static_cast<std::uint8_t>(sample & 0xFF);
        data[2 * i + 1] = static_cast<std::uint8_t>(sample >> 8);
    }

    unsigned bit = 0;
    unsigned pos = WaveDump::kDataOffset;
    unsigned header = pos;
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
}

const std::uint8_t* CEngine::PackWavToSysex(std::int32_t index, std::uint32_t& length)
{
    static std::uint8_t msg[WaveDump::kBytes];

    WaveDump::Pack(m_anWave, index, msg);
    length = sizeof msg;
    return msg;
}
