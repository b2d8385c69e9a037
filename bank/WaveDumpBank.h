// The wave dump messages a run of qwdump pack, send or fit carries, gathered
// from its files before anything is written or sent: a .syx file's messages
// as they stand, and each WAV file (or each taken frame of a fitted
// wavetable) packed for the next wave number.
#pragma once

#include "SyxFile.h"
#include "WaveFit.h"

#include <optional>
#include <string>
#include <vector>

struct BankMessage
{
    SysexMessage bytes;
    std::string file;  // as the user named it
    int waveNumber;    // 97 to 128
};

// Reads every file, in order. WAV files load as the window loads them, or
// with `fit` are fitted, and go to consecutive wave numbers from
// `firstWave`. Returns the exit status: 0 with `bank` filled, 2 when a WAV
// file is given without a first wave number or the numbers would pass 128,
// 1 when a file does not load or is not a well-formed bank; the reason is on
// stderr.
int GatherWaveDumps(const std::vector<std::string>& files, std::optional<int> firstWave, const FitRequest* fit,
                    std::vector<BankMessage>& bank);

// The taken frames of `table` (fitted from `file`), packed for consecutive
// wave numbers from `nextWave`, which ends past the last. Those past 128 are
// only counted.
void PackFittedFrames(const FittedTable& table, const std::string& file, int& nextWave, std::vector<BankMessage>& bank);

// Refuses, with a line on stderr, a bank from `firstWave` to `nextWave` - 1
// that passes 128. Returns whether it fits.
bool BankFits(int firstWave, int nextWave);

// The messages one after another, as a .syx file holds them.
SysexMessage SyxBytes(const std::vector<BankMessage>& bank);
