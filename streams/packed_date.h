// The packed date word that frame times and lens blocks carry:
//   bits 0-5 second, 6-11 minute, 12-16 hour, 17-21 day of month,
//   22-25 month (1-12), 26-31 year - 2000.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace streams {

uint32_t PackDate(const platform::CivilTime& time);
platform::CivilTime UnpackDate(uint32_t packed);
// The local time now, packed; 0 for a missing output.
int PackedDateNow(uint32_t* out);

} // namespace streams
