// MP4QUE's edge cases without its consumer thread, one table: each case drives
// a fresh queue opened for owner 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

#include "queue_bytes.h"
#include "streams/mp4_queue.h"

namespace {

using namespace streams;
using queue_test::PatternBytes;

constexpr int kVideo = 1;
constexpr int kAudio = 2;
constexpr uint32_t kKey = 0x10;
constexpr uint32_t kLast = 0x20; // the piece completes its side of the frame
constexpr uint32_t kMiB = 1048576;

struct Fixture {
    Fixture() { EXPECT_EQ(queue.Open(1), 1); }

    int Put(int kind, uint32_t n, uint32_t length, uint32_t bits = kLast, uint32_t seed = 0)
    {
        std::vector<uint8_t> data = PatternBytes(seed, length);
        StreamFrameHead head{bits, n, 640, 480};
        return queue.Put(1, data.data(), length, &head, kind, &put);
    }
    // Both sides of frame n in one piece each.
    void PutFrame(uint32_t n, uint32_t videoLength = 100, uint32_t audioLength = 20, uint32_t bits = kLast)
    {
        ASSERT_EQ(Put(kVideo, n, videoLength, bits, n), 1) << n;
        ASSERT_EQ(Put(kAudio, n, audioLength, bits, n + 100), 1) << n;
    }
    bool Take()
    {
        if (queue.Read(1, &read) != 1) return false;
        return queue.Release(1) == 1;
    }
    Mp4QueueState State()
    {
        Mp4QueueState state;
        EXPECT_EQ(queue.State(1, &state), 1);
        return state;
    }

    MP4QUE queue;
    Mp4QueueStats put;
    Mp4QueueStats read;
};

std::vector<uint8_t> Bytes(const uint8_t* data, uint32_t length) { return {data, data + length}; }

struct EdgeCase {
    const char* name;
    std::function<void(Fixture&)> check;
};

const EdgeCase kCases[] = {
    {"video and audio of a frame, in pieces and either order, are readable once both are complete",
     [](Fixture& f) {
         ASSERT_EQ(f.Put(kAudio, 10, 30, 0, 1), 1);
         ASSERT_EQ(f.Put(kVideo, 10, 50, kKey, 5), 1);
         ASSERT_EQ(f.Put(kVideo, 10, 70, kLast, 55), 1);
         EXPECT_EQ(f.queue.Read(1, &f.read), 0) << "audio still open";
         ASSERT_EQ(f.Put(kAudio, 10, 20, kLast, 31), 1);
         ASSERT_EQ(f.queue.Read(1, &f.read), 1);
         EXPECT_EQ(Bytes(f.read.videoData, f.read.videoLength), PatternBytes(5, 120));
         EXPECT_EQ(Bytes(f.read.audioData, f.read.audioLength), PatternBytes(1, 50)) << "appended audio counts";
         EXPECT_EQ(f.read.word & 1u, 1u) << "key frame";
         EXPECT_EQ(f.read.videoFrame, 10u);
         EXPECT_EQ(f.read.audioFrame, 10u);
         EXPECT_EQ(f.put.word & 0x1Fu, 0u) << "a put leaves bits 0-4 alone";
         EXPECT_EQ(f.Put(kAudio, 10, 5), 0) << "a piece after the completing one";
     }},
    {"moving on gives a frame the next numbers; different numbers show a loss",
     [](Fixture& f) {
         f.PutFrame(10, 100, 20, 0);
         f.PutFrame(11, 100, 20, 0);
         ASSERT_EQ(f.queue.Read(1, &f.read), 1);
         EXPECT_EQ(f.read.videoFrame, 11u);
         EXPECT_EQ(f.read.audioFrame, 11u);
         ASSERT_EQ(f.queue.Release(1), 1);
         ASSERT_EQ(f.Put(kVideo, 13, 10, 0), 1);
         ASSERT_EQ(f.Put(kAudio, 12, 10, 0), 1);
         ASSERT_EQ(f.queue.Read(1, &f.read), 1);
         EXPECT_EQ(f.read.videoFrame, 13u);
         EXPECT_EQ(f.read.audioFrame, 12u);
     }},
    {"video 10 then 13 marks 10, 11 and 12; the skipped numbers read without data",
     [](Fixture& f) {
         f.PutFrame(10);
         f.PutFrame(13);
         for (uint32_t n = 10; n <= 12; ++n) {
             ASSERT_EQ(f.queue.Read(1, &f.read), 1) << n;
             EXPECT_EQ(f.read.videoFrame, 13u);
             EXPECT_EQ(f.read.videoLength, n == 10 ? 100u : 0u);
             EXPECT_EQ(f.read.audioLength, n == 10 ? 20u : 0u);
             ASSERT_EQ(f.queue.Release(1), 1);
         }
         ASSERT_EQ(f.queue.Read(1, &f.read), 1);
         EXPECT_EQ(f.read.videoFrame, 13u);
         EXPECT_EQ(f.read.videoLength, 100u);
         EXPECT_EQ((f.State().word >> 20) & 0x3FF, 1u) << "frame 13 still queued";
     }},
    {"a jump of whole laps completes the frame before and keeps the ring sound",
     [](Fixture& f) {
         f.PutFrame(10);
         EXPECT_EQ(f.Put(kVideo, 1110, 100), 0) << "its slot was marked on the way";
         ASSERT_EQ(f.queue.Read(1, &f.read), 1);
         EXPECT_EQ(f.read.videoFrame, 1110u);
         EXPECT_EQ(Bytes(f.read.videoData, f.read.videoLength), PatternBytes(10, 100));
     }},
    {"with 508 numbers between the first and the next frame every put is refused",
     [](Fixture& f) {
         f.PutFrame(1);
         ASSERT_EQ(f.Put(kVideo, 508, 10), 1);
         EXPECT_EQ(((f.put.word >> 15) & 0x3FF), 992u) << "ring fill 508 / 512";
         EXPECT_EQ(f.Put(kAudio, 2, 10), 0);
         EXPECT_EQ(f.Put(kVideo, 509, 10), 0);
         ASSERT_TRUE(f.Take());
         EXPECT_EQ(f.Put(kAudio, 2, 10), 1);
     }},
    {"a frame of the other stream source is dropped with success",
     [](Fixture& f) {
         EXPECT_EQ(f.Put(kVideo, 1, 10, kLast | 0x40), 1);
         EXPECT_EQ(f.State().word & 0x3FF, 0u) << "nothing stored";
         ASSERT_EQ(f.queue.Command(1, "stream_source", "source_01"), 1);
         EXPECT_EQ(f.Put(kVideo, 1, 10, kLast | 0x40), 1);
         EXPECT_EQ(f.Put(kVideo, 2, 10, kLast), 1) << "now source_00 is the other one";
         EXPECT_EQ(((f.State().word >> 20) & 0x3FF), 1u);
         EXPECT_EQ(f.Put(kVideo, 2, 10, kLast | 0x40, 0), 1);
         EXPECT_EQ(f.Put(4, 3, 10, 0x40), 0) << "an unknown kind";
     }},
    {"need-cache: 20 frames stay unreadable, the 21st video frame opens them; an underrun raises the level",
     [](Fixture& f) {
         ASSERT_EQ(f.queue.Command(1, "need_cache", "y"), 1);
         for (uint32_t n = 1; n <= 20; ++n) f.PutFrame(n);
         EXPECT_EQ(f.queue.Read(1, &f.read), 0);
         ASSERT_EQ(f.Put(kVideo, 21, 10), 1);
         for (int i = 0; i < 18; ++i) ASSERT_TRUE(f.Take()) << i;
         EXPECT_EQ(f.queue.Read(1, &f.read), 0) << "3 frames left: waiting again";
         EXPECT_EQ((f.State().word >> 30) & 0x3FF, 30u);
     }},
    {"a queue opened without an owner refuses puts and reads until one is set",
     [](Fixture& f) {
         ASSERT_EQ(f.queue.Close(1), 1);
         ASSERT_EQ(f.queue.Open(0), 1);
         EXPECT_EQ(f.Put(kVideo, 1, 10), 0);
         EXPECT_EQ(f.queue.Read(0, &f.read), 0);
         EXPECT_EQ(f.queue.Command(0, "clear_all", ""), 0);
         ASSERT_EQ(f.queue.SetOwner(1), 1);
         EXPECT_EQ(f.Put(kVideo, 1, 10), 1);
         EXPECT_EQ(f.queue.SetOwner(2), 0);
         EXPECT_EQ(f.queue.Close(2), 0);
         EXPECT_EQ(f.queue.Detach(1), 0) << "the consumer is stopped";
         EXPECT_EQ(f.queue.Open(9), 0);
     }},
    {"a further piece never runs past the pool's end",
     [](Fixture& f) {
         ASSERT_EQ(f.Put(kVideo, 1, 4 * kMiB - 20480, 0, 1), 1);
         EXPECT_EQ(f.Put(kVideo, 1, 30720, 0), 0);
         EXPECT_EQ(f.Put(kVideo, 1, 10240, kLast, 7), 1);
         ASSERT_EQ(f.Put(kAudio, 1, kMiB, 0), 1);
         ASSERT_EQ(f.Put(kAudio, 2, kMiB - 20480, 0), 1);
         EXPECT_EQ(f.Put(kAudio, 2, 30720, 0), 0);
         EXPECT_EQ(f.Put(kAudio, 2, 10240, kLast), 1);
         ASSERT_EQ(f.queue.Read(1, &f.read), 1);
         std::vector<uint8_t> tail = PatternBytes(7, 10240);
         EXPECT_TRUE(std::equal(tail.begin(), tail.end(), f.read.videoData + 4 * kMiB - 20480));
     }},
    {"a new frame never overwrites unread bytes, before or after an earlier wrap",
     [](Fixture& f) {
         f.PutFrame(1, 2 * kMiB, 10);
         f.PutFrame(2, 1536 * 1024, 10);
         EXPECT_EQ(f.Put(kVideo, 3, kMiB, kLast, 3), 0) << "frame 1 is unread at 0";
         ASSERT_TRUE(f.Take());
         f.PutFrame(3, kMiB, 10);
         EXPECT_EQ(f.put.writeKiB, 1024u);
         EXPECT_EQ(f.Put(kVideo, 4, 1536 * 1024, kLast, 4), 0) << "frame 2 is unread at 2 MiB";
         ASSERT_EQ(f.queue.Read(1, &f.read), 1);
         EXPECT_EQ(Bytes(f.read.videoData, f.read.videoLength), PatternBytes(2, 1536 * 1024));
     }},
    {"clear_all empties the queue and keeps owner and memory",
     [](Fixture& f) {
         f.PutFrame(1);
         ASSERT_EQ(f.queue.Read(1, &f.read), 1);
         EXPECT_EQ(f.queue.Command(1, "clear_all", ""), 0) << "a frame is held";
         ASSERT_EQ(f.queue.Release(1), 1);
         f.PutFrame(2);
         ASSERT_EQ(f.queue.Command(1, "clear_all", ""), 1);
         EXPECT_EQ(f.State().word, uint64_t{20} << 30);
         f.PutFrame(7);
         ASSERT_TRUE(f.Take());
         EXPECT_EQ(f.read.videoFrame, 7u);
         EXPECT_EQ(f.queue.Command(1, "no_such", ""), 0);
     }},
};

TEST(Mp4Queue, EdgeCases)
{
    for (const EdgeCase& edge : kCases) {
        SCOPED_TRACE(edge.name);
        Fixture fixture;
        edge.check(fixture);
    }
}

// A random interleaving of video and audio pieces, with whole frames and
// single sides lost, and a reader that takes frames out at random moments:
// every number is read once, in order, with exactly the bytes put.
TEST(Mp4Queue, RandomPiecesComeOutWholeAndInOrder)
{
    struct Side {
        std::vector<std::vector<uint8_t>> pieces; // empty: lost
        std::vector<uint8_t> bytes;
    };
    struct Frame {
        Side video, audio;
        bool key = false;
    };
    constexpr uint32_t kFirst = 1000;
    constexpr int kFrames = 600;
    std::mt19937 random(1125);
    auto upTo = [&](uint32_t n) { return std::uniform_int_distribution<uint32_t>(1, n)(random); };
    std::vector<Frame> frames(kFrames);
    uint32_t seed = 0;
    for (Frame& frame : frames) {
        frame.key = upTo(10) == 1;
        bool lost = upTo(40) == 1;
        for (Side* side : {&frame.video, &frame.audio}) {
            if (lost || upTo(60) == 1) continue;
            int pieces = static_cast<int>(upTo(3));
            for (int p = 0; p < pieces; ++p) {
                // Further pieces stay within the room the pool keeps behind a frame.
                bool video = side == &frame.video;
                uint32_t length = p > 0                    ? upTo(video && frame.key ? 80000 : 5000)
                                  : video && upTo(12) == 1 ? upTo(600000)
                                  : video                  ? upTo(40000)
                                                           : upTo(6000);
                side->pieces.push_back(PatternBytes(++seed, length));
                side->bytes.insert(side->bytes.end(), side->pieces.back().begin(), side->pieces.back().end());
            }
        }
    }

    MP4QUE queue;
    ASSERT_EQ(queue.Open(3), 1);
    struct Cursor {
        int frame = 0;
        std::size_t piece = 0;
    } cursors[2];
    int taken = 0, refused = 0;
    uint32_t fullest = 0; // video pool fill in thousandths
    auto putNext = [&](int side) {
        Cursor& at = cursors[side];
        while (at.frame < kFrames && (side == 0 ? frames[at.frame].video : frames[at.frame].audio).pieces.empty()) {
            ++at.frame;
        }
        if (at.frame >= kFrames) return;
        const Frame& frame = frames[at.frame];
        const Side& put = side == 0 ? frame.video : frame.audio;
        bool last = at.piece + 1 == put.pieces.size();
        StreamFrameHead head{(frame.key ? 0x10u : 0u) | (last ? 0x20u : 0u), kFirst + at.frame, 320, 240};
        Mp4QueueStats stats;
        const std::vector<uint8_t>& piece = put.pieces[at.piece];
        if (queue.Put(3, piece.data(), static_cast<uint32_t>(piece.size()), &head, side == 0 ? 1 : 2, &stats) != 1) {
            ++refused;
            return;
        }
        fullest = std::max<uint32_t>(fullest, (stats.word >> 5) & 0x3FF);
        if (last) {
            ++at.frame;
            at.piece = 0;
        } else {
            ++at.piece;
        }
    };
    auto takeNext = [&] {
        Mp4QueueStats stats;
        if (queue.Read(3, &stats) != 1) return;
        const Frame& frame = frames[taken];
        EXPECT_EQ(Bytes(stats.videoData, stats.videoLength), frame.video.bytes) << taken;
        EXPECT_EQ(Bytes(stats.audioData, stats.audioLength), frame.audio.bytes) << taken;
        if (!frame.video.pieces.empty()) {
            EXPECT_EQ(stats.word & 1u, frame.key ? 1u : 0u) << taken;
        }
        ASSERT_EQ(queue.Release(3), 1);
        ++taken;
    };
    // Phases in which the reader falls behind, and phases in which it catches up.
    for (int step = 0; step < 200000 && taken < kFrames - 1; ++step) {
        bool filling = (step / 3000) % 2 == 0;
        uint32_t r = upTo(30);
        if (r <= (filling ? 14u : 10u)) {
            putNext(0);
        } else if (r <= (filling ? 28u : 20u)) {
            putNext(1);
        } else {
            takeNext();
        }
    }
    // The last frame has nothing behind it to complete a lost side.
    EXPECT_GE(taken, kFrames - 1) << "video at " << cursors[0].frame << "." << cursors[0].piece << ", audio at "
                                  << cursors[1].frame << "." << cursors[1].piece << "; frame " << taken << " has "
                                  << frames[taken].video.pieces.size() << " video and "
                                  << frames[taken].audio.pieces.size() << " audio pieces";
    EXPECT_GT(refused, 0);
    EXPECT_GT(fullest, 850u) << "the video pool never filled";
    Mp4QueueState state;
    ASSERT_EQ(queue.State(3, &state), 1);
    EXPECT_LE(state.word & 0x3FF, 150u);
}

} // namespace
