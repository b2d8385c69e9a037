// From file to message: the first byte picks the wave number (97..128), the
// rest is the WAV file. Whatever the engine then holds, the message must be
// 300 bytes framed by F0 and F7 with nothing at or above 0x80 between them.

#include "LoadContract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int waveNumber = 97 + data[0] % 32;
    CheckLoadContract(s_Engine, s_Engine.LoadWaveFile(WriteInputFile(data + 1, size - 1)));

    std::uint32_t length = 0;
    const std::uint8_t* msg = s_Engine.PackWavToSysex(waveNumber - 1, length);
    if (length != 300 || msg[0] != 0xF0 || msg[299] != 0xF7 || msg[5] != waveNumber - 1)
        ContractViolated("message framing or wave index byte");
    for (std::uint32_t i = 1; i < 299; ++i)
        if (msg[i] >= 0x80)
            ContractViolated("a byte between F0 and F7 has its top bit set");
    return 0;
}
