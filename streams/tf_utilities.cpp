#include "streams/tf_utilities.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "platform/civil_calendar.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "streams/packed_date.h"

namespace streams {

namespace cal = platform::calendar;

TfSpan UnpackTfSpan(const VQ_TF_TIME& t)
{
    TfSpan s{};
    s.year = static_cast<int>(t.word0 & 0x1FFFFF);
    s.month = static_cast<int>(t.word0 >> 21 & 0xF);
    s.day = static_cast<int>(t.word0 >> 25 & 0x1F);
    s.startHour = static_cast<int>((t.word0 >> 30) | (t.word1 & 7) << 2);
    s.startMinute = static_cast<int>(t.word1 >> 3 & 0x3F);
    s.startSecond = static_cast<int>(t.word1 >> 9 & 0x3F);
    s.endHour = static_cast<int>(t.word1 >> 15 & 0x1F);
    s.endMinute = static_cast<int>(t.word1 >> 20 & 0x3F);
    s.endSecond = static_cast<int>(t.word1 >> 26 & 0x3F);
    return s;
}

VQ_TF_TIME PackTfSpan(const TfSpan& s)
{
    auto u = [](int value, uint32_t mask) { return static_cast<uint32_t>(value) & mask; };
    VQ_TF_TIME t;
    t.word0 = u(s.year, 0x1FFFFF) | u(s.month, 0xF) << 21 | u(s.day, 0x1F) << 25 | u(s.startHour, 3) << 30;
    t.word1 = u(s.startHour, 0x1F) >> 2 | u(s.startMinute, 0x3F) << 3 | u(s.startSecond, 0x3F) << 9 |
              u(s.endHour, 0x1F) << 15 | u(s.endMinute, 0x3F) << 20 | u(s.endSecond, 0x3F) << 26;
    return t;
}

int tfCheckPlayTime(VQ_TF_TIME* time, int repair)
{
    if (time == nullptr) return 0;
    TfSpan s = UnpackTfSpan(*time);
    if (s.month < 1 || s.month > 12 || s.day == 0 || s.startHour > 23 || s.endHour > 23 || s.startMinute > 59 ||
        s.endMinute > 59 || s.startSecond > 59 || s.endSecond > 59) {
        return 0;
    }
    const int start = (s.startHour * 60 + s.startMinute) * 60 + s.startSecond;
    const int end = (s.endHour * 60 + s.endMinute) * 60 + s.endSecond;
    if (start < end) return 1;
    if (!repair) return 0;
    s.endHour = 23;
    s.endMinute = 59;
    s.endSecond = 59;
    *time = PackTfSpan(s);
    return 1;
}

uint32_t tfPackTime(const TfDateTime& time, uint32_t* out)
{
    platform::CivilTime civil;
    civil.year = time.year;
    civil.month = time.month;
    civil.day = time.day;
    civil.hour = time.hour;
    civil.minute = time.minute;
    civil.second = time.second;
    const uint32_t word = PackDate(civil);
    if (out != nullptr) *out = word;
    return word;
}

void tfUnpackTime(TfDateTime* out, uint32_t word)
{
    if (out == nullptr) return;
    const platform::CivilTime civil = UnpackDate(word);
    *out = {civil.year, civil.month, civil.day, civil.hour, civil.minute, civil.second};
}

void tfSplitPlayTime(const VQ_TF_TIME& time, TfDateTime* start, uint32_t* endWord)
{
    const TfSpan s = UnpackTfSpan(time);
    if (start != nullptr) *start = {s.year, s.month, s.day, s.startHour, s.startMinute, s.startSecond};
    if (endWord != nullptr) tfPackTime({s.year, s.month, s.day, s.endHour, s.endMinute, s.endSecond}, endWord);
}

void tfPackPlayTime(const VQ_TF_TIME& time, uint32_t* startWord, uint32_t* endWord)
{
    TfDateTime start;
    tfSplitPlayTime(time, &start, endWord);
    if (startWord != nullptr) tfPackTime(start, startWord);
}

void tfUtcNow(TfDateTime* out)
{
    if (out == nullptr) return;
    const platform::CivilTime now = platform::ToUtcTime(platform::WallNow().seconds);
    *out = {now.year, now.month, now.day, now.hour, now.minute, now.second};
}

int tfPackedUtcNow(uint32_t* out)
{
    TfDateTime now;
    tfUtcNow(&now);
    tfPackTime(now, out);
    return now.second;
}

void tfLocalNow(TfDateTimeLong* out)
{
    if (out == nullptr) return;
    const platform::CivilTime now = platform::LocalNow();
    *out = {now.year, now.month, now.day, now.hour, now.minute, now.second, now.weekday, now.yearday};
}

void tfNormaliseDate(TfDateTimeLong* date)
{
    if (date == nullptr) return;
    // Months outside 1-12 carry into the year first.
    int64_t months = int64_t{date->year} * 12 + (date->month - 1);
    const int64_t year = months >= 0 ? months / 12 : (months - 11) / 12;
    const int month = static_cast<int>(months - year * 12) + 1;
    const int64_t days = cal::daysFromCivil(year, month, 1) + date->day - 1;
    const cal::Date d = cal::civilFromDays(days);
    date->year = static_cast<int>(d.year);
    date->month = d.month;
    date->day = d.day;
    date->hour = date->minute = date->second = 0;
    date->weekday = cal::weekday(days);
    date->yearday = static_cast<int>(days - cal::daysFromCivil(d.year, 1, 1));
}

int64_t tfMakeUtcTime(const TfDateTime& t)
{
    int64_t months = int64_t{t.year} * 12 + (t.month - 1);
    const int64_t year = months >= 0 ? months / 12 : (months - 11) / 12;
    const int month = static_cast<int>(months - year * 12) + 1;
    const int64_t days = cal::daysFromCivil(year, month, 1) + t.day - 1;
    return days * 86400 + int64_t{t.hour} * 3600 + int64_t{t.minute} * 60 + t.second;
}

int tfIsLeapYear(int year)
{
    return cal::isLeapYear(year) ? 1 : 0;
}

int tfDaysSince2010(const TfDateTimeLong& date)
{
    if (date.year < 2010 || date.year > 2700) return 1;
    // 1-based, so that day 1 is 1 January 2010 as tfDateFromDays reads it.
    return static_cast<int>(cal::daysFromCivil(date.year, 1, 1) - cal::daysFromCivil(2010, 1, 1)) + date.yearday + 1;
}

void tfDateFromDays(int days, TfDateTime* out)
{
    if (out == nullptr) return;
    *out = {};
    if (days > 262144) {
        out->year = 3000;
        return;
    }
    int year = 2010;
    while (days > (cal::isLeapYear(year) ? 366 : 365)) days -= cal::isLeapYear(year++) ? 366 : 365;
    int month = 1;
    while (month < 12 && days > cal::daysInMonth(year, month)) days -= cal::daysInMonth(year, month++);
    out->year = year;
    out->month = month;
    out->day = days;
}

namespace {

int MakeFolders(const char* path, int success)
{
    if (path == nullptr) return 0;
    const std::string text(path);
    if (text.size() > 255) return -1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '/' && text[i] != '\\') continue;
        std::string part = text.substr(0, i);
        std::replace(part.begin(), part.end(), '\\', '/');
        if (part.empty() || platform::PathExists(part)) continue;
        if (!platform::MakeDirectory(part)) {
            const int error = platform::LastError();
            return error != 0 ? error : -1;
        }
    }
    return success;
}

} // namespace

int tfMakeFolders(const char* path)
{
    return MakeFolders(path, 1);
}

int tfCreateFolderPath(const char* path)
{
    return MakeFolders(path, 0);
}

int tfUtf8ToUtf16(const char* text, uint16_t* out, int count)
{
    if (text == nullptr || out == nullptr || count <= 0) return 0;
    const std::wstring wide = platform::Utf8ToWide(text);
    int written = 0;
    for (wchar_t c : wide) {
        const std::string units = platform::WideToUtf16Le(std::wstring(1, c));
        const int n = static_cast<int>(units.size() / 2);
        if (written + n > count - 1) break;
        for (int i = 0; i < n; ++i) {
            out[written++] = static_cast<uint16_t>(static_cast<uint8_t>(units[2 * i]) |
                                                   static_cast<uint8_t>(units[2 * i + 1]) << 8);
        }
    }
    out[written] = 0;
    return 1;
}

int tfUtf8Length(const char* text)
{
    return text == nullptr ? 0 : static_cast<int>(platform::Utf8ToWide(text).size());
}

void tfCipherSetKey(TfCipher* cipher, const uint8_t* key, std::size_t length)
{
    if (cipher == nullptr) return;
    uint8_t k[128] = {};
    if (key != nullptr) std::memcpy(k, key, std::min<std::size_t>(length, sizeof k));
    for (int i = 0; i < 128; ++i) cipher->permutation[i] = static_cast<uint8_t>(i);
    unsigned j = 0;
    for (int i = 0; i < 128; ++i) {
        j = (j + cipher->permutation[i] + k[i]) % 128;
        std::swap(cipher->permutation[i], cipher->permutation[j]);
    }
    std::memcpy(cipher->working, cipher->permutation, sizeof cipher->working);
}

void tfCipherApply(TfCipher* cipher, uint8_t* data, std::size_t length)
{
    if (cipher == nullptr || data == nullptr) return;
    uint8_t* w = cipher->working;
    std::memcpy(w, cipher->permutation, 128);
    unsigned i = 0, j = 0;
    for (std::size_t n = 0; n < length; ++n) {
        j = (j + w[i]) % 128;
        i = (i + 1) % 128;
        std::swap(w[i], w[j]);
        data[n] ^= w[(w[i] + w[j]) % 128];
    }
}

TfRateStats::TfRateStats() : startKey_(0)
{
    std::memset(rings_, 0, sizeof rings_);
    for (Ring& ring : rings_) ring.currentSlot = -1;
}

int TfRateStats::Reset(uint32_t startKey)
{
    startKey_ = startKey;
    for (Ring& ring : rings_) {
        std::memset(ring.sums, 0, sizeof ring.sums);
        std::memset(ring.counts, 0, sizeof ring.counts);
        ring.currentSlot = -1;
        ring.currentKey = 0;
    }
    return 1;
}

int TfRateStats::Add(int ring, uint32_t key, int32_t amount)
{
    if (ring < 0 || ring > 1) return 0;
    Ring& r = rings_[ring];
    const int slot = static_cast<int>(key % 16);
    if (slot != r.currentSlot) {
        r.sums[slot] = 0;
        r.counts[slot] = 0;
        r.keys[slot] = key;
        r.currentSlot = slot;
        r.currentKey = key;
    }
    r.sums[slot] += amount;
    r.counts[slot] += 1;
    return 1;
}

int32_t TfRateStats::Previous(int ring, uint32_t key, bool counts) const
{
    if (ring < 0 || ring > 1) return -1;
    const Ring& r = rings_[ring];
    if (key == 0 || static_cast<int32_t>(r.currentKey) <= 0) return -1;
    for (int slot = 0; slot < 16; ++slot) {
        if (r.keys[slot] == key - 1) return counts ? r.counts[slot] : r.sums[slot];
    }
    return 0;
}

int32_t TfRateStats::Window(int ring, uint32_t key, int n, bool counts) const
{
    if (ring < 0 || ring > 1) return -1;
    n = std::clamp(n, 0, 5);
    const Ring& r = rings_[ring];
    if (key <= static_cast<uint32_t>(n) || startKey_ == 0 || startKey_ + n >= key) return -1;
    if (r.currentKey + n < key) return 0;
    int32_t total = 0;
    for (int slot = 0; slot < 16; ++slot) {
        if (r.keys[slot] >= key - n && r.keys[slot] <= key - 1) total += counts ? r.counts[slot] : r.sums[slot];
    }
    return total;
}

} // namespace streams
