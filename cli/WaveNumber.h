// Wave numbers as the user types them: decimal whole numbers from 97 to 128,
// leading zeros allowed ("0100" is 100). Octal, hex and exponents are not
// numbers here, whatever strtol would make of them.
#pragma once

#include "WaveDump.h"

#include <CLI/CLI.hpp>

#include <string>

using WaveDump::kFirstWaveNumber;
using WaveDump::kLastWaveNumber;

// --wave's help for pack and send, which hand it to GatherWaveDumps.
inline constexpr char kFirstWaveHelp[] =
    "Wave number of the first WAV file, 97 to 128; the next ones follow in order. Required with WAV files; .syx "
    "messages keep their own, so with only .syx files it is not used (and a notice says so)";

// Reads `text` into `number`. Returns "" or why it is refused, e.g.
// "0x61 is not a whole number" or "129 is outside 97–128".
std::string ParseWaveNumber(const std::string& text, int& number);

// For an int option: refuses what ParseWaveNumber refuses and hands CLI11
// the number in plain decimal.
CLI::Validator WaveNumberValidator();
