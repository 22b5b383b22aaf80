// Helpers of the TF-card module: play spans and packed dates, calendar
// arithmetic from 2010, folders and text, a keyed 128-value stream cipher and
// two-ring rate statistics.
#pragma once

#include <cstddef>
#include <cstdint>

namespace streams {

// The play span of one day (two little-endian words):
//   word 0: bits 0-20 year, 21-24 month, 25-29 day, 30-31 start hour bits 0-1
//   word 1: bits 0-2 start hour bits 2-4, 3-8 start minute, 9-14 start
//           second, 15-19 end hour, 20-25 end minute, 26-31 end second
struct VQ_TF_TIME {
    uint32_t word0;
    uint32_t word1;
};
static_assert(sizeof(VQ_TF_TIME) == 8);

struct TfSpan {
    int year, month, day;
    int startHour, startMinute, startSecond;
    int endHour, endMinute, endSecond;
};
TfSpan UnpackTfSpan(const VQ_TF_TIME& time);
VQ_TF_TIME PackTfSpan(const TfSpan& span);

struct TfDateTime {
    int year, month, day, hour, minute, second;
};
struct TfDateTimeLong {
    int year, month, day, hour, minute, second;
    int weekday; // 0 Sunday
    int yearday; // 0-based
};

// 0 for a date or time out of range; 1 when the start lies before the end;
// otherwise 0, or with `repair` 1 and the end moved to 23:59:59.
int tfCheckPlayTime(VQ_TF_TIME* time, int repair);
uint32_t tfPackTime(const TfDateTime& time, uint32_t* out);
// The year is 2000 + the word's top 6 bits.
void tfUnpackTime(TfDateTime* out, uint32_t word);
// The span's date and start time, and its end as a packed date.
void tfSplitPlayTime(const VQ_TF_TIME& time, TfDateTime* start, uint32_t* endWord);
void tfPackPlayTime(const VQ_TF_TIME& time, uint32_t* startWord, uint32_t* endWord);
// The current UTC time as a packed date; returns its second.
int tfPackedUtcNow(uint32_t* out);
void tfUtcNow(TfDateTime* out);
void tfLocalNow(TfDateTimeLong* out);
// Year, month and day normalised (31 April is 1 May), at 00:00:00, with the
// weekday and the day of the year.
void tfNormaliseDate(TfDateTimeLong* date);
// The time read as UTC, in seconds since 1970.
int64_t tfMakeUtcTime(const TfDateTime& time);
int tfIsLeapYear(int year);
// Day 1 is 1 January 2010; years outside 2010-2700 give 1.
int tfDaysSince2010(const TfDateTimeLong& date);
// Days above 262144 give year 3000 with month and day 0.
void tfDateFromDays(int days, TfDateTime* out);

// Creates every folder of `path` up to its last separator. -1 for paths over
// 255 characters, the error code of a creation that failed, else 1
// (tfMakeFolders) or 0 (tfCreateFolderPath).
int tfMakeFolders(const char* path);
int tfCreateFolderPath(const char* path);

// UTF-16 units of UTF-8 text (U+FFFD per bad byte, surrogate pairs above
// U+FFFF), at most count - 1 of them and a 0 behind; a character that does
// not fit whole ends the output. 0 for a missing argument.
int tfUtf8ToUtf16(const char* text, uint16_t* out, int count);
int tfUtf8Length(const char* text);

// A keyed stream cipher over the values 0..127; applying it twice gives the
// data back. Keys longer than 128 bytes count with their first 128.
struct TfCipher {
    uint8_t permutation[128];
    uint8_t working[128];
};
void tfCipherSetKey(TfCipher* cipher, const uint8_t* key, std::size_t length);
void tfCipherApply(TfCipher* cipher, uint8_t* data, std::size_t length);

// Amounts per key (for instance per second) in two rings of 16 slots.
class TfRateStats {
public:
    TfRateStats();
    int Reset(uint32_t startKey);
    int Add(int ring, uint32_t key, int32_t amount);
    // The sum (or count) of key - 1; -1 without data, 0 when no slot holds it.
    int32_t Previous(int ring, uint32_t key, bool counts) const;
    // The total of keys key - n .. key - 1 (n held to 0..5).
    int32_t Window(int ring, uint32_t key, int n, bool counts) const;

private:
    struct Ring {
        int32_t sums[16];
        int32_t counts[16];
        uint32_t keys[16];
        int32_t currentSlot;
        uint32_t currentKey;
    };
    uint32_t startKey_;
    Ring rings_[2];
};

} // namespace streams
