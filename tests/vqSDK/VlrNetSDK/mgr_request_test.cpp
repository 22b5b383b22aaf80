#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/temp_folder.h"
#include "vqSDK/VlrNetSDK/camera_command.h"
#include "vqSDK/VlrNetSDK/playback_request.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace {

using namespace qn_net;

TEST(NetSdkPlayback, CommandsOnTheWire)
{
    const struct {
        int32_t command, wire;
    } cases[] = {{99, 0}, {999, 1}, {0, 2}, {1, 3}, {2, 10}, {3, 11}, {4, 4}, {5, 0}, {-1, 0}};
    for (const auto& c : cases) EXPECT_EQ(wire_playback_command(c.command), c.wire) << c.command;
}

playback_record Span(int y, int mo, int d, int h, int mi, int s, int eh, int em, int es)
{
    playback_record record{};
    for (int i = 0; i < 41; ++i) record[i] = 1000 + i;  // recognisable values elsewhere
    record[kStartYear] = y;
    record[kStartMonth] = mo;
    record[kStartDay] = d;
    record[kStartHour] = h;
    record[kStartMinute] = mi;
    record[kStartSecond] = s;
    record[kEndHour] = eh;
    record[kEndMinute] = em;
    record[kEndSecond] = es;
    return record;
}

TEST(NetSdkPlayback, SeekCrossesMidnightMonthsAndYears)
{
    playback_record moved = seek_playback_record(Span(2024, 12, 31, 23, 30, 0, 0, 30, 0), 50);
    EXPECT_EQ(moved[kStartYear], 2025);
    EXPECT_EQ(moved[kStartMonth], 1);
    EXPECT_EQ(moved[kStartDay], 1);
    EXPECT_EQ(moved[kStartHour], 0);
    EXPECT_EQ(moved[kStartMinute], 0);
    EXPECT_EQ(moved[kStartSecond], 0);
    // Everything but the start stays.
    EXPECT_EQ(moved[0], 1000);
    EXPECT_EQ(moved[28], 1028);
    EXPECT_EQ(moved[35], 1035);
    EXPECT_EQ(moved[37], 1037);
    EXPECT_EQ(moved[kEndHour], 0);
    EXPECT_EQ(moved[kEndMinute], 30);
    EXPECT_EQ(playback_span_seconds(Span(2024, 1, 1, 10, 0, 0, 10, 0, 0)), 0) << "an empty span stays empty";
    EXPECT_EQ(days_in_month(2000, 2), 29);
    EXPECT_EQ(days_in_month(1900, 2), 28);
    EXPECT_EQ(days_in_month(2024, 13), 30);
}

// Random spans against Python's datetime: start + (percent x span) // 100
// seconds, the span taken across midnight when the end lies before the start.
TEST(NetSdkPlayback, SeekAgreesWithPythonDatetime)
{
    testing_support::TempFolder folder;
    std::mt19937 random(2024);
    std::vector<playback_record> records;
    std::vector<int> percents;
    std::ofstream cases(folder.Path() + "/cases.txt");
    for (int i = 0; i < 400; ++i) {
        int year = 1999 + static_cast<int>(random() % 30);
        int month = 1 + static_cast<int>(random() % 12);
        int day = 1 + static_cast<int>(random() % days_in_month(year, month));
        playback_record record = Span(year, month, day, static_cast<int>(random() % 24),
                                      static_cast<int>(random() % 60), static_cast<int>(random() % 60),
                                      static_cast<int>(random() % 24), static_cast<int>(random() % 60),
                                      static_cast<int>(random() % 60));
        int percent = static_cast<int>(random() % 101);
        records.push_back(record);
        percents.push_back(percent);
        cases << year << ' ' << month << ' ' << day << ' ' << record[kStartHour] << ' ' << record[kStartMinute] << ' '
              << record[kStartSecond] << ' ' << record[kEndHour] << ' ' << record[kEndMinute] << ' '
              << record[kEndSecond] << ' ' << percent << '\n';
    }
    cases.close();
    std::ofstream(folder.Path() + "/oracle.py") << R"PY(
import datetime, sys
for line in open(sys.argv[1]):
    y, mo, d, h, mi, s, eh, em, es, p = map(int, line.split())
    start = datetime.datetime(y, mo, d, h, mi, s)
    span = (eh - h) * 3600 + (em - mi) * 60 + (es - s)
    if span < 0:
        span += 86400
    t = start + datetime.timedelta(seconds=(p * span) // 100)
    print(t.year, t.month, t.day, t.hour, t.minute, t.second)
)PY";
    auto oracle = testing_support::RunCommand("/usr/bin/python3 " + folder.Path() + "/oracle.py " + folder.Path() +
                                              "/cases.txt");
    ASSERT_EQ(oracle.exitCode, 0);
    std::istringstream lines(oracle.output);
    for (std::size_t i = 0; i < records.size(); ++i) {
        int y, mo, d, h, mi, s;
        ASSERT_TRUE(lines >> y >> mo >> d >> h >> mi >> s);
        playback_record moved = seek_playback_record(records[i], percents[i]);
        EXPECT_EQ((std::vector<int>{moved[kStartYear], moved[kStartMonth], moved[kStartDay], moved[kStartHour],
                                    moved[kStartMinute], moved[kStartSecond]}),
                  (std::vector<int>{y, mo, d, h, mi, s}))
            << "case " << i;
    }
}

TEST(NetSdkCameraCommand, InnerPayloadAndItsCopy)
{
    const uint8_t guard[124] = {7, 8, 9};
    std::vector<uint8_t> body = camera_command_body(11, 22, 20370, guard, sizeof guard, true);
    ASSERT_EQ(body.size(), 360u);
    EXPECT_EQ(ReadU32(body.data()), 11u);
    EXPECT_EQ(ReadU32(body.data() + 4), 22u);
    EXPECT_EQ(ReadU32(body.data() + 8), 124u);
    EXPECT_EQ(ReadU32(body.data() + 12), 20370u);
    EXPECT_EQ(body[16], 7);
    EXPECT_EQ(body[16 + 123], 0);
    EXPECT_EQ(body[140], 0) << "zero between the payload and its copy";
    EXPECT_EQ(body[236], 7);
    EXPECT_EQ(body[238], 9);

    const uint8_t query[8] = {1};
    EXPECT_EQ(camera_command_body(1, 2, 20371, query, sizeof query, false).size(), 236u);
    const uint8_t tooBig[221] = {};
    EXPECT_TRUE(camera_command_body(1, 2, 1, tooBig, sizeof tooBig, true).empty());
}

} // namespace
