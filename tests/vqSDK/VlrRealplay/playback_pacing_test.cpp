#include "vqSDK/VlrRealplay/playback_pacing.h"

#include <gtest/gtest.h>

namespace realplay {
namespace {

TEST(PlaybackPacing, IntervalFollowsFrameRateAndRunOver)
{
    EXPECT_EQ(PlaybackIntervalMs(25.0f, 0), 40u);
    EXPECT_EQ(PlaybackIntervalMs(25.0f, 25), 32u);
    EXPECT_EQ(PlaybackIntervalMs(0.0f, 0), 50u) << "an unknown rate must not divide by zero";
}

TEST(PlaybackPacing, VideoWaitsForAudioUnlessTheStreamHasNone)
{
    EXPECT_FALSE(VideoMayLeave(1, {false, 0, 0})) << "no audio released yet";
    EXPECT_TRUE(VideoMayLeave(6, {true, 5, 10}));
    EXPECT_FALSE(VideoMayLeave(7, {true, 5, 10})) << "ahead of audio";
    EXPECT_FALSE(VideoMayLeave(1, {false, 0, kVideoAloneAfterMs - 1}));
    EXPECT_TRUE(VideoMayLeave(1, {false, 0, kVideoAloneAfterMs})) << "a stream without audio still plays";
    EXPECT_TRUE(VideoMayLeave(90, {true, 5, kVideoAloneAfterMs})) << "audio that stopped no longer holds video";
}

TEST(PlaybackPacing, FillBandsCapTheRequestedRate)
{
    struct Case { uint32_t byteFill, entryFill; std::optional<float> cap; };
    const Case cases[] = {
        {0, 299, 35.0f},   {450, 0, 25.0f},   {100, 450, 25.0f},      {550, 650, 12.5f},
        {700, 851, 5.0f},  {900, 0, 5.0f},    {350, 350, std::nullopt}, {550, 550, std::nullopt},
        {700, 800, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CapForFill(c.byteFill, c.entryFill, 25.0f), c.cap) << c.byteFill << "/" << c.entryFill;
}

TEST(PlaybackPacing, LossRaisesOrLowersTheWantedRate)
{
    struct Case { uint32_t loss; float received; std::optional<float> wanted; };
    const Case cases[] = {
        {kLossRateUnknown, 25.0f, std::nullopt}, {0, 25.0f, 27.0f}, {50, 34.0f, 35.0f},
        {51, 25.0f, 17.5f}, {1000, 5.0f, 5.0f}, {200, 6.0f, 5.0f}, {100, 40.0f, 28.0f},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RateForLoss(c.loss, c.received), c.wanted) << c.loss << "/" << c.received;
}

TEST(PlaybackPacing, RequestOnlyWhenTheTargetDiffersByTwo)
{
    EXPECT_EQ(RateRequestTarget(0.0f, 5.0f, 25.0f), 5.0f);
    EXPECT_EQ(RateRequestTarget(27.0f, 35.0f, 25.0f), 27.0f);
    EXPECT_EQ(RateRequestTarget(0.0f, 35.0f, 34.0f), std::nullopt);
    EXPECT_EQ(RateRequestTarget(0.0f, 0.0f, 25.0f), std::nullopt);
}

} // namespace
} // namespace realplay
