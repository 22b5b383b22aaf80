#include "platform/system_time.h"

#include <ctime>

namespace platform {

std::optional<WallTime> WallTimeForLocal(const CivilTime& civil)
{
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (civil.year < 1970 || civil.month < 1 || civil.month > 12 || civil.day < 1 ||
        civil.day > kDays[civil.month - 1] || civil.hour < 0 || civil.hour > 23 || civil.minute < 0 ||
        civil.minute > 59 || civil.second < 0 || civil.second > 59 || civil.millisecond < 0 ||
        civil.millisecond > 999)
        return std::nullopt;
    CivilTime probe = civil;
    probe.isDst = -1;
    const std::optional<int64_t> seconds = FromLocalTime(probe);
    if (!seconds) return std::nullopt;
    // mktime rolls 30 February over into March; such a date does not exist.
    const CivilTime back = ToLocalTime(*seconds);
    if (back.year != civil.year || back.month != civil.month || back.day != civil.day) return std::nullopt;
    return WallTime{*seconds, civil.millisecond};
}

bool SetSystemClock(const WallTime& when)
{
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(when.seconds);
    ts.tv_nsec = static_cast<long>(when.milliseconds) * 1000000L;
    return ::clock_settime(CLOCK_REALTIME, &ts) == 0;
}

} // namespace platform
