// StreamQueue's edge cases, one table: each case drives a fresh queue of its
// capacity set and checks what the queue answers.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "queue_bytes.h"
#include "streams/stream_queue.h"

namespace {

using namespace streams;
using queue_test::PatternBytes;

constexpr int kVideo = 1;
constexpr int kAudio = 2;

uint32_t PoolFill(const StreamQueueStats& s) { return (s.word >> 6) & 0x3FF; }
uint32_t RingFill(const StreamQueueStats& s) { return (s.word >> 16) & 0x3FF; }
uint32_t Queued(const StreamQueueStats& s) { return (s.word >> 26) & 0x3FF; }
uint32_t CacheLevel(const StreamQueueStats& s) { return (s.word >> 36) & 0x3FF; }

// A queue opened for owner 1, with puts of pattern bytes.
struct Fixture {
    explicit Fixture(QueueCapacity capacity) : queue(capacity) { EXPECT_EQ(queue.Open(1), 1); }

    int Put(int kind, uint32_t number, uint32_t length, uint32_t seed = 0, bool key = false, uint32_t value = 0)
    {
        std::vector<uint8_t> data = PatternBytes(seed, length);
        if (queue.Capacity() == QueueCapacity::Large) {
            StreamFrameHead head{key ? 0x10u : 0u, number, 0, 0};
            return queue.Put(1, data.data(), length, head, kind, &last);
        }
        StreamFrameRecord record{key ? 1u : 0u, number, data.data(), length, kind, value};
        return queue.Put(1, record, &last);
    }
    // Reads and releases one frame; its bytes, or nothing when none is readable.
    bool Take(int kind, std::vector<uint8_t>* bytes = nullptr)
    {
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        if (queue.Read(1, &data, &length, &last, kind) != 1) return false;
        if (bytes != nullptr) bytes->assign(data, data + (data == nullptr ? 0 : length));
        return queue.Release(1, kind) == 1;
    }
    int Readable(int kind)
    {
        const uint8_t* data;
        uint32_t length;
        return queue.Read(1, &data, &length, &last, kind);
    }

    StreamQueue queue;
    StreamQueueStats last;
};

struct EdgeCase {
    const char* name;
    QueueCapacity capacity;
    std::function<void(Fixture&)> check;
};

const EdgeCase kCases[] = {
    {"a call of another owner is refused, and the queue stays that owner's", QueueCapacity::Large,
     [](Fixture& f) {
         std::vector<uint8_t> data = PatternBytes(1, 100);
         StreamFrameHead head{0, 1, 0, 0};
         StreamQueueStats stats;
         EXPECT_EQ(f.queue.Put(2, data.data(), 100, head, kVideo, &stats), 0);
         EXPECT_EQ(f.queue.State(2, &stats), 0);
         EXPECT_EQ(f.queue.Open(2), 0);
         EXPECT_EQ(f.queue.Close(2), 0);
         EXPECT_EQ(f.queue.Command(2, "clear_all", ""), 0);
         EXPECT_EQ(f.queue.Put(1, data.data(), 100, head, kVideo, &stats), 1);
         EXPECT_EQ(f.queue.Close(1), 1);
         EXPECT_EQ(f.queue.Put(1, data.data(), 100, head, kVideo, &stats), 0) << "closed";
         EXPECT_EQ(f.queue.Open(8), 0) << "the large set has owners 1 to 7";
         EXPECT_EQ(f.queue.Open(2), 1);
     }},
    {"the large queue is full after 511 video puts; one read frees a slot", QueueCapacity::Large,
     [](Fixture& f) {
         for (uint32_t n = 1; n <= 511; ++n) ASSERT_EQ(f.Put(kVideo, n, 64), 1) << n;
         EXPECT_EQ(RingFill(f.last), 998u);
         EXPECT_EQ(f.Put(kVideo, 512, 64), 0);
         EXPECT_TRUE(f.Take(kVideo));
         EXPECT_EQ(f.Put(kVideo, 512, 64), 1);
     }},
    {"frame numbers 10 then 13 leave one gap slot for 11 and 12", QueueCapacity::Large,
     [](Fixture& f) {
         ASSERT_EQ(f.Put(kVideo, 10, 100), 1);
         EXPECT_EQ(Queued(f.last), 1u);
         ASSERT_EQ(f.Put(kVideo, 13, 100), 1);
         EXPECT_EQ(Queued(f.last), 4u) << "3 more: the gap's two numbers and frame 13";
         std::vector<uint8_t> bytes;
         ASSERT_TRUE(f.Take(kVideo, &bytes));
         EXPECT_EQ(f.last.firstFrame, 10u);
         ASSERT_EQ(f.Readable(kVideo), 1);
         EXPECT_EQ(f.last.word & 1u, 1u) << "a gap slot";
         EXPECT_EQ(f.last.firstFrame, 11u);
         EXPECT_EQ(f.last.lastFrame, 12u);
         ASSERT_TRUE(f.Take(kVideo, &bytes));
         EXPECT_TRUE(bytes.empty());
         ASSERT_TRUE(f.Take(kVideo, &bytes));
         EXPECT_EQ(f.last.firstFrame, 13u);
         StreamQueueStats state;
         ASSERT_EQ(f.queue.State(1, &state), 1);
         EXPECT_EQ(Queued(state), 0u);
     }},
    {"a frame that reaches the pool's end goes to 0 only once the reader has passed its bytes", QueueCapacity::Small,
     [](Fixture& f) {
         for (uint32_t n = 1; n <= 3; ++n) ASSERT_EQ(f.Put(kVideo, n, 300000, n), 1);
         // Nothing read yet: starting over at 0 would overwrite frame 1.
         EXPECT_EQ(f.Put(kVideo, 4, 200000, 4), 0);
         ASSERT_TRUE(f.Take(kVideo));
         // Frame 1's 300000 bytes are free, but a frame that would close up
         // to the reader exactly is refused too.
         EXPECT_EQ(f.Put(kVideo, 4, 300000, 4), 0);
         ASSERT_EQ(f.Put(kVideo, 4, 200000, 4), 1);
         EXPECT_EQ(f.last.writeKiB, 195u);
         EXPECT_EQ(f.last.readKiB, 293u);
         EXPECT_EQ(f.Put(kVideo, 5, 100000, 5), 0) << "would reach frame 2, still unread";
         for (uint32_t n = 2; n <= 4; ++n) {
             std::vector<uint8_t> bytes;
             ASSERT_TRUE(f.Take(kVideo, &bytes));
             EXPECT_EQ(bytes, PatternBytes(n, n == 4 ? 200000 : 300000)) << n;
         }
     }},
    {"a frame longer than the pool allows is refused, the longest one is taken", QueueCapacity::Small,
     [](Fixture& f) {
         uint32_t longest = f.queue.MaxFrameLength(QueueKind::Video);
         EXPECT_EQ(longest, 1048576u - 16384u);
         EXPECT_EQ(f.Put(kVideo, 1, longest + 1), 0);
         EXPECT_EQ(f.Put(kVideo, 1, longest, 9), 1);
         EXPECT_EQ(PoolFill(f.last), 984u);
         std::vector<uint8_t> bytes;
         ASSERT_TRUE(f.Take(kVideo, &bytes));
         EXPECT_EQ(bytes, PatternBytes(9, longest));
         EXPECT_EQ(f.Put(kAudio, 1, f.queue.MaxFrameLength(QueueKind::Audio) + 1), 0);
         EXPECT_EQ(f.Put(kVideo, 2, 0), 0) << "an empty frame";
         EXPECT_EQ(f.Put(7, 2, 10), 0) << "an unknown kind";
     }},
    {"need-cache: 20 frames stay unreadable, the 21st opens them; an underrun raises the level to 30",
     QueueCapacity::Large,
     [](Fixture& f) {
         ASSERT_EQ(f.queue.Command(1, "need_cache", "y"), 1);
         for (uint32_t n = 1; n <= 20; ++n) ASSERT_EQ(f.Put(kVideo, n, 50), 1);
         EXPECT_EQ(f.Readable(kVideo), 0);
         ASSERT_EQ(f.Put(kVideo, 21, 50), 1);
         EXPECT_EQ(CacheLevel(f.last), 20u);
         for (int i = 0; i < 18; ++i) ASSERT_TRUE(f.Take(kVideo)) << i;
         EXPECT_EQ(f.Readable(kVideo), 0) << "3 frames left: waiting again";
         StreamQueueStats state;
         ASSERT_EQ(f.queue.State(1, &state), 1);
         EXPECT_EQ(CacheLevel(state), 30u);
         EXPECT_EQ(Queued(state), 3u);
         ASSERT_EQ(f.queue.Command(1, "need_cache", "n"), 1);
         EXPECT_EQ(f.Readable(kVideo), 1);
         EXPECT_EQ(f.queue.Command(1, "need_cache", "maybe"), 0);
     }},
    {"audio pieces of one frame number form one slot, readable once another number follows", QueueCapacity::Large,
     [](Fixture& f) {
         ASSERT_EQ(f.Put(kAudio, 5, 300, 1), 1);
         ASSERT_EQ(f.Put(kAudio, 5, 200, 301), 1);
         EXPECT_EQ(f.Readable(kAudio), 0);
         ASSERT_EQ(f.Put(kAudio, 6, 100, 7), 1);
         std::vector<uint8_t> bytes;
         ASSERT_TRUE(f.Take(kAudio, &bytes));
         EXPECT_EQ(bytes, PatternBytes(1, 500));
         EXPECT_EQ(f.Readable(kAudio), 0);
     }},
    {"an audio slot past 4095 bytes is readable at once", QueueCapacity::Small,
     [](Fixture& f) {
         ASSERT_EQ(f.Put(kAudio, 5, 4000), 1);
         EXPECT_EQ(f.Readable(kAudio), 0);
         ASSERT_EQ(f.Put(kAudio, 5, 96), 1);
         EXPECT_EQ(f.Readable(kAudio), 1);
         EXPECT_EQ(f.queue.Release(1, kAudio), 1);
         ASSERT_EQ(f.Put(kAudio, 5, 10), 1) << "a new slot of the same number";
         EXPECT_EQ(f.Readable(kAudio), 0);
     }},
    {"the small set carries each put's value to the frame taken", QueueCapacity::Small,
     [](Fixture& f) {
         ASSERT_EQ(f.Put(kVideo, 1, 100, 0, true, 0xDEADBEEF), 1);
         ASSERT_EQ(f.Put(kAudio, 1, 100, 0, false, 77), 1);
         ASSERT_EQ(f.Put(kAudio, 1, 100, 0, false, 78), 1);
         ASSERT_EQ(f.Put(kAudio, 2, 100, 0, false, 79), 1);
         ASSERT_TRUE(f.Take(kVideo));
         EXPECT_EQ(f.last.value, 0xDEADBEEFu);
         EXPECT_EQ(f.last.word & 2u, 2u) << "key frame";
         ASSERT_TRUE(f.Take(kAudio));
         EXPECT_EQ(f.last.value, 77u) << "a merged slot keeps its first piece's value";
         std::vector<uint8_t> data(10);
         StreamFrameHead head;
         EXPECT_EQ(f.queue.Put(1, data.data(), 10, head, kVideo, &f.last), 0) << "a large-set head";
     }},
    {"the large set keeps width, height and frame rate of a video frame", QueueCapacity::Large,
     [](Fixture& f) {
         std::vector<uint8_t> data(10);
         StreamQueueStats stats;
         StreamFrameHead head{0x10u | (25u << 15), 1, 70000, 1080};
         ASSERT_EQ(f.queue.Put(1, data.data(), 10, head, 3, &stats), 1);
         head = {35u << 15, 2, 1920, 1080};
         ASSERT_EQ(f.queue.Put(1, data.data(), 10, head, 1, &stats), 1);
         ASSERT_TRUE(f.Take(kVideo));
         EXPECT_EQ(f.last.width, 70000u & 0xFFFFu);
         EXPECT_EQ(f.last.height, 1080u);
         EXPECT_EQ(f.last.frameRate, 25.0f);
         EXPECT_EQ(f.last.word & 2u, 2u);
         ASSERT_TRUE(f.Take(kVideo));
         EXPECT_FLOAT_EQ(f.last.frameRate, 0.2f);
         StreamFrameRecord record{0, 3, data.data(), 10, kVideo, 0};
         EXPECT_EQ(f.queue.Put(1, record, &stats), 0) << "a small-set record";
     }},
    {"reading twice gives the same frame; a release needs a read", QueueCapacity::Small,
     [](Fixture& f) {
         EXPECT_EQ(f.queue.Release(1, kVideo), 0);
         ASSERT_EQ(f.Put(kVideo, 1, 10), 1);
         ASSERT_EQ(f.Put(kVideo, 2, 10), 1);
         ASSERT_EQ(f.Readable(kVideo), 1);
         ASSERT_EQ(f.Readable(kVideo), 1);
         EXPECT_EQ(f.last.firstFrame, 1u);
         EXPECT_EQ(f.queue.Release(1, kVideo), 1);
         EXPECT_EQ(f.queue.Release(1, kVideo), 0);
         ASSERT_EQ(f.Readable(kVideo), 1);
         EXPECT_EQ(f.last.firstFrame, 2u);
     }},
    {"clear and clear_all empty both rings and keep the owner", QueueCapacity::Small,
     [](Fixture& f) {
         ASSERT_EQ(f.Put(kVideo, 1, 1000), 1);
         ASSERT_EQ(f.Put(kAudio, 1, 5000), 1);
         ASSERT_EQ(f.queue.Clear(1), 1);
         EXPECT_EQ(f.Readable(kVideo), 0);
         EXPECT_EQ(f.Readable(kAudio), 0);
         ASSERT_EQ(f.Put(kVideo, 1, 1000), 1);
         EXPECT_EQ(f.last.writeKiB, 1u);
         EXPECT_EQ(PoolFill(f.last), 1u);
         ASSERT_EQ(f.queue.Command(1, "clear_all", ""), 1);
         StreamQueueStats state;
         ASSERT_EQ(f.queue.State(1, &state), 1);
         EXPECT_EQ(state.word, uint64_t{20} << 36) << "empty, cache level 20";
         EXPECT_EQ(f.queue.Command(1, "clear_some", ""), 0);
         EXPECT_EQ(f.queue.Open(2), 0);
     }},
};

TEST(StreamQueue, EdgeCases)
{
    for (const EdgeCase& edge : kCases) {
        SCOPED_TRACE(edge.name);
        Fixture fixture(edge.capacity);
        edge.check(fixture);
    }
}

} // namespace
