#include "platform/clock.h"

#include "platform/event.h"

#include <cerrno>
#include <ctime>

namespace platform {
namespace {

CivilTime FromTm(const std::tm& tm, int milliseconds)
{
    CivilTime c;
    c.year = tm.tm_year + 1900;
    c.month = tm.tm_mon + 1;
    c.day = tm.tm_mday;
    c.hour = tm.tm_hour;
    c.minute = tm.tm_min;
    c.second = tm.tm_sec;
    c.millisecond = milliseconds;
    c.weekday = tm.tm_wday;
    c.yearday = tm.tm_yday;
    c.isDst = tm.tm_isdst > 0 ? 1 : 0;
    return c;
}

} // namespace

int64_t MonotonicMs()
{
    timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

WallTime WallNow()
{
    timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return {static_cast<int64_t>(ts.tv_sec), static_cast<int>(ts.tv_nsec / 1000000)};
}

CivilTime ToLocalTime(int64_t seconds, int milliseconds)
{
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return FromTm(tm, milliseconds);
}

CivilTime ToUtcTime(int64_t seconds, int milliseconds)
{
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    return FromTm(tm, milliseconds);
}

CivilTime LocalNow()
{
    WallTime now = WallNow();
    return ToLocalTime(now.seconds, now.milliseconds);
}

std::optional<int64_t> FromLocalTime(const CivilTime& civil)
{
    std::tm tm{};
    tm.tm_year = civil.year - 1900;
    tm.tm_mon = civil.month - 1;
    tm.tm_mday = civil.day;
    tm.tm_hour = civil.hour;
    tm.tm_min = civil.minute;
    tm.tm_sec = civil.second;
    tm.tm_isdst = civil.isDst < 0 ? -1 : civil.isDst;
    errno = 0;
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1) && errno != 0) return std::nullopt;
    return static_cast<int64_t>(t);
}

void SleepMs(int64_t milliseconds)
{
    if (milliseconds <= 0) return;
    timespec ts{static_cast<std::time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

bool Clock::WaitFor(Event& wake, int64_t ms) const
{
    return wake.Wait(ms < 0 ? 0 : ms) == Event::kSignalled;
}

const Clock& Clock::System()
{
    static const Clock system;
    return system;
}

} // namespace platform
