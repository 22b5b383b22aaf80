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
// The code of a positive 13-bit value: segment by the highest bit, then four
// bits of mantissa below it.
constexpr uint8_t AlawCode(int value)
{
    int segment = 0;
    while (segment < 8 && value >= (0x20 << segment)) ++segment;
    if (segment == 8) return uint8_t(0x7F ^ 0xD5);
    int mantissa = (segment < 2 ? value >> 1 : value >> segment) & 0x0F;
    return uint8_t(((segment << 4) | mantissa) ^ 0xD5);
}
constexpr std::array<uint8_t, 2048> LinearToAlawTable()
{
    std::array<uint8_t, 2048> table{};
    for (int index = 0; index < 2048; ++index) table[std::size_t(index)] = AlawCode(index << 1);
    return table;
}
} // namespace detail

// The 16-bit linear value of each of the 256 A-law codes.
inline constexpr std::array<int16_t, 256> kAlawToLinear = detail::AlawTable();

// The A-law code of each positive magnitude shifted right by 4.
inline constexpr std::array<uint8_t, 2048> kLinearToAlaw = detail::LinearToAlawTable();

// Decodes `count` A-law bytes into `count` samples.
void DecodeAlaw(const uint8_t* alaw, std::size_t count, int16_t* pcm);

// The A-law code of one sample: the code of its magnitude (32767 for -32768)
// with bit 7 cleared for a negative sample. On the 127 negative values that
// lie exactly on an interval boundary this picks the neighbouring code one
// step farther from zero than coders that take the one's complement of
// negative values; both are within one quantisation step.
uint8_t EncodeAlawSample(int16_t sample);

// Encodes `count` samples into `count` A-law bytes.
void EncodeAlaw(const int16_t* pcm, std::size_t count, uint8_t* alaw);

} // namespace qn_g711
