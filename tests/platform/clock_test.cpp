#include "platform/clock.h"
#include "platform/event.h"

#include "support/scoped_env.h"

#include <gtest/gtest.h>

#include <ctime>
#include <thread>

namespace {

TEST(Clock, LocalTimeFollowsTheZoneAndRoundTrips)
{
    testing_support::ScopedEnv tz("TZ", "Asia/Shanghai");
    ::tzset();
    // 2025-03-01 16:00:00 UTC is midnight of the next day in UTC+8.
    platform::CivilTime t = platform::ToLocalTime(1740844800);
    EXPECT_EQ(t.year, 2025);
    EXPECT_EQ(t.month, 3);
    EXPECT_EQ(t.day, 2);
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(platform::FromLocalTime(t).value_or(0), 1740844800);

    platform::CivilTime u = platform::ToUtcTime(1740844800, 7);
    EXPECT_EQ(u.day, 1);
    EXPECT_EQ(u.hour, 16);
    EXPECT_EQ(u.millisecond, 7);
    tz.Unset();
    ::tzset();
}

TEST(Clock, UnsignedSecondsAfter2038StayInTheFuture)
{
    platform::CivilTime t = platform::ToUtcTime(static_cast<int64_t>(uint32_t{0x80000000u}));
    EXPECT_EQ(t.year, 2038);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 19);
}

TEST(Clock, MonotonicClockMovesForward)
{
    int64_t before = platform::MonotonicMs();
    platform::SleepMs(20);
    EXPECT_GE(platform::MonotonicMs() - before, 20);
}

} // namespace

namespace {

TEST(Clock, SystemWaitEndsAtTheEventOrTheTimeOut)
{
    platform::Event wake(true, false);
    const platform::Clock& clock = platform::Clock::System();
    int64_t before = platform::MonotonicMs();
    EXPECT_FALSE(clock.WaitFor(wake, 20));
    EXPECT_GE(platform::MonotonicMs() - before, 20);

    std::thread setter([&wake] {
        platform::SleepMs(10);
        wake.Set();
    });
    before = platform::MonotonicMs();
    EXPECT_TRUE(clock.WaitFor(wake, 60000));
    EXPECT_LT(platform::MonotonicMs() - before, 30000);
    setter.join();
    // A negative wait (a loop that is already late) returns at once.
    wake.Reset();
    EXPECT_FALSE(clock.WaitFor(wake, -5));
}

} // namespace
