// Day indexes against entries computed by Python's calendar and zone data, in
// a zone without daylight saving and in one with it.
#include "vqSDK/VlrNetSDK/cloud/day_index.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <sstream>

#include "support/cloud_test_support.h"
#include "platform/clock.h"
#include "support/scoped_env.h"

namespace {

using qn_cloud::DayIndexEntry;
using qn_cloud::MinuteIndexEntry;

struct Expected {
    int slot;
    int64_t start;
    int sum;
};

// Sets the process's time zone for one test and restores it after.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone)
    {
        zone_.emplace("TZ", zone);
        ::tzset();
    }
    ~ZoneScope()
    {
        zone_.reset();  // the old zone back before the C library reads it again
        ::tzset();
    }

private:
    std::optional<testing_support::ScopedEnv> zone_;
};

std::vector<Expected> WriteFixture(const std::string& kind, const std::string& path, const std::string& zone,
                                   const std::string& date, const std::string& slots)
{
    std::string output;
    // Python's standard library is all the fixture needs: Debian's interpreter.
    const std::string command = "/usr/bin/python3 " + cloud_test::Quote(cloud_test::SourcePath("tools/cloudsim/day_index_fixture.py")) +
                                " " + kind + " " + cloud_test::Quote(path) + " " + zone + " " + date + " " + slots;
    EXPECT_EQ(cloud_test::Run(command, &output), 0) << command;
    std::vector<Expected> expected;
    std::istringstream lines(output);
    for (Expected e; lines >> e.slot >> e.start >> e.sum;) expected.push_back(e);
    return expected;
}

constexpr auto LocalTime = &cloud_test::LocalInstant;

TEST(DayIndex, FlagSumCountsBitsZeroToTwoAndSeven)
{
    const struct {
        uint8_t flags;
        int sum;
    } table[] = {{0x00, 0}, {0x01, 1}, {0x02, 2}, {0x04, 4}, {0x07, 7}, {0x78, 0}, {0x80, 100}, {0x87, 107}, {0xFF, 107}};
    for (const auto& row : table) EXPECT_EQ(qn_cloud::DayIndexFlagSum(row.flags), row.sum) << int(row.flags);
}

TEST(DayIndex, NamesFollowTheLocalDateAndSlot)
{
    EXPECT_EQ(qn_cloud::DayIndexFileName("/c/", 2024, 3, 9), "/c/corvul_day_20240309.index");
    EXPECT_EQ(qn_cloud::SegmentFileName("/c/", 2024, 3, 9, 8639), "/c/corvul_20240309_23_59_05.264");
    EXPECT_EQ(qn_cloud::SegmentFileName("/c/", 2024, 3, 9, 0), "/c/corvul_20240309_00_00_00.264");
    EXPECT_EQ(qn_cloud::SegmentFileName("/c/", 2024, 3, 9, 367), "/c/corvul_20240309_01_01_01.264");
}

// Whole days in two zones, including both daylight-saving changes in Berlin.
TEST(DayIndex, WholeDayEntriesAgreeWithPython)
{
    const struct {
        const char* zone;
        const char* date;
        int year, month, day;
    } days[] = {
        {"Asia/Shanghai", "20240715", 2024, 7, 15},
        {"Europe/Berlin", "20240715", 2024, 7, 15},
        {"Europe/Berlin", "20241027", 2024, 10, 27},
        {"Europe/Berlin", "20240331", 2024, 3, 31},
    };
    const std::string slots = "0=80 1=01 2=78 100=07 101=86 719=01 720=81 755=80 1080=80 4320=81 8639=80";
    for (const auto& d : days) {
        SCOPED_TRACE(std::string(d.zone) + " " + d.date);
        ZoneScope zone(d.zone);
        cloud_test::TempFolder folder;
        const std::string path = qn_cloud::DayIndexFileName(folder.Folder(), d.year, d.month, d.day);
        const std::vector<Expected> expected = WriteFixture("day", path, d.zone, d.date, slots);
        ASSERT_EQ(expected.size(), 10u);

        std::vector<DayIndexEntry> list;
        const int64_t start = LocalTime(d.year, d.month, d.day, 0, 0, 0);
        const int64_t end = LocalTime(d.year, d.month, d.day, 23, 59, 59);
        ASSERT_EQ(qn_cloud::parse_day_index_file(list, start, end, folder.Folder()), 10);
        ASSERT_EQ(list.size(), 10u);
        for (std::size_t i = 0; i < list.size(); ++i) {
            SCOPED_TRACE("slot " + std::to_string(expected[i].slot));
            EXPECT_EQ(list[i].start, expected[i].start);
            EXPECT_EQ(list[i].end, expected[i].start + 10);
            EXPECT_EQ(list[i].sum, expected[i].sum);
            const std::string name = expected[i].sum >= 100
                                         ? qn_cloud::SegmentFileName(folder.Folder(), d.year, d.month, d.day, expected[i].slot)
                                         : std::string();
            EXPECT_EQ(list[i].path, name);
        }
    }
}

TEST(DayIndex, SearchRangeSelectsSlotsAndStopsAtTheEndOfTheDay)
{
    ZoneScope zone("Europe/Berlin");
    cloud_test::TempFolder folder;
    const std::string path = qn_cloud::DayIndexFileName(folder.Folder(), 2024, 7, 15);
    WriteFixture("day", path, "Europe/Berlin", "20240715", "4319=80 4320=80 4321=01 4322=80 7920=80 8639=80");

    const struct {
        int64_t start;
        int64_t end;
        int count;
    } ranges[] = {
        // 12:00:00 to 12:00:10: both ends included.
        {LocalTime(2024, 7, 15, 12, 0, 0), LocalTime(2024, 7, 15, 12, 0, 10), 2},
        // 22:00 to 02:00 of the next day stops at 23:59:59 and so keeps 23:59:50.
        {LocalTime(2024, 7, 15, 22, 0, 0), LocalTime(2024, 7, 16, 2, 0, 0), 2},
        // An end before the start searches the start instant alone.
        {LocalTime(2024, 7, 15, 12, 0, 0), LocalTime(2024, 7, 15, 11, 0, 0), 1},
    };
    for (const auto& range : ranges) {
        std::vector<DayIndexEntry> list;
        EXPECT_EQ(qn_cloud::parse_day_index_file(list, range.start, range.end, folder.Folder()), range.count);
    }
    EXPECT_EQ(qn_cloud::ClampToStartDay(LocalTime(2024, 7, 15, 22, 0, 0), LocalTime(2024, 7, 16, 2, 0, 0)),
              LocalTime(2024, 7, 15, 23, 59, 59));
    EXPECT_EQ(qn_cloud::ClampToStartDay(LocalTime(2024, 12, 31, 22, 0, 0), LocalTime(2025, 1, 1, 0, 0, 0)),
              LocalTime(2024, 12, 31, 23, 59, 59));

    std::vector<qn_cloud::SegmentListEntry> segments;
    EXPECT_EQ(qn_cloud::ListDaySegments(segments, LocalTime(2024, 7, 15, 12, 0, 0), LocalTime(2024, 7, 15, 13, 0, 0),
                                        folder.Folder()),
              2);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[0].path, folder.Folder() + "corvul_20240715_12_00_00.264");
    EXPECT_EQ(segments[1].path, folder.Folder() + "corvul_20240715_12_00_02.264");
}

TEST(DayIndex, RefusesMissingOrForeignFilesAndReadsOneDayAtMost)
{
    ZoneScope zone("Asia/Shanghai");
    cloud_test::TempFolder folder;
    const int64_t start = LocalTime(2024, 7, 15, 0, 0, 0);
    const int64_t end = LocalTime(2024, 7, 15, 23, 59, 59);
    std::vector<DayIndexEntry> list;
    EXPECT_EQ(qn_cloud::parse_day_index_file(list, start, end, folder.Folder()), -1);

    const std::string path = qn_cloud::DayIndexFileName(folder.Folder(), 2024, 7, 15);
    cloud_test::WriteFile(path, "");
    EXPECT_EQ(qn_cloud::parse_day_index_file(list, start, end, folder.Folder()), -1);
    cloud_test::WriteFile(path, "X1610" + std::string(8651, '\x80'));
    EXPECT_EQ(qn_cloud::parse_day_index_file(list, start, end, folder.Folder()), -1);
    cloud_test::WriteFile(path, "V1610");
    EXPECT_EQ(qn_cloud::parse_day_index_file(list, start, end, folder.Folder()), 0);

    // A day of set slots followed by 20000 more bytes yields one day of slots.
    cloud_test::WriteFile(path, "V1610" + std::string(11, '0') + std::string(8640 + 20000, '\x80'));
    EXPECT_EQ(qn_cloud::parse_day_index_file(list, start, LocalTime(2024, 7, 16, 12, 0, 0), folder.Folder()), 8640);
    EXPECT_EQ(list.back().start, LocalTime(2024, 7, 15, 23, 59, 50));
}

TEST(DayIndex, MinuteIndexesAgreeWithPythonWithDaylightSavingOff)
{
    for (const char* zoneName : {"Asia/Shanghai", "Europe/Berlin"}) {
        SCOPED_TRACE(zoneName);
        ZoneScope zone(zoneName);
        cloud_test::TempFolder folder;
        const std::string path = folder.File("minutes.index");
        const std::vector<Expected> expected =
            WriteFixture("minute", path, zoneName, "20240715", "0=80 1=07 59=81 60=78 600=87 1439=80");
        ASSERT_EQ(expected.size(), 4u);
        const std::string bytes = cloud_test::ReadFile(path);
        const auto* buffer = reinterpret_cast<const uint8_t*>(bytes.data());
        const int64_t dayTime = LocalTime(2024, 7, 15, 15, 30, 0);

        std::vector<MinuteIndexEntry> list;
        ASSERT_EQ(qn_cloud::parse_day_index_buffer(list, buffer, bytes.size(), dayTime), 4);
        MinuteIndexEntry chain[3];
        ASSERT_EQ(qn_cloud::parse_day_index_minutes(chain, 3, buffer, bytes.size(), dayTime), 3);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE("slot " + std::to_string(expected[i].slot));
            EXPECT_EQ(list[i].start, expected[i].start);
            EXPECT_EQ(list[i].end, expected[i].start + 60);
            EXPECT_EQ(list[i].sum, expected[i].sum);
            if (i < 3) {
                EXPECT_EQ(chain[i].start, expected[i].start);
            }
        }
    }
}

TEST(DayIndex, MinuteIndexEdges)
{
    const std::string header = "V1660" + std::string(10, '0') + "1";
    std::vector<MinuteIndexEntry> list;
    const auto bytes = [](const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); };
    EXPECT_EQ(qn_cloud::parse_day_index_buffer(list, bytes(header), header.size(), 0), 0);
    EXPECT_EQ(qn_cloud::parse_day_index_buffer(list, bytes(header), 15, 0), 0);
    const std::string foreign = "W" + header.substr(1) + "\x80";
    EXPECT_EQ(qn_cloud::parse_day_index_buffer(list, bytes(foreign), foreign.size(), 0), -1);
    // Past 1440 slots nothing more is read.
    const std::string longer = header + std::string(3000, '\x80');
    EXPECT_EQ(qn_cloud::parse_day_index_buffer(list, bytes(longer), longer.size(), 0), 1440);
}

TEST(DayIndex, ClearsRangesAndKeepsTheCompletionMark)
{
    ZoneScope zone("Asia/Shanghai");
    cloud_test::TempFolder folder;
    const std::string path = folder.File("day.index");
    cloud_test::WriteFile(path, "V1610" + std::string(10, '0') + "0" + std::string(8640, '\x80'));
    const int64_t dayStart = LocalTime(2024, 7, 15, 0, 0, 0);

    EXPECT_EQ(qn_cloud::ReadDayIndexCompletionMark(path), -1);
    EXPECT_EQ(qn_cloud::SetDayIndexCompletionMark(path), 1);
    EXPECT_EQ(qn_cloud::ReadDayIndexCompletionMark(path), 1);

    // 00:00:15 to 00:00:41 clears slots 1 to 4.
    EXPECT_TRUE(qn_cloud::ClearDayIndexRange(dayStart + 15, dayStart + 41, path, dayStart));
    const std::string bytes = cloud_test::ReadFile(path);
    ASSERT_EQ(bytes.size(), 16u + 8640u);
    EXPECT_EQ(bytes.substr(16, 6), std::string("\x80\0\0\0\0\x80", 6));
    EXPECT_EQ(bytes[15], '1');

    const struct {
        int64_t from, to;
    } refused[] = {{-1, 10}, {86400, 86401}, {100, 100}, {100, 50}, {0, 86401}};
    for (const auto& r : refused)
        EXPECT_FALSE(qn_cloud::ClearDayIndexRange(dayStart + r.from, dayStart + r.to, path, dayStart));

    // A header that names slots of zero seconds or no header length.
    const std::string zeroSlots = folder.File("zero.index");
    cloud_test::WriteFile(zeroSlots, "V1600" + std::string(11, '0') + std::string(100, '\x80'));
    EXPECT_FALSE(qn_cloud::ClearDayIndexRange(dayStart, dayStart + 10, zeroSlots, dayStart));
    const std::string noHeader = folder.File("nohead.index");
    cloud_test::WriteFile(noHeader, "V0010" + std::string(11, '1'));
    EXPECT_EQ(qn_cloud::ReadDayIndexCompletionMark(noHeader), -1);
    EXPECT_EQ(qn_cloud::SetDayIndexCompletionMark(noHeader), -1);
    EXPECT_EQ(qn_cloud::ReadDayIndexCompletionMark(folder.File("missing.index")), -1);
}

} // namespace
