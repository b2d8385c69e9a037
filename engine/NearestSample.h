// The loader's fitting rule, shared with qwdump's nearest-sample fit so that
// both pick the very same samples.
#pragma once

#include <cmath>
#include <cstdint>

// Position i (0 to 127) of the fitted wave takes the sample of `n` nearest to
// i * n / 128, halves rounding up. For n >= 128 the index stays below n.
inline std::uint32_t NearestSampleIndex(int i, std::uint32_t n)
{
    return static_cast<std::uint32_t>(std::floor(i * (n * 0.0078125) + 0.5));
}
