// ITU-T G.711 A-law, the audio of the cameras' streams and of two-way talk.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qn_g711 {

namespace detail {
constexpr int16_t AlawValue(uint8_t code)
{
    int value = code ^ 0x55; // the even bits are stored inverted
    int mantissa = (value & 0x0F) << 4;
    int segment = (value & 0x70) >> 4;
    int magnitude = segment == 0 ? mantissa + 8 : (mantissa + 0x108) << (segment - 1);
    return int16_t((value & 0x80) != 0 ? magnitude : -magnitude);
}
constexpr std::array<int16_t, 256> AlawTable()
{
    std::array<int16_t, 256> table{};
    for (int code = 0; code < 256; ++code) table[std::size_t(code)] = AlawValue(uint8_t(code));
    return table;
}
} // namespace detail

// The 16-bit linear value of each of the 256 A-law codes.
inline constexpr std::array<int16_t, 256> kAlawToLinear = detail::AlawTable();

// Decodes `count` A-law bytes into `count` samples.
void DecodeAlaw(const uint8_t* alaw, std::size_t count, int16_t* pcm);

} // namespace qn_g711
