#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "block_builder.h"
#include "frame_sink.h"
#include "platform/clock.h"
#include "vqSDK/VlrNetSDK/frame_pool.h"
#include "vqSDK/VlrNetSDK/media/frame_deck.h"
#include "support/wait_until.h"

namespace {

using media_test::BlockSpec;
using media_test::FrameBlocks;
using media_test::FrameData;
using media_test::FrameSink;
using media_test::OwnedBlock;

class ManualClock : public platform::Clock {
public:
    int64_t MonotonicMs() const override { return now.load(); }
    std::atomic<int64_t> now{1'000'000};
};

class RecordingRequester : public qn_net::block_requester {
public:
    void request_block(uint32_t camera, uint32_t serial) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        cameras.push_back(camera);
        ++asked[serial];
    }
    std::map<uint32_t, int> Asked()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return asked;
    }
    void Forget()
    {
        std::lock_guard<std::mutex> lock(mutex);
        asked.clear();
    }
    std::mutex mutex;
    std::vector<uint32_t> cameras;
    std::map<uint32_t, int> asked;
};

class FrameDeck : public ::testing::Test {
protected:
    FrameDeck() : pool(clock), deck(pool, clock)
    {
        deck.set_requester(&requester);
        deck.set_camera(7);
        deck.set_data_callback(&FrameSink::OnData, sink.Value());
    }
    ~FrameDeck() override { deck.stop(); }

    bool Insert(const BlockSpec& spec)
    {
        OwnedBlock owned(spec);
        EXPECT_TRUE(owned.ok);
        return spec.type == 3 ? deck.insert_audio_blk(owned.block) : deck.insert_frame_blk(owned.block);
    }
    // Feeds a whole frame; returns its blocks.
    std::vector<BlockSpec> Feed(uint32_t frame, uint16_t type, std::size_t size, uint32_t firstSerial)
    {
        auto blocks = FrameBlocks(frame, type, size, firstSerial);
        for (const auto& block : blocks) Insert(block);
        return blocks;
    }
    std::vector<uint32_t> DeliveredNumbers(std::size_t count)
    {
        sink.WaitVideo([&](const auto& video) { return video.size() >= count; }, testing_support::kEventBoundMs);
        std::vector<uint32_t> numbers;
        for (const auto& frame : sink.Video()) numbers.push_back(frame.number);
        return numbers;
    }

    ManualClock clock;
    qn_net::frame_pool pool;
    RecordingRequester requester;
    FrameSink sink;
    qn_net::frame_deck deck;
};

TEST_F(FrameDeck, DropsEverythingBeforeTheFirstKeyFrameThenDeliversInOrder)
{
    EXPECT_FALSE(Insert(FrameBlocks(1, 1, 100, 0)[0]));
    auto key = Feed(2, 0, 976 * 3, 1);
    auto next = Feed(3, 1, 500, 4);
    EXPECT_EQ(DeliveredNumbers(2), (std::vector<uint32_t>{2, 3}));
    auto video = sink.Video();
    EXPECT_EQ(video[0].data, FrameData(key));
    EXPECT_EQ(video[1].data, FrameData(next));
    EXPECT_TRUE(video[0].prefixMatches && video[1].prefixMatches);
}

TEST_F(FrameDeck, ARepeatedBlockIsStoredOnce)
{
    auto blocks = FrameBlocks(1, 0, 976 * 2 + 3, 0);
    EXPECT_TRUE(Insert(blocks[0]));
    EXPECT_FALSE(Insert(blocks[0]));
    EXPECT_TRUE(Insert(blocks[1]));
    EXPECT_TRUE(Insert(blocks[2]));
    EXPECT_FALSE(Insert(blocks[2])) << "a late copy of a complete frame";
    EXPECT_EQ(DeliveredNumbers(1), (std::vector<uint32_t>{1}));
    EXPECT_EQ(sink.Video()[0].data, FrameData(blocks));
    EXPECT_TRUE(requester.Asked().empty());
}

TEST_F(FrameDeck, RefusesAnIndexBeyondTheCountBeforeWritingAnything)
{
    Feed(1, 0, 10, 0);
    BlockSpec beyond;
    beyond.frame = 2;
    beyond.type = 1;
    beyond.index = 600;
    beyond.count = 3;
    beyond.serial = 1;
    beyond.data = std::string(976, 'z');
    EXPECT_FALSE(Insert(beyond));
    EXPECT_EQ(deck.frames_in_progress(), 0);
}

TEST_F(FrameDeck, AsksForMissingBlocksAtMostThreeTimesAndNotMoreOftenThanEvery100Ms)
{
    auto blocks = FrameBlocks(1, 0, 976 * 10, 100);
    Insert(blocks[0]);
    Insert(blocks[4]);  // 101..103 missing
    EXPECT_EQ(requester.Asked(), (std::map<uint32_t, int>{{101, 1}, {102, 1}, {103, 1}}));
    Insert(blocks[5]);  // too soon to ask again
    EXPECT_EQ(requester.Asked(), (std::map<uint32_t, int>{{101, 1}, {102, 1}, {103, 1}}));
    clock.now += 101;
    Insert(blocks[6]);
    clock.now += 101;
    Insert(blocks[7]);
    clock.now += 101;
    Insert(blocks[8]);
    EXPECT_EQ(requester.Asked(), (std::map<uint32_t, int>{{101, 3}, {102, 3}, {103, 3}}));
    EXPECT_EQ(requester.cameras.front(), 7u);
    // The answers complete the frame.
    Insert(blocks[1]);
    Insert(blocks[2]);
    Insert(blocks[3]);
    Insert(blocks[9]);
    EXPECT_EQ(DeliveredNumbers(1), (std::vector<uint32_t>{1}));
    EXPECT_EQ(sink.Video()[0].data, FrameData(blocks));
}

TEST_F(FrameDeck, AsksForAtMostFiveBlocksPerCheckAndNoneWhenTooManyAreMissing)
{
    auto blocks = FrameBlocks(1, 0, 976 * 60, 0);
    Insert(blocks[0]);
    Insert(blocks[9]);
    EXPECT_EQ(requester.Asked().size(), 5u);
    requester.Forget();
    clock.now += 200;
    Insert(blocks[59]);  // 58 missing below serial 59
    EXPECT_TRUE(requester.Asked().empty());
}

TEST_F(FrameDeck, RecoversAFrameLostAsAWhole)
{
    auto first = Feed(1, 0, 100, 0);
    auto lost = FrameBlocks(2, 1, 976 + 50, 1);  // serials 1 and 2
    auto third = Feed(3, 1, 100, 3);
    // The last block of the missing frame is asked for first.
    EXPECT_EQ(requester.Asked(), (std::map<uint32_t, int>{{2, 1}}));
    requester.Forget();
    Insert(lost[1]);
    EXPECT_EQ(requester.Asked(), (std::map<uint32_t, int>{{1, 1}}));
    Insert(lost[0]);
    EXPECT_EQ(DeliveredNumbers(3), (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(sink.Video()[1].data, FrameData(lost));
}

TEST_F(FrameDeck, FinishesTheFrameBeforeWhenItsLastBlockWasLost)
{
    Feed(1, 0, 100, 0);
    auto second = FrameBlocks(2, 1, 976 * 3, 1);  // serials 1..3
    Insert(second[0]);
    Insert(second[1]);
    Feed(3, 1, 100, 4);
    EXPECT_EQ(requester.Asked()[3], 1);
    Insert(second[2]);
    EXPECT_EQ(DeliveredNumbers(3), (std::vector<uint32_t>{1, 2, 3}));
}

TEST_F(FrameDeck, ALateFrameIsDroppedButACameraRestartStartsAfresh)
{
    uint32_t serial = 0;
    for (uint32_t frame = 500; frame < 504; ++frame, serial += 1) Feed(frame, frame == 500 ? 0 : 1, 100, serial);
    ASSERT_EQ(DeliveredNumbers(4).size(), 4u);
    EXPECT_FALSE(Insert(FrameBlocks(450, 0, 100, serial)[0])) << "late, within the window";
    // Frame numbers started again: wait for a key frame, keep the callback.
    EXPECT_FALSE(Insert(FrameBlocks(2, 1, 100, 0)[0]));
    Feed(3, 0, 100, 1);
    Feed(4, 1, 100, 2);
    EXPECT_EQ(DeliveredNumbers(6), (std::vector<uint32_t>{500, 501, 502, 503, 3, 4}));
}

TEST_F(FrameDeck, AudioOfAFrameIsHandedOnInSerialOrderWhenTheNextAudioFrameBegins)
{
    auto audio = [](uint32_t frame, uint32_t serial, char fill) {
        BlockSpec spec;
        spec.type = 3;
        spec.frame = frame;
        spec.serial = serial;
        spec.data = std::string(320, fill);
        return spec;
    };
    Insert(audio(1, 10, 'b'));
    Insert(audio(1, 9, 'a'));   // earlier serial, arrived later
    Insert(audio(1, 40, 'x'));  // beyond the frame's 25 positions
    EXPECT_TRUE(sink.Audio().empty());
    Insert(audio(2, 11, 'c'));
    auto delivered = sink.Audio();
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[0].data, std::string(320, 'a'));
    EXPECT_EQ(delivered[1].data, std::string(320, 'b'));
    EXPECT_EQ(delivered[0].number, 1u);
}

TEST_F(FrameDeck, ACallbackMayResetTheDeckItIsCalledFrom)
{
    std::atomic<bool> resetDone{false};
    sink.onFrame = [&](const media_test::DeliveredFrame&) {
        if (resetDone) return;
        deck.reset();
        resetDone = true;
    };
    Feed(1, 0, 100, 0);
    Feed(2, 1, 100, 1);
    ASSERT_TRUE(testing_support::WaitUntil([&] { return resetDone.load(); }));
    // The reset forgot the callback. Given again, it gets the next key frame,
    // and frame 2 would have come before it had the reset kept it.
    deck.set_data_callback(&FrameSink::OnData, sink.Value());
    Feed(3, 0, 100, 2);
    EXPECT_EQ(DeliveredNumbers(2), (std::vector<uint32_t>{1, 3})) << "nothing of before the reset is delivered";
}

TEST_F(FrameDeck, ResetFromAnotherThreadWaitsForTheCallbackUnderWay)
{
    std::atomic<bool> inCallback{false};
    std::atomic<bool> callbackDone{false};
    sink.onFrame = [&](const media_test::DeliveredFrame&) {
        inCallback = true;
        platform::SleepMs(100);
        callbackDone = true;
    };
    Feed(1, 0, 100, 0);
    testing_support::WaitUntil([&] { return inCallback.load(); }, testing_support::kEventBoundMs, 1);
    ASSERT_TRUE(inCallback);
    deck.reset();
    EXPECT_TRUE(callbackDone.load());
}

TEST_F(FrameDeck, BlockCounterReportsCountedAndRequestedBlocks)
{
    static std::atomic<int> requested{-1};
    static std::atomic<int> counted{-1};
    requested = counted = -1;
    auto report = [](void*, int32_t asked, int32_t blocks, int32_t, int32_t) {
        requested = asked;
        counted = blocks;
    };
    EXPECT_FALSE(deck.arm_block_count(0, report));
    ASSERT_TRUE(deck.arm_block_count(1, report));
    EXPECT_FALSE(deck.arm_block_count(1, report)) << "already armed";
    auto blocks = FrameBlocks(1, 0, 976 * 4, 0);
    Insert(blocks[0]);
    Insert(blocks[3]);  // asks for 1 and 2
    platform::SleepMs(20);
    EXPECT_EQ(counted.load(), -1);
    clock.now += 1000;
    testing_support::WaitUntil([] { return counted.load() >= 0; }, testing_support::kEventBoundMs, 1);
    EXPECT_EQ(counted.load(), 2);
    EXPECT_EQ(requested.load(), 2);
}

} // namespace
