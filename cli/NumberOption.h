// Numbers as qwdump's options take them. Each refusal says what is allowed,
// in words: "--gain: nan is not a number of dB from -96 to 0". CLI11's own
// range checks let NaN through (every comparison with it is false), read
// "010" as octal, and give ranges in machine terms ("Value 0 not in range
// 0.000000 to 1797693...").
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>

// For a floating-point option: a finite decimal number from `low` to `high`
// (or 0 too, with `orZero`) in `unit`, e.g. "dB". Refuses nan, inf, hex and
// anything past the range.
CLI::Validator NumberIn(double low, double high, const std::string& unit, bool orZero = false);

// For an integer option: a decimal whole number from `low` to `high`, in
// `unit` ("" for a plain count). Leading zeros are allowed ("010" is 10); a
// number of any length past the range is refused alike.
CLI::Validator WholeNumberIn(std::int64_t low, std::int64_t high, const std::string& unit);

// The same with no upper end: a longer number than `most` reads as `most`,
// which must be the option's largest value.
CLI::Validator WholeNumberFrom(std::int64_t low, std::int64_t most, const std::string& unit);
