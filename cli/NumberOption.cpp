#include "NumberOption.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {

// "a number of dB from -96 to 0"; open-ended, "a whole number of 1 or more".
std::string Allowed(const char* kind, const std::string& unit, const std::string& range, bool openEnded = false)
{
    const std::string counted = unit.empty() ? kind : kind + (" of " + unit);
    if (openEnded)
        return counted + (unit.empty() ? " of " : ", ") + range;
    return counted + " from " + range;
}

std::string Shown(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string Refusal(const std::string& text, const std::string& allowed)
{
    return (text.empty() ? "''" : text) + " is not " + allowed;
}

CLI::Validator WholeNumber(std::int64_t low, std::int64_t high, bool saturate, const std::string& unit)
{
    const std::string range = std::to_string(low) + (saturate ? " or more" : " to " + std::to_string(high));
    const std::string allowed = Allowed("a whole number", unit, range, saturate);
    return CLI::Validator(
        [=](std::string& text) {
            const bool negative = !text.empty() && text[0] == '-';
            const std::string digits = text.substr(negative ? 1 : 0);
            if (digits.empty() ||
                !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
                return Refusal(text, allowed);
            // Saturates one past the range: however long, it stays outside.
            const std::int64_t limit = negative ? -low + 1 : high + (saturate ? 0 : 1);
            std::int64_t magnitude = 0;
            for (const char digit : digits)
                magnitude = std::min(magnitude * 10 + (digit - '0'), std::max<std::int64_t>(limit, 0));
            const std::int64_t value = negative ? -magnitude : magnitude;
            if (value < low || value > high)
                return Refusal(text, allowed);
            text = std::to_string(value);
            return std::string();
        },
        range);
}

}  // namespace

CLI::Validator NumberIn(double low, double high, const std::string& unit, bool orZero)
{
    const std::string range = Shown(low) + " to " + Shown(high);
    const std::string allowed = (orZero ? "0 or " : "") + Allowed("a number", unit, range);
    return CLI::Validator(
        [=](std::string& text) {
            const std::size_t sign = !text.empty() && text[0] == '+' ? 1 : 0;
            double value = 0;
            const char* end = text.data() + text.size();
            const auto [stop, failure] = std::from_chars(text.data() + sign, end, value);
            // from_chars reads "nan" and "inf" as numbers too: asked whether
            // it is inside the range, NaN is not.
            if (failure != std::errc() || stop != end || !((value >= low && value <= high) || (orZero && value == 0)))
                return Refusal(text, allowed);
            text.erase(0, sign);
            return std::string();
        },
        (orZero ? "0 or " : "") + range);
}

CLI::Validator WholeNumberIn(std::int64_t low, std::int64_t high, const std::string& unit)
{
    return WholeNumber(low, high, false, unit);
}

CLI::Validator WholeNumberFrom(std::int64_t low, std::int64_t most, const std::string& unit)
{
    return WholeNumber(low, most, true, unit);
}
