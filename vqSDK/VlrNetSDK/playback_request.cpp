#include "vqSDK/VlrNetSDK/playback_request.h"

namespace qn_net {

int32_t wire_playback_command(int32_t command)
{
    switch (command) {
    case 99:
        return 0;
    case 999:
        return 1;
    case 0:
        return 2;
    case 1:
        return 3;
    case 2:
        return 10;
    case 3:
        return 11;
    case 4:
        return 4;
    default:
        return 0;
    }
}

int32_t playback_span_seconds(const playback_record& r)
{
    int32_t span = (r[kEndHour] - r[kStartHour]) * 3600 + (r[kEndMinute] - r[kStartMinute]) * 60 +
                   (r[kEndSecond] - r[kStartSecond]);
    // An end before the start lies on the next day; an empty span stays empty.
    return span < 0 ? span + 86400 : span;
}

int32_t days_in_month(int32_t year, int32_t month)
{
    switch (month) {
    case 2:
        return (year % 400 == 0 || (year % 4 == 0 && year % 100 != 0)) ? 29 : 28;
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12:
        return 31;
    default:
        return 30;
    }
}

playback_record seek_playback_record(const playback_record& record, int32_t percent)
{
    playback_record moved = record;
    // 64 bits: the percent is the caller's and need not be sane.
    const int64_t product = int64_t{percent} * playback_span_seconds(record);
    const int64_t hours = product / 360000;
    const int64_t seconds = product / 100 - hours * 3600;

    int64_t second = record[kStartSecond] + seconds % 60;
    int64_t carry = 0;
    if (second > 59) {
        second -= 60;
        carry = 1;
    }
    int64_t minute = record[kStartMinute] + seconds / 60 + carry;
    carry = 0;
    if (minute > 59) {
        minute -= 60;
        carry = 1;
    }
    int64_t hour = record[kStartHour] + hours + carry;
    carry = 0;
    if (hour > 23) {
        hour -= 24;
        carry = 1;
    }
    int32_t year = record[kStartYear];
    int32_t month = record[kStartMonth];
    int64_t day = record[kStartDay] + carry;
    if (day > days_in_month(year, month)) {
        day = 1;
        if (++month > 12) {
            month = 1;
            ++year;
        }
    }
    moved[kStartYear] = year;
    moved[kStartMonth] = month;
    moved[kStartDay] = static_cast<int32_t>(day);
    moved[kStartHour] = static_cast<int32_t>(hour);
    moved[kStartMinute] = static_cast<int32_t>(minute);
    moved[kStartSecond] = static_cast<int32_t>(second);
    return moved;
}

} // namespace qn_net
