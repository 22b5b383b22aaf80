// The clock the MP4 readers pace their samples on: the system clock, or a
// test clock that lets a test check the pacing without waiting for it.
#pragma once

#include "platform/clock.h"

namespace qn_mp4 {

const platform::Clock& ReadClock();
// nullptr returns to the system clock. Set it before a read starts.
void SetReadClock(const platform::Clock* clock);

} // namespace qn_mp4
