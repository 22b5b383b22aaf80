#include "vqSDK/VlrRealplay/live_pacing.h"

#include <gtest/gtest.h>

namespace realplay {
namespace {

struct VideoCase
{
    const char* what;
    uint32_t lagMs;
    float frameRate;
    bool keyFrame;
    bool keyOnlyBefore;
    float factor;
    bool keyOnlyAfter;
    uint32_t intervalMs;
};

TEST(LivePacing, VideoPaceFollowsLagAndFrameRate)
{
    const VideoCase cases[] = {
        {"on time at 25 fps", 0, 25.0f, false, false, 1.0f, false, 40},
        {"just under catch-up", 399, 25.0f, false, false, 1.0f, false, 40},
        {"catch-up from 400 ms: 24 whole ms", 400, 25.0f, false, false, 400.0f / 600.0f + 1.0f, false, 24},
        {"catch-up grows with the lag", 480, 25.0f, false, false, 1.8f, false, 22},
        {"catch-up capped at twice", 900, 25.0f, false, false, 2.0f, false, 20},
        {"3000 ms still plays every frame", 3000, 25.0f, false, false, 2.0f, false, 20},
        {"beyond 3000 ms key frames only", 3001, 25.0f, true, false, 20.0f, true, 2},
        {"P frame within reach keeps key-only", 100, 25.0f, false, true, 1.0f, true, 40},
        {"key frame within reach ends key-only", 100, 25.0f, true, true, 1.0f, false, 40},
        {"no rate probed keeps the start rate", 0, 0.0f, true, false, 1.0f, false, 50},
    };
    for (const auto& c : cases) {
        VideoPace pace = NextVideoPace(c.lagMs, c.frameRate, c.keyFrame, c.keyOnlyBefore);
        EXPECT_FLOAT_EQ(pace.factor, c.factor) << c.what;
        EXPECT_EQ(pace.keyFramesOnly, c.keyOnlyAfter) << c.what;
        EXPECT_EQ(pace.intervalMs, c.intervalMs) << c.what;
    }
}

TEST(LivePacing, LagCountsFramesAtTheVideoRate)
{
    EXPECT_EQ(LagMs(10, 110, 25.0f), 4000u);
    EXPECT_EQ(LagMs(110, 10, 25.0f), 0u);
    EXPECT_EQ(LagMs(5, 5, 25.0f), 0u);
    EXPECT_EQ(LagMs(0, 10, 0.0f), 0u) << "an unknown rate must not divide by zero";
    EXPECT_FLOAT_EQ(UsableFrameRate(0.0f, 12.5f), 12.5f);
    EXPECT_FLOAT_EQ(UsableFrameRate(30.0f, 12.5f), 30.0f);
}

TEST(LivePacing, AudioHoldFollowsSampleRateFactorAndRunOver)
{
    EXPECT_FLOAT_EQ(AudioFactor(999), 1.0f);
    EXPECT_FLOAT_EQ(AudioFactor(1000), 1.2f);
    EXPECT_FLOAT_EQ(AudioFactor(3000), 6.0f);
    EXPECT_EQ(AudioHoldMs(320, 8000.0f, 1.0f, 0), 40u);
    EXPECT_EQ(AudioHoldMs(320, 8000.0f, 1.2f, 0), 33u);
    EXPECT_EQ(AudioHoldMs(320, 8000.0f, 1.0f, 25), 32u);
    EXPECT_EQ(AudioHoldMs(320, 8000.0f, 1.0f, 250), 20u) << "run-over is clamped to 100 %";
    EXPECT_EQ(AudioHoldMs(320, 0.0f, 1.0f, 0), 0u);
}

TEST(LivePacing, LatenessIsOwedAndPaidBack)
{
    // Without compensation the rest of the interval is slept, capped at 2 s.
    EXPECT_EQ(SleepAfterVideo(40, 10, 0, false).sleepMs, 30u);
    EXPECT_EQ(SleepAfterVideo(40, 50, 0, false).sleepMs, 0u);
    EXPECT_EQ(SleepAfterVideo(5000, 0, 0, false).sleepMs, 2000u);

    // An overrun becomes debt, capped at 3 s, and later intervals pay it leaving 1 ms each.
    VideoSleep late = SleepAfterVideo(40, 140, 0, true);
    EXPECT_EQ(late.sleepMs, 0u);
    EXPECT_EQ(late.debtMs, 100u);
    EXPECT_EQ(SleepAfterVideo(40, 5000, 2990, true).debtMs, 3000u);
    VideoSleep pay = SleepAfterVideo(40, 10, late.debtMs, true);
    EXPECT_EQ(pay.sleepMs, 1u);
    EXPECT_EQ(pay.debtMs, 71u);
    VideoSleep settle = SleepAfterVideo(40, 0, 5, true);
    EXPECT_EQ(settle.sleepMs, 35u);
    EXPECT_EQ(settle.debtMs, 0u);
}

} // namespace
} // namespace realplay
