// The frame queues with their producer and consumer on two threads: every
// frame arrives once, whole and in order, and no thread is left afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "queue_bytes.h"
#include "streams/stream_queue.h"
#include "support/this_process.h"
#include "support/wait_until.h"

namespace {

using namespace streams;
using queue_test::Crc32;
using queue_test::PatternBytes;
using testing_support::WaitUntil;

// The thread count before a test starts its own: a thread started and joined
// first lets a sanitizer bring up its helper thread, which then stays.
int SettledThreadCount()
{
    std::thread([] {}).join();
    return testing_support::ThreadCount();
}

TEST(StreamQueueThreads, ProducerAndConsumerAgreeOnEveryFrame)
{
    const int before = SettledThreadCount();
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
                StreamFrameRecord record{video && i % 25 == 0 ? 1u : 0u, i + 1, data.data(),
                                         static_cast<uint32_t>(data.size()), kind, i * 10 + kind};
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

} // namespace
