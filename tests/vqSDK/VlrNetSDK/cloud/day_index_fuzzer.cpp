// Arbitrary bytes as a downloaded day index and as a per-minute index held in
// memory. Whatever they hold, the parsers keep to one day of slots and to the
// search range, and every entry is well formed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "vqSDK/VlrNetSDK/cloud/day_index.h"

namespace {

constexpr int64_t kSomeMorning = 1721016000; // 2024-07-15 04:00:00 UTC

void Require(bool condition)
{
    if (!condition) __builtin_trap();
}

// A private folder, removed when the fuzzer exits.
char g_folder[] = "/tmp/day_index_fuzzer_XXXXXX";

std::string Folder()
{
    static const bool made = [] {
        Require(::mkdtemp(g_folder) != nullptr);
        std::atexit([] { std::filesystem::remove_all(g_folder); });
        return true;
    }();
    (void)made;
    return std::string(g_folder) + "/";
}

void CheckDayFile(int64_t start, int64_t end, const uint8_t* bytes, std::size_t length)
{
    const platform::CivilTime day = platform::ToLocalTime(start);
    const std::string path = qn_cloud::DayIndexFileName(Folder(), day.year, day.month, day.day);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Require(file != nullptr);
    Require(std::fwrite(bytes, 1, length, file) == length);
    std::fclose(file);

    std::vector<qn_cloud::DayIndexEntry> list;
    const int count = qn_cloud::parse_day_index_file(list, start, end, Folder());
    const bool isIndex = length > 0 && bytes[0] == 'V';
    Require(isIndex ? count >= 0 : count == -1);
    Require(count <= qn_cloud::kDaySlotCount);
    Require(list.size() == static_cast<std::size_t>(count < 0 ? 0 : count));
    const int64_t last = qn_cloud::ClampToStartDay(start, end);
    int segmentStarts = 0;
    for (const qn_cloud::DayIndexEntry& entry : list) {
        Require(entry.start >= start && entry.start <= last);
        Require(entry.end == entry.start + 10);
        Require(entry.sum >= 1 && entry.sum <= 107);
        Require(entry.path.empty() == (entry.sum < qn_cloud::kSegmentStartSum));
        segmentStarts += entry.sum >= qn_cloud::kSegmentStartSum;
    }
    std::vector<qn_cloud::SegmentListEntry> segments;
    const int listed = qn_cloud::ListDaySegments(segments, start, end, Folder());
    Require(listed == (count < 0 ? -1 : segmentStarts));
    std::remove(path.c_str());
}

void CheckMinuteBuffer(int64_t dayTime, const uint8_t* bytes, std::size_t length)
{
    std::vector<qn_cloud::MinuteIndexEntry> list;
    const int count = qn_cloud::parse_day_index_buffer(list, bytes, length, dayTime);
    Require(count >= -1 && count <= qn_cloud::kMinuteSlotCount);
    Require(list.size() == static_cast<std::size_t>(count < 0 ? 0 : count));
    for (const qn_cloud::MinuteIndexEntry& entry : list) {
        Require(entry.end == entry.start + 60);
        Require(entry.sum >= qn_cloud::kSegmentStartSum && entry.sum <= 107);
    }
    qn_cloud::MinuteIndexEntry chain[7];
    const int chained = qn_cloud::parse_day_index_minutes(chain, 7, bytes, length, dayTime);
    Require(chained == (count < 7 ? count : 7));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    // The first two bytes choose the search range, the rest is the index.
    const int64_t start = kSomeMorning + static_cast<int64_t>(data[0]) * 337;
    const int64_t end = start + static_cast<int64_t>(data[1]) * 400 - 3000;
    CheckDayFile(start, end, data + 2, size - 2);
    CheckMinuteBuffer(start, data + 2, size - 2);
    return 0;
}
