// The frame queues with their producer and consumer on two threads: every
// frame arrives once, whole and in order, and no thread is left afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "queue_bytes.h"
#include "streams/mp4_queue.h"
#include "streams/stream_queue.h"
#include "support/this_process.h"
#include "support/wait_until.h"

namespace {

using namespace streams;
using queue_test::Crc32;
using queue_test::PatternBytes;
using testing_support::WaitUntil;

TEST(StreamQueueThreads, ProducerAndConsumerAgreeOnEveryFrame)
{
    const int before = testing_support::SettledThreadCount();
    constexpr int kOwner = 2;
    constexpr uint32_t kFrames = 1500;
    StreamQueue queue(QueueCapacity::Small);
    ASSERT_EQ(queue.Open(kOwner), 1);

    // Lengths and seeds both threads know; audio numbers change on every
    // put, so that each audio put closes the slot before it.
    std::vector<uint32_t> videoLength(kFrames), audioLength(kFrames);
    std::mt19937 random(6104);
    for (uint32_t i = 0; i < kFrames; ++i) {
        videoLength[i] = 1 + random() % (i % 50 == 0 ? 200000 : 12000);
        audioLength[i] = 1 + random() % 3000;
    }

    std::atomic<bool> producerStuck{false};
    std::thread producer([&] {
        for (uint32_t i = 0; i < kFrames && !producerStuck; ++i) {
            for (int kind : {1, 2}) {
                bool video = kind == 1;
                std::vector<uint8_t> data = PatternBytes(video ? i : i + 7, video ? videoLength[i] : audioLength[i]);
                StreamFrameRecord record{video && i % 25 == 0 ? 1u : 0u,     i + 1, data.data(),
                                         static_cast<uint32_t>(data.size()), kind,  i * 10 + kind};
                StreamQueueStats stats;
                // A refused put waits for the consumer to make room.
                if (!WaitUntil([&] { return queue.Put(kOwner, record, &stats) == 1; }, testing_support::kEventBoundMs,
                               1)) {
                    producerStuck = true;
                }
            }
        }
    });

    std::vector<std::string> faults;
    // Takes the next frame of a kind when one is readable and checks it.
    auto takeOne = [&](int kind, uint32_t i) {
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        StreamQueueStats stats;
        if (queue.Read(kOwner, &data, &length, &stats, kind) != 1) return false;
        bool video = kind == 1;
        std::vector<uint8_t> expected = PatternBytes(video ? i : i + 7, video ? videoLength[i] : audioLength[i]);
        if (stats.firstFrame != i + 1 || stats.value != i * 10 + kind || length != expected.size() ||
            Crc32(data, length) != Crc32(expected.data(), expected.size())) {
            faults.push_back("kind " + std::to_string(kind) + " frame " + std::to_string(i) + " differs");
        }
        queue.Release(kOwner, kind);
        return true;
    };
    std::thread consumer([&] {
        // Audio frame k becomes readable once frame k + 1 is put: the last
        // one stays open.
        uint32_t video = 0, audio = 0;
        while ((video < kFrames || audio < kFrames - 1) && faults.empty()) {
            bool took = WaitUntil(
                [&] {
                    bool any = video < kFrames && takeOne(1, video);
                    if (any) ++video;
                    if (audio < kFrames - 1 && takeOne(2, audio)) {
                        ++audio;
                        any = true;
                    }
                    return any;
                },
                testing_support::kEventBoundMs, 1);
            if (!took) faults.push_back("nothing to read after video " + std::to_string(video));
        }
    });
    consumer.join();
    producerStuck = !faults.empty() || producerStuck;
    producer.join();

    EXPECT_TRUE(faults.empty()) << faults.front();
    StreamQueueStats state;
    ASSERT_EQ(queue.State(kOwner, &state), 1);
    EXPECT_EQ((state.word >> 6) & 0x3FF, 0u) << "every video byte released";
    EXPECT_EQ(queue.Close(kOwner), 1);
    EXPECT_EQ(testing_support::ThreadCount(), before);
}

// What the MP4 queue's consumer hands over: each record's kind, frame
// numbers and whether its bytes were whole.
struct Deliveries {
    std::mutex mutex;
    std::vector<std::string> kinds;
    std::vector<uint32_t> frames;
    int wholeFrames = 0;
    std::atomic<int> calls{0};
    int answer = 1;

    static int Take(const Mp4QueueOutput* record, void* user, int64_t value)
    {
        auto* self = static_cast<Deliveries*>(user);
        std::lock_guard<std::mutex> hold(self->mutex);
        self->kinds.push_back(record->kind);
        EXPECT_EQ(value, 42);
        if (record->frame != nullptr) {
            const Mp4QueueStats& frame = *record->frame;
            self->frames.push_back(frame.videoFrame);
            // Frame n carries 1000 + n video bytes; its numbers may have moved on.
            uint32_t n = frame.videoLength - 1000;
            std::vector<uint8_t> video = PatternBytes(n, 1000 + n);
            std::vector<uint8_t> audio = PatternBytes(n + 50, 160);
            if (frame.videoLength == video.size() && frame.audioLength == audio.size() &&
                std::memcmp(frame.videoData, video.data(), video.size()) == 0 &&
                std::memcmp(frame.audioData, audio.data(), audio.size()) == 0 && (record->queueWord & 0xFu) == 1u) {
                ++self->wholeFrames;
            }
        }
        ++self->calls;
        return self->answer;
    }
    int Calls() { return calls.load(); }
};

void PutMp4Frame(MP4QUE& queue, int kind, uint32_t n, bool key)
{
    std::vector<uint8_t> data = kind == 1 ? PatternBytes(n, 1000 + n) : PatternBytes(n + 50, 160);
    StreamFrameHead head{0x20u | (key ? 0x10u : 0u), n, 1920, 1080};
    Mp4QueueStats stats;
    ASSERT_EQ(queue.Put(1, data.data(), static_cast<uint32_t>(data.size()), &head, kind, &stats), 1) << n;
}

TEST(Mp4QueueThreads, ConsumerDeliversCompleteFramesInOrderAndSkipsToAKeyFrameAfterALoss)
{
    const int before = testing_support::SettledThreadCount();
    Deliveries got;
    {
        MP4QUE queue;
        ASSERT_EQ(queue.Open(1), 1);
        ASSERT_EQ(queue.SetCallback(&Deliveries::Take, &got, 42), 1);
        // Frames 1 to 30 with key frames 1, 11 and 21; the audio of frame 15
        // is lost, so frame 14 leaves with audio number 16 and the consumer
        // waits from there for key frame 21.
        for (uint32_t n = 1; n <= 30; ++n) {
            PutMp4Frame(queue, 1, n, n % 10 == 1);
            if (n != 15) PutMp4Frame(queue, 2, n, false);
        }
        ASSERT_EQ(queue.Start(1), 1);
        ASSERT_EQ(queue.Start(1), 1) << "already running";
        ASSERT_TRUE(WaitUntil([&] {
            Mp4QueueState state;
            return queue.State(1, &state) == 1 && ((state.word >> 10) & 0x3FF) == 0;
        })) << "the consumer takes every frame out";
        ASSERT_EQ(queue.Stop(1), 1);
        // Stop waited for the consumer: its last record is already here.
        std::lock_guard<std::mutex> hold(got.mutex);
        ASSERT_FALSE(got.kinds.empty());
        EXPECT_EQ(got.kinds.back(), "STOP_A");
        std::vector<uint32_t> expected;
        for (uint32_t n = 1; n <= 30; ++n) {
            if (n < 14 || n >= 21) expected.push_back(n == 30 ? 30 : n + 1);
        }
        EXPECT_EQ(got.frames, expected) << "video numbers as moved on by the next frame";
        EXPECT_EQ(got.wholeFrames, static_cast<int>(expected.size()));
        EXPECT_EQ(queue.Close(1), 1);
    }
    EXPECT_EQ(testing_support::ThreadCount(), before);
}

TEST(Mp4QueueThreads, RefusedFrameIsOfferedEightTimesAndCloseEndsTheConsumer)
{
    const int before = testing_support::SettledThreadCount();
    Deliveries got;
    got.answer = 0;
    MP4QUE queue;
    ASSERT_EQ(queue.Open(1), 1);
    ASSERT_EQ(queue.SetCallback(&Deliveries::Take, &got, 42), 1);
    ASSERT_EQ(queue.Start(1), 1);
    EXPECT_EQ(queue.Detach(2), 0) << "another owner";
    PutMp4Frame(queue, 1, 5, true);
    PutMp4Frame(queue, 2, 5, false);
    ASSERT_TRUE(WaitUntil([&] {
        Mp4QueueState state;
        return queue.State(1, &state) == 1 && ((state.word >> 20) & 0x3FF) == 0;
    }));
    EXPECT_EQ(got.Calls(), MP4QUE::kDeliveryTries);
    ASSERT_EQ(queue.Close(1), 1);
    EXPECT_EQ(got.Calls(), MP4QUE::kDeliveryTries + 1);
    EXPECT_EQ(got.kinds.back(), "STOP_A");
    EXPECT_EQ(testing_support::ThreadCount(), before);
    // Start after Close needs the queue open again.
    EXPECT_EQ(queue.Start(1), 0);
}

} // namespace
