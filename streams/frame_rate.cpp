#include "streams/frame_rate.h"

namespace streams {
namespace {

constexpr std::size_t kProbeWindow = 256;
constexpr std::size_t kRateOffset = 54;
constexpr float kDefaultRate = 20.0f;

} // namespace

float RateFromByte(uint8_t f)
{
    return f <= 30 ? static_cast<float>(f) : 1.0f / static_cast<float>(f - 30);
}

int ProbeFrameRate(const uint8_t* buffer, std::size_t length, float* rate)
{
    if (buffer == nullptr || rate == nullptr) return 0;
    for (std::size_t at = 0; at < kProbeWindow && at + 4 <= length; ++at) {
        if (buffer[at] != 0 || buffer[at + 1] != 0 || buffer[at + 2] != 0 || buffer[at + 3] != 1) continue;
        if (at + kRateOffset >= length) return 0;
        const uint8_t* unit = buffer + at;
        if (unit[7] != 'Q' || unit[8] != 'N') return 0;
        uint8_t value = unit[kRateOffset];
        *rate = value == 0 ? kDefaultRate : RateFromByte(value);
        return 1;
    }
    return 0;
}

} // namespace streams
