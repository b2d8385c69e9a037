// The wave dump messages a run of qwdump pack or send carries, gathered from
// its files before anything is written or sent: a .syx file's messages as
// they stand, and each WAV file packed for the next wave number.
#pragma once

#include "SyxFile.h"

#include <optional>
#include <string>
#include <vector>

struct BankMessage
{
    SysexMessage bytes;
    std::string file;  // as the user named it
    int waveNumber;    // 97 to 128
};

// Reads every file, in order. WAV files load as the window loads them (or
// are fitted with `fitMethod`, when given) and go to consecutive wave
// numbers from `firstWave`. Returns the exit status: 0 with `bank` filled,
// 2 when a WAV file is given without a first wave number or the numbers
// would pass 128, 1 when a file does not load or is not a well-formed bank;
// the reason is on stderr.
int GatherWaveDumps(const std::vector<std::string>& files, std::optional<int> firstWave,
                    const std::string& fitMethod, std::vector<BankMessage>& bank);
