#include "Depend/qn_time.h"

#include "support/run_command.h"
#include "support/scoped_env.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

TEST(TimeTexts, BuffersBelow24CharactersAreRefused)
{
    char narrow[24];
    wchar_t wide[24];
    EXPECT_EQ(QNGetDateText(narrow, 23), 0);
    EXPECT_EQ(QNGetDateTimeText(narrow, 23), 0);
    EXPECT_EQ(QNGetTimeText(wide, 23), 0);
    EXPECT_EQ(QNGetDateText(nullptr, 24), 0);
    EXPECT_EQ(QNTimeToText(0, narrow, 23), 0);
    EXPECT_EQ(QNGetDateText(narrow, 24), 1);
    EXPECT_EQ(QNGetDateTimeText(wide, 24), 1);
    EXPECT_EQ(QNTimeToText(0, narrow, 24), 1);
}

TEST(TimeTexts, FormatsAgreeWithDate)
{
    char date[32], dateTime[32], time[32];
    wchar_t wideDateTime[32], dots[32];
    std::string before = testing_support::RunCommand("date +%Y%m%d_%H%M%S").output;
    ASSERT_EQ(QNGetDateText(date, 32), 1);
    ASSERT_EQ(QNGetDateTimeText(dateTime, 32), 1);
    ASSERT_EQ(QNGetDateTimeText(wideDateTime, 32), 1);
    ASSERT_EQ(QNGetDotDateText(dots, 32), 1);
    ASSERT_EQ(QNGetTimeText(time, 32), 1);
    std::string after = testing_support::RunCommand("date +%Y%m%d_%H%M%S").output;
    std::string text = dateTime;
    EXPECT_TRUE(text + "\n" == before || text + "\n" == after) << text;
    EXPECT_EQ(std::string(date), text.substr(0, 8));
    EXPECT_EQ(std::wstring(wideDateTime), std::wstring(text.begin(), text.end()));
    std::string d = text.substr(0, 8);
    EXPECT_EQ(std::wstring(dots), std::wstring(d.begin(), d.begin() + 4) + L"." +
                                      std::wstring(d.begin() + 4, d.begin() + 6) + L"." +
                                      std::wstring(d.begin() + 6, d.end()));
    EXPECT_TRUE(std::regex_match(std::string(time), std::regex(R"(\d\d:\d\d:\d\d_\d\d\d)"))) << time;
}

TEST(TimeTexts, SecondCountsAreUnsignedAndLocal)
{
    testing_support::ScopedEnv tz("TZ", "UTC");
    ::tzset();
    char text[32];
    ASSERT_EQ(QNTimeToText(1740873599u, text, 32), 1);
    EXPECT_STREQ(text, "20250301_23:59:59");
    std::tm record{};
    // 2^31 seconds is in January 2038, not December 1901.
    ASSERT_EQ(QNLocalTime(0x80000000u, &record), 1);
    EXPECT_EQ(record.tm_year + 1900, 2038);
    ASSERT_EQ(QNLocalTime(0xFFFFFFFFu, &record), 1);
    EXPECT_EQ(record.tm_year + 1900, 2106);
    EXPECT_EQ(QNLocalTime(0, nullptr), 0);
    uint32_t now = QNTime();
    EXPECT_NEAR(static_cast<double>(now), static_cast<double>(std::time(nullptr)), 2.0);
    tz.Unset();
    ::tzset();
}

} // namespace
