#include "basekit/time_functions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

using namespace basekit_test;

TEST(BasekitTimeFunctions, CalendarArithmeticTable) {
    EXPECT_EQ(MakeHHMMSSXXX(12, 34, 56, 789), 123456789);
    EXPECT_EQ(MakeHHMMSSXXX(123, 159, 160, 5), 230000000 + 5900000 + 60000 + 5);

    const struct {
        int year, month, days;
    } months[] = {{1900, 2, 28}, {2000, 2, 29}, {2024, 2, 29}, {2023, 2, 28}, {2100, 2, 28},
                  {2024, 1, 31}, {2024, 4, 30}, {2024, 12, 31}, {2024, 0, -1}, {2024, 13, -1}};
    for (const auto &m : months)
        EXPECT_EQ(GetDaysInMonth(m.year, m.month), m.days) << m.year << "-" << m.month;

    const struct {
        int date, days, expected;
    } adds[] = {{20240228, 2, 20240301}, {20230228, 1, 20230301}, {20241231, 1, 20250101},
                {20240301, -1, 20240229}, {20240331, 0, 20240331}, {20240101, 366, 20250101}};
    for (const auto &a : adds)
        EXPECT_EQ(YYMMDD_addval(a.date, a.days), a.expected) << a.date << " + " << a.days;
}

TEST(BasekitTimeFunctions, DayArithmeticAgreesWithGnuDateAndPythonCalendar) {
    TempDir dir;
    std::string output;
    ASSERT_EQ(runShell("TZ=Europe/Berlin date -d '2024-02-28 +2 days' +%Y%m%d", &output, &dir), 0);
    EXPECT_EQ(YYMMDD_addval(20240228, 2), std::stoi(output));
    // Across the spring change of daylight saving time.
    ASSERT_EQ(runShell("TZ=Europe/Berlin date -d '2024-03-30 +1 days' +%Y%m%d", &output, &dir), 0);
    EXPECT_EQ(YYMMDD_addval(20240330, 1), std::stoi(output));

    // Weekday and month length for every month 1900-2400.
    ASSERT_EQ(runShell("python3 -c \"import calendar\n"
                       "for y in range(1900,2401):\n"
                       " for m in range(1,13): print(y,m,calendar.weekday(y,m,13),calendar.monthrange(y,m)[1])\"",
                       &output, &dir),
              0);
    std::istringstream lines(output);
    int year, month, mondayBased, days, checked = 0;
    while (lines >> year >> month >> mondayBased >> days) {
        ASSERT_EQ(GetWeekDay(year, month, 13), (mondayBased + 1) % 7) << year << "-" << month;
        ASSERT_EQ(GetDaysInMonth(year, month), days) << year << "-" << month;
        ++checked;
    }
    EXPECT_EQ(checked, 501 * 12);
}

// Each zone runs in its own helper process, as the zone is read once per
// process; GNU date is the reference.
TEST(BasekitTimeFunctions, SecondToSystimeAgreesWithGnuDateInThreeZones) {
    TempDir dir;
    std::mt19937_64 gen(20240611);
    std::vector<long long> instants = {0, 951782400, 1711846799, 1711846800, 1730595600, 2147483647};
    while (instants.size() < 3000)
        instants.push_back(static_cast<long long>(gen() % 4102444800ull));  // up to 2100
    std::string list;
    std::string dateList;
    for (long long s : instants) {
        list += " " + std::to_string(s);
        dateList += "@" + std::to_string(s) + "\n";
    }
    writeText(dir.file("dates.txt"), dateList);
    for (const char *zone : {"UTC", "Europe/Berlin", "America/New_York"}) {
        std::string ours, theirs;
        ASSERT_EQ(runShell(std::string("TZ=") + zone + " " + BASEKIT_PROBE + " times" + list + " | grep -v '^set '",
                           &ours, &dir),
                  0);
        ASSERT_EQ(runShell(std::string("TZ=") + zone + " date -f " + quote(dir.file("dates.txt")) +
                               " '+%s %Y %m %d %H %M %S %w %j'",
                           &theirs, &dir),
                  0);
        std::istringstream a(ours), b(theirs);
        std::string lineA, lineB;
        size_t compared = 0;
        while (std::getline(b, lineB)) {
            ASSERT_TRUE(std::getline(a, lineA)) << zone;
            // Ours ends with the round trip through SystimeToSecond.
            const size_t cut = lineA.rfind(' ');
            EXPECT_EQ(lineA.substr(0, cut), lineB) << zone;
            // The hour repeated when daylight saving ends reads back as either instant.
            const long long back = std::stoll(lineA.substr(cut + 1));
            const long long original = std::stoll(lineB.substr(0, lineB.find(' ')));
            if (back != original) {
                EXPECT_TRUE(std::string(zone) != "UTC" && (back - original == 3600 || original - back == 3600))
                    << zone << " round trip of " << original << " gave " << back;
            }
            ++compared;
        }
        EXPECT_EQ(compared, instants.size()) << zone;
    }
}

TEST(BasekitTimeFunctions, FormsOfDatesAndTimes) {
    SYS_TIME t{};
    t.year = 2024;
    t.month = 3;
    t.day = 9;
    t.hour = 7;
    t.minute = 5;
    t.second = 3;
    int date = 0, clock = 0;
    SystimeToFormTime(&t, &date, &clock);
    EXPECT_EQ(date, 20240309);
    EXPECT_EQ(clock, 70503);

    int64_t seconds = 0;
    ASSERT_EQ(SystimeToSecond(&t, &seconds), 1);
    SecondToFormTime(seconds, &date, &clock);
    EXPECT_EQ(date, 20240309);
    EXPECT_EQ(clock, 70503);
    char text[15];
    SecondToFormStr(seconds, text);
    EXPECT_STREQ(text, "20240309070503");
    char small[14] = "unchanged";
    EXPECT_EQ(SecondToFormStr_s(seconds, small, sizeof small), 0);
    EXPECT_STREQ(small, "unchanged");

    unsigned clockValue = 1;
    StrTimeToFormTime("20240309070503", &date, &clockValue);
    EXPECT_EQ(date, 20240309);
    EXPECT_EQ(clockValue, 70503u);
    StrTimeToFormTime("2024030907050", &date, &clockValue);  // 13 characters
    EXPECT_EQ(date, 0);
    EXPECT_EQ(clockValue, 0u);
}

TEST(BasekitTimeFunctions, DifferencesAndAddedSeconds) {
    SYS_TIME a{};
    a.year = 2024;
    a.month = 2;
    a.day = 28;
    a.hour = 23;
    a.minute = 59;
    a.second = 30;
    a.millisecond = 250;
    SYS_TIME b = a;
    GetTimeAddSeconds(&b, 86400 + 45);
    EXPECT_EQ(b.year, 2024);
    EXPECT_EQ(b.month, 3);
    EXPECT_EQ(b.day, 1);
    EXPECT_EQ(b.hour, 0);
    EXPECT_EQ(b.minute, 0);
    EXPECT_EQ(b.second, 15);
    EXPECT_EQ(b.millisecond, 250);
    EXPECT_EQ(b.weekday, GetWeekDay(2024, 3, 1));
    EXPECT_EQ(b.yearday, 31 + 29);
    EXPECT_EQ(GetDifferSecondsNums(&b, &a), 86400 + 45);
    int64_t secondsA = 0;
    ASSERT_EQ(SystimeToSecond(&a, &secondsA), 1);
    EXPECT_EQ(GetDifferSecondsNums(&a, nullptr), secondsA);
    const int64_t sinceA = GetDifferSecondsNums(nullptr, &a);
    int64_t now = 0;
    GetSeconds(&now, nullptr);
    EXPECT_NEAR(static_cast<double>(sinceA), static_cast<double>(now - secondsA), 2.0);
}

TEST(BasekitTimeFunctions, ClockReadingsAgree) {
    int64_t seconds = 0;
    int milliseconds = -1;
    GetSeconds(&seconds, &milliseconds);
    EXPECT_GE(milliseconds, 0);
    EXPECT_LT(milliseconds, 1000);
    bk_timeval tv{};
    ASSERT_EQ(bk_gettimeofday(&tv, nullptr), 0);
    EXPECT_EQ(tv.tv_usec % 1000, 0);
    EXPECT_NEAR(static_cast<double>(tv.tv_sec), static_cast<double>(seconds), 2.0);

    SYS_TIME today{}, tomorrow{};
    GetTime(&today, 0);
    GetTime(&tomorrow, 1);
    const int64_t apart = GetDifferSecondsNums(&tomorrow, &today);
    // One day later by the clock; a change of daylight saving moves it an hour.
    EXPECT_TRUE(apart >= 86400 - 3601 && apart <= 86400 + 3601) << apart;
}

TEST(BasekitTimeFunctions, LibraryDoesNotExportLibcTimeOfDay) {
    TempDir dir;
    std::string output;
    ASSERT_EQ(runShell(std::string("nm -D --defined-only ") + BASEKIT_LIBRARY + " | awk '{print $3}'", &output, &dir),
              0);
    EXPECT_NE(output.find("\nbk_gettimeofday\n"), std::string::npos);
    EXPECT_EQ(output.find("\ngettimeofday\n"), std::string::npos);
}

// Setting the clock is only ever tried with times that do not exist: a test
// must never move the machine's clock.
TEST(BasekitTimeFunctions, SetTimeRefusesFieldsOutOfRange) {
    EXPECT_EQ(SetTime(nullptr), 0);
    SYS_TIME valid{};
    valid.year = 2024;
    valid.month = 6;
    valid.day = 1;
    const struct {
        const char *what;
        void (*spoil)(SYS_TIME &);
    } cases[] = {
        {"month 0", [](SYS_TIME &t) { t.month = 0; }},
        {"month 13", [](SYS_TIME &t) { t.month = 13; }},
        {"30 February", [](SYS_TIME &t) { t.month = 2, t.day = 30; }},
        {"29 February 2023", [](SYS_TIME &t) { t.year = 2023, t.month = 2, t.day = 29; }},
        {"hour 24", [](SYS_TIME &t) { t.hour = 24; }},
        {"second 60", [](SYS_TIME &t) { t.second = 60; }},
        {"millisecond 1000", [](SYS_TIME &t) { t.millisecond = 1000; }},
        {"year 1969", [](SYS_TIME &t) { t.year = 1969; }},
    };
    for (const auto &c : cases) {
        SYS_TIME t = valid;
        c.spoil(t);
        EXPECT_EQ(SetTime(&t), 0) << c.what;
    }
}
