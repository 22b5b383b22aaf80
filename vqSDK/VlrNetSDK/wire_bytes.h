// Little-endian fields of the wire format, read and written at any alignment.
#pragma once

#include <cstdint>
#include <cstring>

namespace qn_net {

inline uint32_t ReadU32(const void* at)
{
    const auto* b = static_cast<const uint8_t*>(at);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

inline uint16_t ReadU16(const void* at)
{
    const auto* b = static_cast<const uint8_t*>(at);
    return static_cast<uint16_t>(b[0] | b[1] << 8);
}

inline void WriteU32(void* at, uint32_t value)
{
    auto* b = static_cast<uint8_t*>(at);
    b[0] = static_cast<uint8_t>(value);
    b[1] = static_cast<uint8_t>(value >> 8);
    b[2] = static_cast<uint8_t>(value >> 16);
    b[3] = static_cast<uint8_t>(value >> 24);
}

inline void WriteU16(void* at, uint16_t value)
{
    auto* b = static_cast<uint8_t*>(at);
    b[0] = static_cast<uint8_t>(value);
    b[1] = static_cast<uint8_t>(value >> 8);
}

} // namespace qn_net
