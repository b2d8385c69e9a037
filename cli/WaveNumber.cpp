#include "WaveNumber.h"

#include <algorithm>
#include <cctype>

std::string ParseWaveNumber(const std::string& text, int& number)
{
    const auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    if (text.empty() || !std::all_of(text.begin(), text.end(), isDigit))
        return (text.empty() ? "''" : text) + " is not a whole number";
    // Saturates: any number past the range is refused alike, however long.
    long value = 0;
    for (const char digit : text)
        value = std::min(value * 10 + (digit - '0'), 1000L);
    if (value < kFirstWaveNumber || value > kLastWaveNumber)
        return text + " is outside " + std::to_string(kFirstWaveNumber) + "\u2013" + std::to_string(kLastWaveNumber);
    number = static_cast<int>(value);
    return "";
}

CLI::Validator WaveNumberValidator()
{
    return CLI::Validator(
        [](std::string& text) {
            int number = 0;
            std::string refusal = ParseWaveNumber(text, number);
            if (refusal.empty())
                text = std::to_string(number);
            return refusal;
        },
        "97-128", "wave number");
}
