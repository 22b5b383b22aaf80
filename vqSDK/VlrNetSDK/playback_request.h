// The playback record of TF-card playback as the playback messages carry it:
// 41 values, of which 29-34 are the start year, month, day, hour, minute and
// second and 38-40 the end hour, minute and second.
#pragma once

#include <array>
#include <cstdint>

namespace qn_net {

using playback_record = std::array<int32_t, 41>;

enum playback_field : int {
    kStartYear = 29,
    kStartMonth,
    kStartDay,
    kStartHour,
    kStartMinute,
    kStartSecond,
    kEndHour = 38,
    kEndMinute,
    kEndSecond,
};

// The command the caller names (99 start, 999 stop, 0 pause, 1 resume, 2 and
// 3 step, 4 seek) as it goes on the wire; 0 for any other.
int32_t wire_playback_command(int32_t command);

// Seconds from the record's start time to its end time, across midnight.
int32_t playback_span_seconds(const playback_record& record);

// The record with its start moved `percent` of the span forward (days roll
// over into months and years); everything else stays.
playback_record seek_playback_record(const playback_record& record, int32_t percent);

// Days of a month; a month outside 1-12 counts 30.
int32_t days_in_month(int32_t year, int32_t month);

} // namespace qn_net
