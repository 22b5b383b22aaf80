// Reads bit fields, most significant bit first, from a byte range: the H.264
// parameter-set parser reads its fields with it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qn_net {

class bit_reader {
public:
    // Returned by read_ue when the code is longer than 32 bits can hold.
    static constexpr uint32_t kBadCode = 0xFFFFFFFFu;

    bit_reader() = default;
    bit_reader(const uint8_t* start, std::size_t length) { init(start, length); }

    void init(const uint8_t* start, std::size_t length);
    // The next bit, 0 at the end of the range.
    uint32_t read_bit();
    // The next n bits (n up to 32); at the end of the range the bits gathered
    // so far.
    uint32_t read_bits(int n);
    // An unsigned exponential-Golomb number, or kBadCode when 32 or more zero
    // bits lead it (its value would not fit in 32 bits).
    uint32_t read_ue();
    // A signed exponential-Golomb number (codes 1, 2, 3, 4 ... map to 1, -1,
    // 2, -2 ...); a code too long for read_ue gives 0 and counts as overrun.
    int32_t read_se();
    bool at_end() const { return cursor_ >= end_; }
    // Set once any read wanted a bit beyond the end of the range, or a code
    // was too long to hold; a parser checks it after its reads instead of
    // after each one. init clears it.
    bool overrun() const { return overrun_; }

private:
    const uint8_t* cursor_ = nullptr;
    const uint8_t* end_ = nullptr;
    int bitsLeft_ = 8;
    bool overrun_ = false;
};

} // namespace qn_net
