#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "streams/tf_utilities.h"
#include "support/run_command.h"
#include "support/temp_folder.h"

namespace {

using namespace streams;

testing_support::CommandResult Python(const std::string& program)
{
    return testing_support::RunCommand("python3 -c '" + program + "'");
}

TEST(TfPlayTime, ChecksAndRepairsSpans)
{
    struct Case {
        TfSpan span;
        int repair;
        int result;
        int endHour, endMinute, endSecond;
    } cases[] = {
        {{2024, 5, 1, 10, 0, 0, 9, 0, 0}, 0, 0, 9, 0, 0},
        {{2024, 5, 1, 10, 0, 0, 9, 0, 0}, 1, 1, 23, 59, 59},
        {{2024, 5, 1, 10, 0, 0, 10, 5, 0}, 0, 1, 10, 5, 0},
        {{2024, 13, 1, 10, 0, 0, 11, 0, 0}, 1, 0, 11, 0, 0},
        {{2024, 5, 0, 10, 0, 0, 11, 0, 0}, 1, 0, 11, 0, 0},
        {{2024, 5, 1, 24, 0, 0, 11, 0, 0}, 1, 0, 11, 0, 0},
        {{2024, 5, 1, 10, 60, 0, 11, 0, 0}, 1, 0, 11, 0, 0},
    };
    for (const auto& c : cases) {
        VQ_TF_TIME time = PackTfSpan(c.span);
        EXPECT_EQ(UnpackTfSpan(time).startHour, c.span.startHour);
        EXPECT_EQ(tfCheckPlayTime(&time, c.repair), c.result);
        TfSpan after = UnpackTfSpan(time);
        EXPECT_EQ(after.endHour * 3600 + after.endMinute * 60 + after.endSecond,
                  c.endHour * 3600 + c.endMinute * 60 + c.endSecond);
        EXPECT_EQ(after.startHour, c.span.startHour);
        EXPECT_EQ(after.year, c.span.year);
    }
    // The start hour is split across the two words.
    VQ_TF_TIME time = PackTfSpan({2024, 5, 1, 23, 1, 2, 23, 30, 0});
    EXPECT_EQ(time.word0 >> 30, 3u);
    EXPECT_EQ(time.word1 & 7, 5u);
    uint32_t start = 0, end = 0;
    tfPackPlayTime(time, &start, &end);
    TfDateTime unpacked;
    tfUnpackTime(&unpacked, end);
    EXPECT_EQ(unpacked.year, 2024);
    EXPECT_EQ(unpacked.hour, 23);
    EXPECT_EQ(unpacked.minute, 30);
    tfUnpackTime(&unpacked, start);
    EXPECT_EQ(unpacked.second, 2);
    EXPECT_EQ(start >> 26, 24u); // the word given stays as it was
}

TEST(TfCalendar, AgreesWithPythonsDatetime)
{
    auto dates = Python("import datetime\nfor n in range(1, 40001):\n"
                        "    d = datetime.date(2010, 1, 1) + datetime.timedelta(n - 1)\n"
                        "    print(d.year, d.month, d.day, d.timetuple().tm_yday - 1)");
    ASSERT_EQ(dates.exitCode, 0) << dates.output;
    std::istringstream lines(dates.output);
    int n = 1, wrong = 0;
    for (int year, month, day, yearday; lines >> year >> month >> day >> yearday; ++n) {
        TfDateTime got;
        tfDateFromDays(n, &got);
        TfDateTimeLong date{year, month, day, 0, 0, 0, 0, yearday};
        if (got.year != year || got.month != month || got.day != day || tfDaysSince2010(date) != n) ++wrong;
    }
    EXPECT_EQ(n, 40001);
    EXPECT_EQ(wrong, 0);
    TfDateTime edge;
    tfDateFromDays(790, &edge);
    EXPECT_EQ(edge.year * 10000 + edge.month * 100 + edge.day, 20120229);
    tfDateFromDays(366, &edge);
    EXPECT_EQ(edge.year * 10000 + edge.month * 100 + edge.day, 20110101);
    tfDateFromDays(262145, &edge);
    EXPECT_EQ(edge.year, 3000);
    EXPECT_EQ(edge.month, 0);

    auto times = Python("import calendar, random\nr = random.Random(3)\nfor _ in range(500):\n"
                        "    t = (r.randrange(1970, 2400), r.randrange(1, 13), r.randrange(1, 29), r.randrange(24),"
                        " r.randrange(60), r.randrange(60))\n"
                        "    print(*t, calendar.timegm(t + (0, 0, 0)), int(calendar.isleap(t[0])))");
    ASSERT_EQ(times.exitCode, 0) << times.output;
    std::istringstream timeLines(times.output);
    int count = 0;
    for (TfDateTime t; timeLines >> t.year >> t.month >> t.day >> t.hour >> t.minute >> t.second; ++count) {
        int64_t seconds;
        int leap;
        timeLines >> seconds >> leap;
        EXPECT_EQ(tfMakeUtcTime(t), seconds);
        EXPECT_EQ(tfIsLeapYear(t.year), leap) << t.year;
    }
    EXPECT_EQ(count, 500);

    TfDateTimeLong april{2024, 4, 31, 7, 8, 9, 0, 0};
    tfNormaliseDate(&april);
    EXPECT_EQ(april.month, 5);
    EXPECT_EQ(april.day, 1);
    EXPECT_EQ(april.hour, 0);
    EXPECT_EQ(april.weekday, 3); // a Wednesday
    EXPECT_EQ(april.yearday, 121);
}

TEST(TfText, Utf16AgreesWithPython)
{
    auto cases = Python("import random\nr = random.Random(5)\nfor _ in range(200):\n"
                        "    s = \"\".join(chr(r.choice([r.randrange(0x20, 0x7f), r.randrange(0xa0, 0xd800),"
                        " r.randrange(0xe000, 0xfffe), r.randrange(0x10000, 0x10ffff)])) for _ in range(r.randrange(1, 12)))\n"
                        "    print(s.encode().hex(), s.encode(\"utf-16-le\").hex(), len(s))");
    ASSERT_EQ(cases.exitCode, 0) << cases.output;
    std::istringstream lines(cases.output);
    int count = 0;
    for (std::string utf8Hex, utf16Hex; lines >> utf8Hex >> utf16Hex; ++count) {
        std::string utf8;
        for (std::size_t i = 0; i < utf8Hex.size(); i += 2) utf8 += static_cast<char>(std::stoi(utf8Hex.substr(i, 2), nullptr, 16));
        int characters;
        lines >> characters;
        std::vector<uint16_t> out(64, 0xFFFF);
        ASSERT_EQ(tfUtf8ToUtf16(utf8.c_str(), out.data(), static_cast<int>(out.size())), 1);
        std::string hex;
        char byte[8];
        for (std::size_t i = 0; out[i] != 0; ++i) {
            std::snprintf(byte, sizeof byte, "%02x%02x", out[i] & 0xFF, out[i] >> 8);
            hex += byte;
        }
        EXPECT_EQ(hex, utf16Hex);
        EXPECT_EQ(tfUtf8Length(utf8.c_str()), characters);
    }
    EXPECT_EQ(count, 200);
    // A truncated sequence at the end and a pair that does not fit.
    uint16_t out[4];
    ASSERT_EQ(tfUtf8ToUtf16("a\xE4\xB8", out, 4), 1);
    EXPECT_EQ(out[0], 'a');
    EXPECT_EQ(out[1], 0xFFFD);
    ASSERT_EQ(tfUtf8ToUtf16("ab\xF0\x9F\x98\x80", out, 4), 1);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(tfUtf8ToUtf16(nullptr, out, 4), 0);
}

TEST(TfFolders, CreatesEveryPartBeforeTheLastSeparator)
{
    testing_support::TempFolder temp;
    const std::string path = temp.Path() + "/a/b\\c/file.mp4";
    EXPECT_EQ(tfMakeFolders(path.c_str()), 1);
    EXPECT_TRUE(platform::IsDirectory(temp.Path() + "/a/b/c"));
    EXPECT_FALSE(platform::PathExists(temp.Path() + "/a/b/c/file.mp4"));
    EXPECT_EQ(tfCreateFolderPath((temp.Path() + "/a/d/").c_str()), 0);
    EXPECT_TRUE(platform::IsDirectory(temp.Path() + "/a/d"));
    EXPECT_EQ(tfMakeFolders(std::string(256, 'x').c_str()), -1);
    testing_support::RunCommand("touch " + temp.Path() + "/plain");
    EXPECT_GT(tfMakeFolders((temp.Path() + "/plain/x/y").c_str()), 1); // ENOTDIR
}

TEST(TfCipherTest, MatchesAPythonTranscriptionAndRoundTrips)
{
    auto python = Python("key = bytes(range(200, 255)) * 3\nK = (key[:128] + bytes(128))[:128]\nP = list(range(128))\nj = 0\n"
                         "for i in range(128):\n    j = (j + P[i] + K[i]) % 128\n    P[i], P[j] = P[j], P[i]\n"
                         "data = bytearray(range(256)) * 2\nW = P[:]\ni = j = 0\nfor n in range(len(data)):\n"
                         "    j = (j + W[i]) % 128\n    i = (i + 1) % 128\n    W[i], W[j] = W[j], W[i]\n"
                         "    data[n] ^= W[(W[i] + W[j]) % 128]\nprint(data.hex())");
    ASSERT_EQ(python.exitCode, 0) << python.output;
    std::vector<uint8_t> key;
    for (int round = 0; round < 3; ++round) {
        for (int b = 200; b < 255; ++b) key.push_back(static_cast<uint8_t>(b));
    }
    std::vector<uint8_t> data;
    for (int round = 0; round < 2; ++round) {
        for (int b = 0; b < 256; ++b) data.push_back(static_cast<uint8_t>(b));
    }
    const std::vector<uint8_t> original = data;
    TfCipher cipher;
    tfCipherSetKey(&cipher, key.data(), key.size());
    tfCipherApply(&cipher, data.data(), data.size());
    std::string hex;
    char byte[4];
    for (uint8_t b : data) {
        std::snprintf(byte, sizeof byte, "%02x", b);
        hex += byte;
    }
    EXPECT_EQ(hex, testing_support::Chomp(python.output));
    tfCipherApply(&cipher, data.data(), data.size());
    EXPECT_EQ(data, original);
}

TEST(TfRateStatsTest, CountsPerKeyInTwoRings)
{
    TfRateStats stats;
    EXPECT_EQ(stats.Previous(0, 5, false), -1);
    stats.Add(0, 100, 7);
    stats.Add(0, 100, 5);
    stats.Add(0, 101, 3);
    EXPECT_EQ(stats.Previous(0, 102, false), 3);
    EXPECT_EQ(stats.Previous(0, 101, false), 12);
    EXPECT_EQ(stats.Previous(0, 101, true), 2);
    EXPECT_EQ(stats.Previous(0, 150, false), 0);
    EXPECT_EQ(stats.Previous(1, 102, false), -1);
    EXPECT_EQ(stats.Window(0, 102, 2, false), -1); // no start key yet
    stats.Reset(90);
    stats.Add(0, 100, 7);
    stats.Add(0, 101, 3);
    EXPECT_EQ(stats.Window(0, 102, 2, false), 10);
    EXPECT_EQ(stats.Window(0, 102, 9, true), 2); // n held to 5
    EXPECT_EQ(stats.Window(0, 120, 2, false), 0);
    EXPECT_EQ(stats.Window(0, 92, 2, false), -1);
}

} // namespace
