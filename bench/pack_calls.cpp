// Calls PackWavToSysex a fixed number of times, for counting its instructions
// under callgrind (repeatable whatever else the machine is doing).
//
//   pack_calls [CALLS]

#include "Engine.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const long calls = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000;
    CEngine engine;
    for (int i = 0; i < 128; ++i)
        engine.m_anWave[i] = static_cast<std::int16_t>(i * 40503);
    unsigned checksum = 0;
    std::uint32_t length = 0;
    for (long n = 0; n < calls; ++n)
        checksum += engine.PackWavToSysex(static_cast<std::int32_t>(96 + n % 32), length)[7];
    std::printf("%u\n", checksum);
    return 0;
}
