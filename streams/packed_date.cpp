#include "streams/packed_date.h"

namespace streams {

uint32_t PackDate(const platform::CivilTime& time)
{
    auto field = [](int value, int bits) { return static_cast<uint32_t>(value) & ((1u << bits) - 1); };
    return field(time.second, 6) | field(time.minute, 6) << 6 | field(time.hour, 5) << 12 | field(time.day, 5) << 17 |
           field(time.month, 4) << 22 | field(time.year - 2000, 6) << 26;
}

platform::CivilTime UnpackDate(uint32_t packed)
{
    platform::CivilTime time;
    time.second = static_cast<int>(packed & 0x3F);
    time.minute = static_cast<int>(packed >> 6 & 0x3F);
    time.hour = static_cast<int>(packed >> 12 & 0x1F);
    time.day = static_cast<int>(packed >> 17 & 0x1F);
    time.month = static_cast<int>(packed >> 22 & 0xF);
    time.year = 2000 + static_cast<int>(packed >> 26);
    return time;
}

int PackedDateNow(uint32_t* out)
{
    if (out == nullptr) return 0;
    *out = PackDate(platform::LocalNow());
    return 1;
}

} // namespace streams
