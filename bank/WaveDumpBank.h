// A bank of wave dump messages, gathered from the user's files before
// anything is written or sent: a .syx file's messages as they stand, and
// each WAV file (or each taken frame of a fitted wavetable) packed for the
// next wave number.
#pragma once

#include "InputFile.h"
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

enum class Gathered {
    kBank,
    kFirstWaveMissing,  // WAV files, and no first wave number for them
    kPastLastWave,      // the waves would pass 128
    kUnreadable,        // a file did not load, or is not a well-formed bank
};

// Reads every file, in order. WAV files load as the window loads them, or
// with `fit` are fitted, and go to consecutive wave numbers from
// `firstWave`, which .syx files alone leave unused. A wave number an earlier
// file gave too is the later file's copy, in its place. `notes` gets what
// reading had to say and, unless the bank was gathered, why not.
Gathered GatherWaveDumps(const std::vector<std::string>& files, std::optional<int> firstWave, const FitRequest* fit,
                         std::vector<BankMessage>& bank, ReadNotes& notes);

// The taken frames of `table` (fitted from `file`), packed for consecutive
// wave numbers from `nextWave`, which ends past the last. Those past 128 are
// only counted.
void PackFittedFrames(const FittedTable& table, const std::string& file, int& nextWave, std::vector<BankMessage>& bank);

// "" when a bank from `firstWave` to `nextWave` - 1 stays within 128,
// otherwise why it is refused.
std::string BankOverflow(int firstWave, int nextWave);

// The messages one after another, as a .syx file holds them.
SysexMessage SyxBytes(const std::vector<BankMessage>& bank);
