// From file to message: the first byte picks the wave number (97..128), the
// rest is the WAV file. Whatever the engine then holds, the message must be
// a well-formed wave dump for that number, and unpack to the engine's wave.

#include "LoadContract.h"
#include "WaveDump.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int waveNumber = WaveDump::kFirstWaveNumber + data[0] % WaveDump::kWaveCount;
    CheckLoadContract(s_Engine, s_Engine.LoadWaveFile(WriteInputFile(data + 1, size - 1)));

    std::uint32_t length = 0;
    const std::uint8_t* msg = s_Engine.PackWavToSysex(waveNumber - 1, length);
    std::size_t offset = 0;
    if (length != WaveDump::kBytes || !WaveDump::Check(msg, length, offset).empty() ||
        WaveDump::WaveNumberOf(msg) != waveNumber)
        ContractViolated("not a well-formed wave dump for the wave number");
    std::int16_t wave[128];
    WaveDump::Unpack(msg, wave);
    if (!std::equal(wave, wave + 128, s_Engine.m_anWave))
        ContractViolated("the message does not unpack to the engine's wave");
    return 0;
}
