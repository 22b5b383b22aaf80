#include <gtest/gtest.h>

#include "block_builder.h"
#include "frame_sink.h"
#include "vqSDK/VlrNetSDK/media/lan_reassembly.h"

namespace {

using media_test::BlockSpec;
using media_test::FrameBlocks;
using media_test::FrameData;
using media_test::FrameSink;
using media_test::OwnedBlock;

bool Insert(qn_net::lan_reassembly& lan, const BlockSpec& spec)
{
    OwnedBlock owned(spec);
    EXPECT_TRUE(owned.ok);
    return lan.insert(owned.block);
}

class LanReassembly : public ::testing::Test {
protected:
    void SetUp() override { lan.set_callback(&FrameSink::OnData, sink.Value()); }
    FrameSink sink;
    qn_net::lan_reassembly lan;
};

TEST_F(LanReassembly, DeliversAWholeFrameWithItsNumberInFront)
{
    auto blocks = FrameBlocks(9, 0, 976 * 2 + 100, 0);
    for (const auto& block : blocks) EXPECT_TRUE(Insert(lan, block));
    auto video = sink.Video();
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0].number, 9u);
    EXPECT_EQ(video[0].type, 0);
    EXPECT_TRUE(video[0].prefixMatches);
    EXPECT_EQ(video[0].data, FrameData(blocks));
    EXPECT_EQ(lan.frames_in_progress(), 0);
}

TEST_F(LanReassembly, ARepeatedBlockDoesNotCompleteTheFrameEarly)
{
    auto blocks = FrameBlocks(3, 0, 976 * 2 + 5, 0);
    EXPECT_TRUE(Insert(lan, blocks[0]));
    EXPECT_FALSE(Insert(lan, blocks[0]));
    EXPECT_TRUE(Insert(lan, blocks[1]));
    EXPECT_TRUE(sink.Video().empty()) << "a frame with an unwritten block was delivered";
    EXPECT_TRUE(Insert(lan, blocks[2]));
    auto video = sink.Video();
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0].data, FrameData(blocks));
}

TEST_F(LanReassembly, RefusesBlocksThatDoNotFitTheirFrame)
{
    BlockSpec beyond;
    beyond.index = 600;
    beyond.count = 3;
    beyond.data = std::string(976, 'x');
    EXPECT_FALSE(Insert(lan, beyond));
    BlockSpec middleShort = FrameBlocks(1, 0, 976 * 3, 0)[1];
    middleShort.data.pop_back();
    EXPECT_FALSE(Insert(lan, middleShort));
    BlockSpec zeroCount;
    zeroCount.count = 0;
    EXPECT_FALSE(Insert(lan, zeroCount));

    // A block that names another count for a frame being collected.
    auto blocks = FrameBlocks(4, 0, 976 * 2 + 1, 0);
    EXPECT_TRUE(Insert(lan, blocks[0]));
    BlockSpec otherCount = blocks[1];
    otherCount.count = 2;
    otherCount.index = 1;
    EXPECT_FALSE(Insert(lan, otherCount));
    EXPECT_TRUE(sink.Video().empty());
    EXPECT_EQ(lan.frames_in_progress(), 1);
}

TEST_F(LanReassembly, ADependentFrameWithoutItsPredecessorBreaksTheSequenceUntilTheNextKeyFrame)
{
    uint32_t serial = 0;
    auto feed = [&](uint32_t frame, uint16_t type) {
        for (const auto& block : FrameBlocks(frame, type, 1500, serial)) Insert(lan, block);
        serial += 2;
    };
    feed(1, 0);
    feed(2, 1);
    feed(4, 1);  // frame 3 never comes
    feed(5, 1);
    feed(6, 0);
    feed(7, 1);
    std::vector<uint32_t> numbers;
    for (const auto& frame : sink.Video()) numbers.push_back(frame.number);
    EXPECT_EQ(numbers, (std::vector<uint32_t>{1, 2, 6, 7}));
}

TEST_F(LanReassembly, AudioPassesStraightThrough)
{
    BlockSpec audio;
    audio.type = 3;
    audio.frame = 12;
    audio.data = std::string(320, 'a');
    EXPECT_TRUE(Insert(lan, audio));
    BlockSpec empty = audio;
    empty.data.clear();
    EXPECT_FALSE(Insert(lan, empty));
    auto delivered = sink.Audio();
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].number, 12u);
    EXPECT_EQ(delivered[0].data, audio.data);
    EXPECT_EQ(lan.frames_in_progress(), 0);
}

TEST_F(LanReassembly, TheCallbackMayReplaceTheRegistrationWhileItRuns)
{
    FrameSink next;
    sink.onFrame = [&](const media_test::DeliveredFrame&) { lan.set_callback(&FrameSink::OnData, next.Value()); };
    for (const auto& block : FrameBlocks(1, 0, 10, 0)) Insert(lan, block);
    for (const auto& block : FrameBlocks(2, 0, 10, 1)) Insert(lan, block);
    EXPECT_EQ(sink.Video().size(), 1u);
    EXPECT_EQ(next.Video().size(), 1u);
}

TEST_F(LanReassembly, ClearFreesFramesInProgressAndStopsDelivery)
{
    auto blocks = FrameBlocks(1, 0, 976 + 1, 0);
    Insert(lan, blocks[0]);
    lan.clear();
    EXPECT_EQ(lan.frames_in_progress(), 0);
    for (const auto& block : FrameBlocks(2, 0, 10, 2)) Insert(lan, block);
    EXPECT_TRUE(sink.Video().empty());
}

} // namespace
