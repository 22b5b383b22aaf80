// Cloud day indexes: one file per camera and local day that tells, for every
// ten-second slot, whether something was recorded and whether a ".264"
// segment file starts there.
//
//   offset 0      'V'
//   offset 1-2    header length, two ASCII digits ("16")
//   offset 3-4    slot length in seconds, two ASCII digits ("10"; "60" in the
//                 per-minute indexes held in memory)
//   offset 15     completion mark, the character '1' when set
//   offset 16...  one flag byte per slot
//
// Time rule for every caller: search ranges and entry times are instants
// (seconds since 1970, UTC). The day an index covers is the local calendar
// day of the range's start, and a slot's time is its wall-clock time on that
// local day converted to an instant. A caller that means "the whole of day D"
// therefore passes local midnight of D and local 23:59:59 of D, not the UTC
// day. Ten-second day files follow the zone's daylight-saving rules; the
// per-minute indexes take their wall-clock times as standard time (daylight
// saving off), as the recorder writes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qn_cloud {

inline constexpr std::size_t kDayIndexHeaderLength = 16;
inline constexpr int kDaySlotCount = 8640;   // ten-second slots
inline constexpr int kMinuteSlotCount = 1440; // one-minute slots
inline constexpr int kSegmentStartSum = 100;

// bit 0 counts 1, bit 1 counts 2, bit 2 counts 4, bit 7 counts 100; bits 3 to
// 6 count nothing. 0 nothing recorded, 1-99 recorded, >= 100 a segment starts.
int DayIndexFlagSum(uint8_t flags);

// "<folder>corvul_day_YYYYMMDD.index"; the folder ends in its separator.
std::string DayIndexFileName(const std::string& folder, int year, int month, int day);
// "<folder>corvul_YYYYMMDD_HH_MM_U.264" for a ten-second slot (0-8639), where U
// is the slot's ten-second unit within its minute.
std::string SegmentFileName(const std::string& folder, int year, int month, int day, int slot);

// The end of a search that may not leave start's local day: `end` when it is
// on that day, 23:59:59 local of that day when it is later, `start` when it is
// earlier than `start`.
int64_t ClampToStartDay(int64_t start, int64_t end);

struct DayIndexEntry {
    std::string path; // segment file, empty when no segment starts in the slot
    int64_t start = 0;
    int64_t end = 0; // start + 10
    int sum = 0;
};

struct SegmentListEntry {
    std::string path;
    int sum = 0;
};

struct MinuteIndexEntry {
    int64_t start = 0;
    int64_t end = 0; // start + 60
    int sum = 0;
};

// Appends every recorded slot of the index of start's local day in `folder`
// whose start lies in [start, clamped end]. The number of entries appended,
// or -1 when the file is missing or does not begin with 'V'. At most one day
// of slots is read, however long the file is.
int parse_day_index_file(std::vector<DayIndexEntry>& list, int64_t start, int64_t end,
                         const std::string& folder);

// The segment files of the same walk, in slot order: only slots where a
// segment starts, since only those name a file to play.
int ListDaySegments(std::vector<SegmentListEntry>& list, int64_t start, int64_t end,
                    const std::string& folder);

// Per-minute index in memory: one entry for every slot where a segment starts,
// on the local day of `dayTime`. 0 when the buffer is shorter than a header,
// -1 when it does not begin with 'V', else the count. The first form fills at
// most `capacity` records of `chain`; the second appends to `list`.
int parse_day_index_minutes(MinuteIndexEntry* chain, int capacity, const uint8_t* buffer,
                            std::size_t length, int64_t dayTime);
int parse_day_index_buffer(std::vector<MinuteIndexEntry>& list, const uint8_t* buffer,
                           std::size_t length, int64_t dayTime);

// Zeroes the slots of [start, end) in an index file; `dayStart` is the
// instant of the index day's first slot. False on a range outside the day, a
// header that names a zero slot length, or any file error.
bool ClearDayIndexRange(int64_t start, int64_t end, const std::string& path, int64_t dayStart);

// The completion mark at header length - 1: 1 when set, -1 when not set, when
// the file cannot be read or when the header length is outside 1..32.
int ReadDayIndexCompletionMark(const std::string& path);
// 1 when the mark was written, -1 otherwise.
int SetDayIndexCompletionMark(const std::string& path);

} // namespace qn_cloud
