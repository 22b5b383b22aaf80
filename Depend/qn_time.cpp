#include "Depend/qn_time.h"

#include "platform/clock.h"
#include "platform/text.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

constexpr int kMinimumCapacity = 24;

template <typename Char>
bool Prepare(Char* buffer, int capacity)
{
    if (buffer == nullptr || capacity < kMinimumCapacity) return false;
    std::memset(buffer, 0, sizeof(Char) * static_cast<std::size_t>(capacity));
    return true;
}

int WriteNarrow(char* buffer, int capacity, const char* format, const platform::CivilTime& t, bool withMs)
{
    if (!Prepare(buffer, capacity)) return 0;
    if (withMs)
        std::snprintf(buffer, static_cast<std::size_t>(capacity), format, t.hour, t.minute, t.second, t.millisecond);
    else
        std::snprintf(buffer, static_cast<std::size_t>(capacity), format, t.year, t.month, t.day, t.hour, t.minute,
                      t.second);
    return 1;
}

int WriteWide(wchar_t* buffer, int capacity, const char* format, const platform::CivilTime& t, bool withMs)
{
    char narrow[64];
    if (WriteNarrow(narrow, sizeof narrow, format, t, withMs) == 0 || !Prepare(buffer, capacity)) return 0;
    platform::CopyBounded(buffer, static_cast<std::size_t>(capacity), platform::Utf8ToWide(narrow));
    return 1;
}

} // namespace

int QNGetDateText(char* buffer, int capacity)
{
    if (!Prepare(buffer, capacity)) return 0;
    platform::CivilTime t = platform::LocalNow();
    std::snprintf(buffer, static_cast<std::size_t>(capacity), "%d%02d%02d", t.year, t.month, t.day);
    return 1;
}

int QNGetDotDateText(wchar_t* buffer, int capacity)
{
    if (!Prepare(buffer, capacity)) return 0;
    platform::CivilTime t = platform::LocalNow();
    std::swprintf(buffer, static_cast<std::size_t>(capacity), L"%d.%02d.%02d", t.year, t.month, t.day);
    return 1;
}

int QNGetDateTimeText(char* buffer, int capacity)
{
    return WriteNarrow(buffer, capacity, "%d%02d%02d_%02d%02d%02d", platform::LocalNow(), false);
}

int QNGetDateTimeText(wchar_t* buffer, int capacity)
{
    return WriteWide(buffer, capacity, "%d%02d%02d_%02d%02d%02d", platform::LocalNow(), false);
}

int QNGetTimeText(char* buffer, int capacity)
{
    return WriteNarrow(buffer, capacity, "%02d:%02d:%02d_%03d", platform::LocalNow(), true);
}

int QNGetTimeText(wchar_t* buffer, int capacity)
{
    return WriteWide(buffer, capacity, "%02d:%02d:%02d_%03d", platform::LocalNow(), true);
}

uint32_t QNTime() { return static_cast<uint32_t>(platform::WallNow().seconds); }

int QNLocalTime(uint32_t seconds, std::tm* record)
{
    if (record == nullptr) return 0;
    platform::CivilTime t = platform::ToLocalTime(static_cast<int64_t>(seconds));
    *record = std::tm{};
    record->tm_year = t.year - 1900;
    record->tm_mon = t.month - 1;
    record->tm_mday = t.day;
    record->tm_hour = t.hour;
    record->tm_min = t.minute;
    record->tm_sec = t.second;
    record->tm_wday = t.weekday;
    record->tm_yday = t.yearday;
    record->tm_isdst = t.isDst;
    return 1;
}

int QNTimeToText(uint32_t seconds, char* buffer, int capacity)
{
    if (buffer == nullptr || capacity <= 23) return 0;
    platform::CivilTime t = platform::ToLocalTime(static_cast<int64_t>(seconds));
    std::memset(buffer, 0, static_cast<std::size_t>(capacity));
    std::snprintf(buffer, static_cast<std::size_t>(capacity), "%d%02d%02d_%02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return 1;
}
