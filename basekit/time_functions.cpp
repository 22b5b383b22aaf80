#include "basekit/time_functions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/civil_calendar.h"
#include "platform/clock.h"
#include "platform/system_time.h"
#include "platform/text.h"

namespace {

namespace cal = platform::calendar;

SYS_TIME toSysTime(const platform::CivilTime &civil) {
    SYS_TIME t{};
    t.year = static_cast<uint16_t>(civil.year);
    t.month = static_cast<uint8_t>(civil.month);
    t.day = static_cast<uint8_t>(civil.day);
    t.hour = static_cast<uint8_t>(civil.hour);
    t.minute = static_cast<uint8_t>(civil.minute);
    t.second = static_cast<uint8_t>(civil.second);
    t.millisecond = static_cast<uint16_t>(civil.millisecond);
    t.weekday = static_cast<uint8_t>(civil.weekday);
    t.yearday = static_cast<uint16_t>(civil.yearday);
    return t;
}

platform::CivilTime toCivil(const SYS_TIME &t) {
    platform::CivilTime civil;
    civil.year = t.year;
    civil.month = t.month;
    civil.day = t.day;
    civil.hour = t.hour;
    civil.minute = t.minute;
    civil.second = t.second;
    civil.millisecond = t.millisecond;
    civil.isDst = -1;
    return civil;
}

std::optional<int64_t> localSeconds(const SYS_TIME &t) { return platform::FromLocalTime(toCivil(t)); }

void splitForm(const SYS_TIME &t, int *date, int *clock) {
    if (date != nullptr)
        *date = t.year * 10000 + t.month * 100 + t.day;
    if (clock != nullptr)
        *clock = t.hour * 10000 + t.minute * 100 + t.second;
}

}  // namespace

void GetTime(SYS_TIME *time, int dayOffset) {
    if (time == nullptr)
        return;
    const platform::WallTime now = platform::WallNow();
    *time = toSysTime(platform::ToLocalTime(now.seconds + int64_t{dayOffset} * 86400, now.milliseconds));
}

int SetTime(const SYS_TIME *time) {
    if (time == nullptr)
        return 0;
    const std::optional<platform::WallTime> when = platform::WallTimeForLocal(toCivil(*time));
    return when && platform::SetSystemClock(*when) ? 1 : 0;
}

void GetSeconds(int64_t *seconds, int *milliseconds) {
    const platform::WallTime now = platform::WallNow();
    if (seconds != nullptr)
        *seconds = now.seconds;
    if (milliseconds != nullptr)
        *milliseconds = now.milliseconds;
}

int bk_gettimeofday(bk_timeval *now, void *) {
    if (now == nullptr)
        return -1;
    const platform::WallTime wall = platform::WallNow();
    now->tv_sec = wall.seconds;
    now->tv_usec = int64_t{wall.milliseconds} * 1000;
    return 0;
}

void SecondToSystime(int64_t seconds, SYS_TIME *time) {
    if (time != nullptr)
        *time = toSysTime(platform::ToLocalTime(seconds, 0));
}

int SystimeToSecond(const SYS_TIME *time, int64_t *seconds) {
    if (time == nullptr)
        return 0;
    const std::optional<int64_t> value = localSeconds(*time);
    if (!value)
        return 0;
    if (seconds != nullptr)
        *seconds = *value;
    return 1;
}

void SystimeToFormTime(const SYS_TIME *time, int *date, int *clock) {
    if (time != nullptr)
        splitForm(*time, date, clock);
}

void SecondToFormTime(int64_t seconds, int *date, int *clock) {
    splitForm(toSysTime(platform::ToLocalTime(seconds, 0)), date, clock);
}

int SecondToFormStr_s(int64_t seconds, char *text, size_t capacity) {
    if (text == nullptr)
        return 0;
    const SYS_TIME t = toSysTime(platform::ToLocalTime(seconds, 0));
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return platform::CopyIfFits(text, capacity, buffer) ? 1 : 0;
}

void SecondToFormStr(int64_t seconds, char *text) { SecondToFormStr_s(seconds, text, 15); }

void StrTimeToFormTime(const char *text, int *date, unsigned *clock) {
    int dateValue = 0;
    unsigned clockValue = 0;
    if (text != nullptr && std::strlen(text) >= 14) {
        char datePart[9] = {};
        char clockPart[7] = {};
        std::memcpy(datePart, text, 8);
        std::memcpy(clockPart, text + 8, 6);
        std::sscanf(datePart, "%d", &dateValue);
        std::sscanf(clockPart, "%u", &clockValue);
    }
    if (date != nullptr)
        *date = dateValue;
    if (clock != nullptr)
        *clock = clockValue;
}

int MakeHHMMSSXXX(int hour, int minute, int second, int millisecond) {
    return (hour % 100) * 10000000 + (minute % 100) * 100000 + (second % 100) * 1000 + millisecond;
}

int GetWeekDay(int year, int month, int day) { return cal::weekday(cal::daysFromCivil(year, month, day)); }

int64_t GetDifferSecondsNums(const SYS_TIME *first, const SYS_TIME *second) {
    int64_t a = 0;
    if (first == nullptr)
        a = platform::WallNow().seconds;
    else
        a = localSeconds(*first).value_or(0);
    const int64_t b = second == nullptr ? 0 : localSeconds(*second).value_or(0);
    return a - b;
}

void GetTimeAddSeconds(SYS_TIME *time, int64_t seconds) {
    if (time == nullptr)
        return;
    const std::optional<int64_t> base = localSeconds(*time);
    if (!base)
        return;
    const uint16_t millisecond = time->millisecond;
    *time = toSysTime(platform::ToLocalTime(*base + seconds, millisecond));
}

int YYMMDD_addval(int date, int days) {
    const int year = date / 10000;
    const int month = date / 100 % 100;
    const int day = date % 100;
    // Pure calendar arithmetic: the answer cannot depend on a daylight-saving
    // change between the two dates.
    const cal::Date result = cal::civilFromDays(cal::daysFromCivil(year, month, day) + days);
    return static_cast<int>(result.year * 10000 + result.month * 100 + result.day);
}

int GetDaysInMonth(int year, int month) {
    const int days = cal::daysInMonth(year, month);
    return days == 0 ? -1 : days;
}
