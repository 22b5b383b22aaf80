// The received-audio buffer between decoding and the device: whole 20 ms
// blocks only, refused blocks dropped, and the bound on what waits.
#include "playback_buffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using talk_audio::kBlockBytes;
using talk_audio::kBlockSamples;
using talk_audio::PlaybackBuffer;

// Passes blocks unchanged and counts them.
struct CountingFilter {
    int blocks = 0;
    talk_audio::BlockFilter Filter()
    {
        return [this](int16_t*) {
            ++blocks;
            return true;
        };
    }
};

TEST(PlaybackBuffer, OnlyWholeBlocksReachPlayback)
{
    PlaybackBuffer buffer;
    CountingFilter counting;
    std::vector<int16_t> samples(kBlockSamples * 3, 0);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t(i);

    // 20 A-law bytes decode to 40 bytes, not yet a block.
    EXPECT_EQ(buffer.Append(samples.data(), 20, counting.Filter()), 0u);
    EXPECT_EQ(buffer.PendingBytes(), 40u);
    EXPECT_EQ(buffer.PlayableBytes(), 0u);
    EXPECT_EQ(counting.blocks, 0);

    // The rest of the first block and half of the next: one block, in order.
    buffer.Append(samples.data() + 20, kBlockSamples, counting.Filter());
    EXPECT_EQ(counting.blocks, 1);
    EXPECT_EQ(buffer.PlayableBytes(), kBlockBytes);
    EXPECT_EQ(buffer.PendingBytes(), 40u);
    const auto* played = reinterpret_cast<const int16_t*>(buffer.PlayableData());
    for (std::size_t i = 0; i < kBlockSamples; ++i) ASSERT_EQ(played[i], int16_t(i)) << i;

    // Several blocks in one append are all taken.
    buffer.Append(samples.data() + 20 + kBlockSamples, 2 * kBlockSamples - 20, counting.Filter());
    EXPECT_EQ(counting.blocks, 3);
    EXPECT_EQ(buffer.PendingBytes(), 0u);
    played = reinterpret_cast<const int16_t*>(buffer.PlayableData());
    for (std::size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(played[i], int16_t(i)) << i;

    buffer.Consume(kBlockBytes);
    EXPECT_EQ(buffer.PlayableBytes(), 2 * kBlockBytes);
    EXPECT_EQ(reinterpret_cast<const int16_t*>(buffer.PlayableData())[0], int16_t(kBlockSamples));
    buffer.Clear();
    EXPECT_EQ(buffer.PlayableBytes() + buffer.PendingBytes(), 0u);
}

TEST(PlaybackBuffer, FilterCleansInPlaceAndMayDropABlock)
{
    PlaybackBuffer buffer;
    std::vector<int16_t> samples(2 * kBlockSamples, 100);
    int seen = 0;
    buffer.Append(samples.data(), samples.size(), [&seen](int16_t* block) {
        block[0] = -1;
        return ++seen == 2;
    });
    ASSERT_EQ(buffer.PlayableBytes(), kBlockBytes);
    const auto* played = reinterpret_cast<const int16_t*>(buffer.PlayableData());
    EXPECT_EQ(played[0], -1);
    EXPECT_EQ(played[1], 100);
}

TEST(PlaybackBuffer, WaitingAudioIsBounded)
{
    const auto passAll = [](int16_t*) { return true; };
    struct Case {
        std::size_t appendedBytes;
        std::size_t dropped;
        std::size_t left;
    } cases[] = {
        {20480, 0, 20480},                  // exactly at the bound: kept whole
        {20480 + kBlockBytes, 9600, 11200}, // past it: the oldest 9600 bytes go
        {40960, 9600, 31360},               // one drop per append, however far past
    };
    for (const Case& c : cases) {
        PlaybackBuffer buffer;
        std::vector<int16_t> samples(c.appendedBytes / 2);
        for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t(i);
        EXPECT_EQ(buffer.Append(samples.data(), samples.size(), passAll), c.dropped) << c.appendedBytes;
        EXPECT_EQ(buffer.PlayableBytes(), c.left) << c.appendedBytes;
        // What stays is the newest audio.
        EXPECT_EQ(reinterpret_cast<const int16_t*>(buffer.PlayableData())[0], int16_t(c.dropped / 2));
    }
}

} // namespace
