// Little-endian helpers: WAV files and the wave dump message are little-endian
// whatever the host is.
#pragma once

#include <cstdint>

namespace ByteOrder {

inline std::uint16_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t Le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// A sample as it was stored in the file, converted to host order.
inline std::int16_t LittleToHost(std::int16_t v)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    const auto u = static_cast<std::uint16_t>(v);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((u >> 8) | (u << 8)));
#else
    return v;
#endif
}

}  // namespace ByteOrder
