#include "vqSDK/QnMp4Helper/annexb.h"

#include <algorithm>

namespace qn_mp4 {
namespace {

bool IsStartCode(const uint8_t* at) { return at[0] == 0 && at[1] == 0 && at[2] == 0 && at[3] == 1; }

} // namespace

long FindNalStart(const uint8_t* data, std::size_t length, int nalType)
{
    if (data == nullptr || length < 6) return -1;
    std::size_t last = length >= 205 ? 199 : length - 6;
    for (std::size_t at = 0; at <= last; ++at) {
        if (IsStartCode(data + at) && (data[at + 4] & 0x1F) == nalType) return long(at);
    }
    return -1;
}

long FindStartCode(const uint8_t* data, std::size_t length, std::size_t from)
{
    if (data == nullptr || length < 6) return -1;
    for (std::size_t at = from; at + 6 <= length; ++at) {
        if (IsStartCode(data + at)) return long(at);
    }
    return -1;
}

void PutBigEndian32(uint8_t* out, uint32_t value)
{
    out[0] = uint8_t(value >> 24);
    out[1] = uint8_t(value >> 16);
    out[2] = uint8_t(value >> 8);
    out[3] = uint8_t(value);
}

void ReorderSampleForReading(std::vector<uint8_t>& sample)
{
    if (sample.size() < 4) return;
    PutBigEndian32(sample.data(), 1);
    long second = FindStartCode(sample.data(), sample.size(), 4);
    if (second > 0) std::rotate(sample.begin(), sample.begin() + second, sample.end());
}

} // namespace qn_mp4
