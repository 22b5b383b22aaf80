#include "vqSDK/VlrNetSDK/bit_reader.h"

namespace qn_net {

void bit_reader::init(const uint8_t* start, std::size_t length)
{
    cursor_ = start;
    end_ = start == nullptr ? nullptr : start + length;
    bitsLeft_ = 8;
    overrun_ = false;
}

uint32_t bit_reader::read_bit()
{
    if (at_end()) {
        overrun_ = true;
        return 0;
    }
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
    for (int i = 0; i < n && i < 32; ++i) {
        if (at_end()) {
            overrun_ = true;
            break;
        }
        value = (value << 1) | read_bit();
    }
    return static_cast<uint32_t>(value);
}

uint32_t bit_reader::read_ue()
{
    int zeros = 0;
    for (;;) {
        if (at_end()) {
            overrun_ = true;
            break;
        }
        if (read_bit() != 0) break;
        if (++zeros >= 32) {
            overrun_ = true;
            return kBadCode;
        }
    }
    uint64_t suffix = read_bits(zeros);
    return static_cast<uint32_t>(suffix + (uint64_t{1} << zeros) - 1);
}

int32_t bit_reader::read_se()
{
    uint32_t code = read_ue();
    if (code == kBadCode) return 0;
    // code k stands for (-1)^(k+1) * ceil(k / 2)
    int64_t magnitude = (static_cast<int64_t>(code) + 1) / 2;
    return static_cast<int32_t>((code & 1u) != 0 ? magnitude : -magnitude);
}

} // namespace qn_net
