#include "vqSDK/VlrNetSDK/bit_reader.h"

namespace qn_net {

void bit_reader::init(const uint8_t* start, std::size_t length)
{
    cursor_ = start;
    end_ = start == nullptr ? nullptr : start + length;
    bitsLeft_ = 8;
}

uint32_t bit_reader::read_bit()
{
    if (at_end()) return 0;
    --bitsLeft_;
    uint32_t bit = (*cursor_ >> bitsLeft_) & 1u;
    if (bitsLeft_ == 0) {
        ++cursor_;
        bitsLeft_ = 8;
    }
    return bit;
}

uint32_t bit_reader::read_bits(int n)
{
    uint64_t value = 0;
    for (int i = 0; i < n && i < 32 && !at_end(); ++i) value = (value << 1) | read_bit();
    return static_cast<uint32_t>(value);
}

uint32_t bit_reader::read_ue()
{
    int zeros = 0;
    while (!at_end() && read_bit() == 0) {
        if (++zeros >= 32) return kBadCode;
    }
    uint64_t suffix = read_bits(zeros);
    return static_cast<uint32_t>(suffix + (uint64_t{1} << zeros) - 1);
}

} // namespace qn_net
