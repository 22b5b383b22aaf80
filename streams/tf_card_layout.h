// A TF card copied to the computer keeps the camera's tree:
//   "rec_info"                       number, device number, device id (lines)
//   YYYY-MM-DD/HH/MM.h264            one segment per recorded minute
//   YYYY-MM-DD/HH/MM-SS?K.jpg        snapshots, K the kind letter
// and the summaries built from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace streams {

constexpr std::size_t kTfDaySlots = 24 * 60 * 6; // one per 10 seconds
constexpr uint8_t kTfSlotRecorded = 0x80;
// A segment of this size or less holds no playable minute.
constexpr uint64_t kTfMinSegmentBytes = 102400;
constexpr int kTfCardYears = 10;

#pragma pack(push, 1)
struct VQ_TF_CARD_INFO {
    uint32_t deviceNumber;
    int16_t years[kTfCardYears]; // newest first, 0 in empty entries
};

struct VQ_TF_DATE_FLAGS {
    uint8_t days[12][32]; // [month - 1][day - 1] is 1 when the day folder exists
};

struct VQ_TF_DAY_MAP {
    uint32_t date; // TfDayMapDate
    uint8_t slots[kTfDaySlots];
    uint8_t reserved[16];
};
#pragma pack(pop)
static_assert(sizeof(VQ_TF_CARD_INFO) == 24);
static_assert(sizeof(VQ_TF_DATE_FLAGS) == 384);
static_assert(sizeof(VQ_TF_DAY_MAP) == 8660);

// The day map's own date word (year bits 0-22, month 23-26, day 27-31); not
// the packed date of frame times.
uint32_t TfDayMapDate(int year, int month, int day);

// The minute segment "YYYY-MM-DD/HH/MM.h264" of a day under the card folder
// (which ends in "/"); minuteOfDay counts from 00:00.
std::string TfSegmentPath(const std::string& cardFolder, int year, int month, int day, int minuteOfDay);

// Name rules of the card's files; each gives -1 for a name that breaks them.
// "YYYY-MM-DD": the date as year * 10000 + month * 100 + day.
int TfDayFolderDate(std::string_view name);
// "MM.h264": the minute 0-59.
int TfSegmentMinute(std::string_view name);
struct TfSnapshotName {
    int minute = 0;
    int second = 0;
    uint8_t kindBit = 0; // M 1, H 2, C 4, S 8, any other letter 1
};
bool ParseTfSnapshotName(std::string_view name, TfSnapshotName* out);

// What "rec_info" says. Its device id is outside data that later names
// files, so only [A-Za-z0-9_-] is kept; anything else becomes "_".
struct TfRecInfo {
    bool present = false;  // the file exists
    bool complete = false; // it had the two line ends the values need
    long number = 0;
    uint32_t deviceNumber = 0;
    std::string deviceId;
};
TfRecInfo ParseTfRecInfo(std::string_view firstBytes);
TfRecInfo ReadTfRecInfo(const std::string& cardFolder);
std::string SafeTfDeviceId(std::string_view text);

// Inserts a year into the descending list; equal years are kept once.
void AddTfCardYear(int16_t (&years)[kTfCardYears], int year);

// The summaries, from a card folder that ends in "/".
void BuildTfDayMap(const std::string& cardFolder, int year, int month, int day, VQ_TF_DAY_MAP* map);
// Sets the flags of the day folders of `month` (1-12) of `year`, or of the
// whole year when month is 0; the caller clears what it refreshes.
void FillTfDateFlags(const std::string& cardFolder, int year, int month, VQ_TF_DATE_FLAGS* flags);
// The years of every day folder of the card.
void ListTfCardYears(const std::string& cardFolder, int16_t (&years)[kTfCardYears]);

} // namespace streams
