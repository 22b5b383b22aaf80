#include "platform/system_time.h"

#include <gtest/gtest.h>

// SetSystemClock itself is never called: a test must not move the clock.
TEST(PlatformSystemTime, WallTimeForLocalRoundTripsAndRefusesNonexistentTimes) {
    platform::CivilTime civil;
    civil.year = 2024;
    civil.month = 2;
    civil.day = 29;
    civil.hour = 13;
    civil.minute = 14;
    civil.second = 15;
    civil.millisecond = 678;
    const auto when = platform::WallTimeForLocal(civil);
    ASSERT_TRUE(when.has_value());
    EXPECT_EQ(when->milliseconds, 678);
    const platform::CivilTime back = platform::ToLocalTime(when->seconds, when->milliseconds);
    EXPECT_EQ(back.year, 2024);
    EXPECT_EQ(back.month, 2);
    EXPECT_EQ(back.day, 29);
    EXPECT_EQ(back.hour, 13);
    EXPECT_EQ(back.minute, 14);
    EXPECT_EQ(back.second, 15);

    const struct {
        const char *what;
        void (*spoil)(platform::CivilTime &);
    } cases[] = {
        {"29 February 2023", [](platform::CivilTime &c) { c.year = 2023; }},
        {"31 April", [](platform::CivilTime &c) { c.month = 4, c.day = 31; }},
        {"month 13", [](platform::CivilTime &c) { c.month = 13; }},
        {"day 0", [](platform::CivilTime &c) { c.day = 0; }},
        {"minute 60", [](platform::CivilTime &c) { c.minute = 60; }},
        {"millisecond -1", [](platform::CivilTime &c) { c.millisecond = -1; }},
        {"year 1969", [](platform::CivilTime &c) { c.year = 1969; }},
    };
    for (const auto &c : cases) {
        platform::CivilTime spoiled = civil;
        c.spoil(spoiled);
        EXPECT_FALSE(platform::WallTimeForLocal(spoiled).has_value()) << c.what;
    }
}
