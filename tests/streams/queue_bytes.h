// Frame bytes the queue tests put and check: put k carries (seed + i) mod 256,
// which the Python model rebuilds on its side, and a read is summed up with
// the same CRC-32 as Python's zlib.crc32.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace queue_test {

inline std::vector<uint8_t> PatternBytes(uint32_t seed, std::size_t length)
{
    std::vector<uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(seed + i);
    return bytes;
}

inline uint32_t Crc32(const uint8_t* data, std::size_t length)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i) crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

} // namespace queue_test
