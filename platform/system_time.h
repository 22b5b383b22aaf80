// Setting the computer's clock. Needs CAP_SYS_TIME; without it the call
// fails and nothing changes.
#pragma once

#include <optional>

#include "platform/clock.h"

namespace platform {

// The wall-clock instant a local civil time stands for, with its
// milliseconds; empty when a field is out of range or the time does not exist.
std::optional<WallTime> WallTimeForLocal(const CivilTime& civil);

// Sets the system's real-time clock.
bool SetSystemClock(const WallTime& when);

} // namespace platform
