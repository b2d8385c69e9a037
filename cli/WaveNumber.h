// Wave numbers as the user types them: decimal whole numbers from 97 to 128,
// leading zeros allowed ("0100" is 100). Octal, hex and exponents are not
// numbers here, whatever strtol would make of them.
#pragma once

#include "WaveDump.h"

#include <CLI/CLI.hpp>

#include <string>

using WaveDump::kFirstWaveNumber;
using WaveDump::kLastWaveNumber;

// Reads `text` into `number`. Returns "" or why it is refused, e.g.
// "0x61 is not a whole number" or "129 is outside 97–128".
std::string ParseWaveNumber(const std::string& text, int& number);

// For an int option: refuses what ParseWaveNumber refuses and hands CLI11
// the number in plain decimal.
CLI::Validator WaveNumberValidator();
