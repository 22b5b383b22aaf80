#include "vqSDK/VlrNetSDK/cloud/day_index.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "platform/clock.h"

namespace qn_cloud {
namespace {

constexpr int kDaySlotSeconds = 10;
constexpr int kMinuteSlotSeconds = 60;
constexpr char kIndexMagic = 'V';

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr OpenFile(const std::string& path, const char* mode)
{
    return FilePtr(std::fopen(path.c_str(), mode));
}

struct LocalDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

LocalDate LocalDateOf(int64_t instant)
{
    const platform::CivilTime civil = platform::ToLocalTime(instant);
    return {civil.year, civil.month, civil.day};
}

std::optional<int64_t> LocalInstant(const LocalDate& date, int secondOfDay, int isDst)
{
    platform::CivilTime civil;
    civil.year = date.year;
    civil.month = date.month;
    civil.day = date.day;
    civil.hour = secondOfDay / 3600;
    civil.minute = secondOfDay / 60 % 60;
    civil.second = secondOfDay % 60;
    civil.isDst = isDst;
    return platform::FromLocalTime(civil);
}

// Two ASCII digits, or nothing when either is not a digit.
std::optional<int> TwoDigits(const uint8_t* bytes)
{
    if (bytes[0] < '0' || bytes[0] > '9' || bytes[1] < '0' || bytes[1] > '9') return std::nullopt;
    return (bytes[0] - '0') * 10 + (bytes[1] - '0');
}

// The slot bytes of an index file, at most one day of them; empty when the
// file is missing or is not an index.
std::optional<std::vector<uint8_t>> ReadDaySlots(const std::string& path)
{
    FilePtr file = OpenFile(path, "rb");
    if (!file) return std::nullopt;
    std::vector<uint8_t> bytes(kDayIndexHeaderLength + kDaySlotCount);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
    if (bytes.empty() || bytes[0] != kIndexMagic) return std::nullopt;
    if (bytes.size() <= kDayIndexHeaderLength) return std::vector<uint8_t>{};
    return std::vector<uint8_t>(bytes.begin() + kDayIndexHeaderLength, bytes.end());
}

// Walks the recorded ten-second slots of start's local day that begin within
// [start, clamped end], handing each to `visit(slot, sum, slotStart, path)`.
template <typename Visit>
int WalkDayIndex(int64_t start, int64_t end, const std::string& folder, Visit visit)
{
    const int64_t last = ClampToStartDay(start, end);
    const LocalDate date = LocalDateOf(start);
    const std::optional<std::vector<uint8_t>> slots =
        ReadDaySlots(DayIndexFileName(folder, date.year, date.month, date.day));
    if (!slots) return -1;
    int count = 0;
    for (int slot = 0; slot < static_cast<int>(slots->size()); ++slot) {
        const int sum = DayIndexFlagSum((*slots)[slot]);
        if (sum == 0) continue;
        const std::optional<int64_t> slotStart = LocalInstant(date, slot * kDaySlotSeconds, -1);
        if (!slotStart || *slotStart < start || *slotStart > last) continue;
        std::string path = sum >= kSegmentStartSum
                               ? SegmentFileName(folder, date.year, date.month, date.day, slot)
                               : std::string();
        if (visit(sum, *slotStart, std::move(path))) ++count;
    }
    return count;
}

// Walks a per-minute index held in memory, handing every slot where a segment
// starts to `take(start, sum)` until it returns false.
template <typename Take>
int WalkMinuteIndex(const uint8_t* buffer, std::size_t length, int64_t dayTime, Take take)
{
    if (buffer == nullptr || length < kDayIndexHeaderLength) return 0;
    if (buffer[0] != kIndexMagic) return -1;
    const LocalDate date = LocalDateOf(dayTime);
    const std::size_t slotCount =
        std::min<std::size_t>(length - kDayIndexHeaderLength, kMinuteSlotCount);
    int count = 0;
    for (std::size_t slot = 0; slot < slotCount; ++slot) {
        const int sum = DayIndexFlagSum(buffer[kDayIndexHeaderLength + slot]);
        if (sum < kSegmentStartSum) continue;
        // The recorder writes these wall-clock times as standard time.
        const std::optional<int64_t> slotStart =
            LocalInstant(date, static_cast<int>(slot) * kMinuteSlotSeconds, 0);
        if (!slotStart) continue;
        if (!take(*slotStart, sum)) break;
        ++count;
    }
    return count;
}

struct IndexHeader {
    int headerLength = 0;
    int slotSeconds = 0;
};

std::optional<IndexHeader> ReadHeader(std::FILE* file)
{
    uint8_t header[kDayIndexHeaderLength];
    if (std::fread(header, 1, sizeof header, file) != sizeof header) return std::nullopt;
    const std::optional<int> headerLength = TwoDigits(header + 1);
    const std::optional<int> slotSeconds = TwoDigits(header + 3);
    if (!headerLength || !slotSeconds) return std::nullopt;
    return IndexHeader{*headerLength, *slotSeconds};
}

constexpr int kLongestHeader = 32;

bool HeaderLengthUsable(int headerLength)
{
    return headerLength >= 1 && headerLength <= kLongestHeader;
}

} // namespace

int DayIndexFlagSum(uint8_t flags)
{
    return (flags & 0x01) + (flags & 0x02) + (flags & 0x04) + ((flags & 0x80) ? 100 : 0);
}

std::string DayIndexFileName(const std::string& folder, int year, int month, int day)
{
    char name[64];
    std::snprintf(name, sizeof name, "corvul_day_%d%02d%02d.index", year, month, day);
    return folder + name;
}

std::string SegmentFileName(const std::string& folder, int year, int month, int day, int slot)
{
    char name[80];
    std::snprintf(name, sizeof name, "corvul_%04d%02d%02d_%02d_%02d_%02d.264", year, month, day,
                  slot / 360, slot % 360 / 6, slot % 6);
    return folder + name;
}

int64_t ClampToStartDay(int64_t start, int64_t end)
{
    if (end < start) return start;
    const LocalDate startDate = LocalDateOf(start);
    const LocalDate endDate = LocalDateOf(end);
    if (endDate.year == startDate.year && endDate.month == startDate.month &&
        endDate.day == startDate.day)
        return end;
    return LocalInstant(startDate, 24 * 3600 - 1, -1).value_or(end);
}

int parse_day_index_file(std::vector<DayIndexEntry>& list, int64_t start, int64_t end,
                         const std::string& folder)
{
    return WalkDayIndex(start, end, folder, [&](int sum, int64_t slotStart, std::string path) {
        list.push_back({std::move(path), slotStart, slotStart + kDaySlotSeconds, sum});
        return true;
    });
}

int ListDaySegments(std::vector<SegmentListEntry>& list, int64_t start, int64_t end,
                    const std::string& folder)
{
    return WalkDayIndex(start, end, folder, [&](int sum, int64_t, std::string path) {
        if (path.empty()) return false;
        list.push_back({std::move(path), sum});
        return true;
    });
}

int parse_day_index_minutes(MinuteIndexEntry* chain, int capacity, const uint8_t* buffer,
                            std::size_t length, int64_t dayTime)
{
    int filled = 0;
    return WalkMinuteIndex(buffer, length, dayTime, [&](int64_t slotStart, int sum) {
        if (chain == nullptr || filled >= capacity) return false;
        chain[filled++] = {slotStart, slotStart + kMinuteSlotSeconds, sum};
        return true;
    });
}

int parse_day_index_buffer(std::vector<MinuteIndexEntry>& list, const uint8_t* buffer,
                           std::size_t length, int64_t dayTime)
{
    return WalkMinuteIndex(buffer, length, dayTime, [&](int64_t slotStart, int sum) {
        list.push_back({slotStart, slotStart + kMinuteSlotSeconds, sum});
        return true;
    });
}

bool ClearDayIndexRange(int64_t start, int64_t end, const std::string& path, int64_t dayStart)
{
    const int64_t from = start - dayStart;
    const int64_t to = end - dayStart;
    if (from < 0 || from > 86399 || to < 1 || to > 86400 || end <= start) return false;
    FilePtr file = OpenFile(path, "r+b");
    if (!file) return false;
    const std::optional<IndexHeader> header = ReadHeader(file.get());
    if (!header || header->slotSeconds == 0 || !HeaderLengthUsable(header->headerLength))
        return false;
    const int64_t firstSlot = from / header->slotSeconds;
    const int64_t endSlot = (to + header->slotSeconds - 1) / header->slotSeconds;
    if (std::fseek(file.get(), static_cast<long>(header->headerLength + firstSlot), SEEK_SET) != 0)
        return false;
    for (int64_t slot = firstSlot; slot < endSlot; ++slot) {
        if (std::fputc(0, file.get()) == EOF) return false;
    }
    return std::fflush(file.get()) == 0;
}

int ReadDayIndexCompletionMark(const std::string& path)
{
    FilePtr file = OpenFile(path, "rb");
    if (!file) return -1;
    uint8_t head[kLongestHeader];
    const std::size_t got = std::fread(head, 1, sizeof head, file.get());
    if (got < 3) return -1;
    const std::optional<int> headerLength = TwoDigits(head + 1);
    if (!headerLength || !HeaderLengthUsable(*headerLength) ||
        static_cast<std::size_t>(*headerLength) > got)
        return -1;
    return head[*headerLength - 1] == '1' ? 1 : -1;
}

int SetDayIndexCompletionMark(const std::string& path)
{
    FilePtr file = OpenFile(path, "r+b");
    if (!file) return -1;
    const std::optional<IndexHeader> header = ReadHeader(file.get());
    if (!header || !HeaderLengthUsable(header->headerLength)) return -1;
    if (std::fseek(file.get(), header->headerLength - 1, SEEK_SET) != 0) return -1;
    if (std::fputc('1', file.get()) == EOF) return -1;
    return std::fflush(file.get()) == 0 ? 1 : -1;
}

} // namespace qn_cloud
