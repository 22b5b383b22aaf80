// StreamQueue: the frame queue between one producer and one paced consumer.
// A video ring and an audio ring of slots, each over its own byte pool; the
// consumer reads the oldest frame of a kind in place and releases it when
// done. Every call names the module that owns the queue and reports the fill
// levels, so that a pacing module adjusts its rate without further calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "streams/byte_pool.h"

namespace streams {

// The large set serves the live and TF-record pacing; the small set the
// cloud and TF-card players.
enum class QueueCapacity { Large, Small };

enum class QueueKind : int { Video = 1, Audio = 2, VideoAlso = 3 };

// Head of a put on the large set. word0: bit 4 key frame, bits 5-14 kept
// with the frame for the producer, bits 15-22 the frame-rate byte. Width and
// height are kept as 16-bit values.
struct StreamFrameHead {
    uint32_t word0 = 0;
    uint32_t frameNumber = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// A put on the small set: flags bit 0 key frame; kind 1 or 3 video, 2 audio;
// `value` comes back with the frame taken (the TF-card player's lag count).
struct StreamFrameRecord {
    uint32_t flags = 0;
    uint32_t frameNumber = 0;
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    int32_t kind = 0;
    uint32_t value = 0;
};

// Statistics of a put, a read or the state query. word: bit 0 the slot is a
// gap standing for missing frame numbers (no data), bit 1 key frame, bits
// 6-15 pool fill and bits 16-25 ring fill in thousandths, bits 26-35 frames
// queued, bits 36-45 the cache level.
struct StreamQueueStats {
    uint64_t word = 0;
    uint16_t writeKiB = 0;
    uint16_t readKiB = 0;
    uint32_t firstFrame = 0;
    uint32_t lastFrame = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    float frameRate = 0;
    uint32_t value = 0; // small set: the value put with the frame
};

class StreamQueue {
public:
    static constexpr char kTag[] = "STRQUE";
    static constexpr int kCacheLevelStart = 20;
    static constexpr int kCacheLevelStep = 10;
    static constexpr int kCacheLevelMax = 80;
    static constexpr int kUnderrunMark = 4;
    static constexpr uint32_t kAudioMergeLimit = 4095;
    static constexpr std::size_t kAudioEndReserve = 16384;
    static constexpr std::size_t kLengthLimit = (1u << 20) - 1;

    explicit StreamQueue(QueueCapacity capacity);
    StreamQueue(const StreamQueue&) = delete;
    StreamQueue& operator=(const StreamQueue&) = delete;

    QueueCapacity Capacity() const { return capacity_; }
    // The longest frame a ring of this kind takes.
    std::size_t MaxFrameLength(QueueKind kind) const;

    // All calls answer 1 or 0; a refusal leaves the queue as it was.
    int Open(int owner);
    int Close(int owner);
    int Clear(int owner);
    // Large set only.
    int Put(int owner, const uint8_t* data, uint32_t length, const StreamFrameHead& head, int kind,
            StreamQueueStats* stats);
    // Small set only.
    int Put(int owner, const StreamFrameRecord& record, StreamQueueStats* stats);
    // The oldest readable frame of `kind`, left in the queue until Release;
    // reading again before then gives the same frame. A gap slot reads with
    // no data and length 0.
    int Read(int owner, const uint8_t** data, uint32_t* length, StreamQueueStats* stats, int kind);
    int Release(int owner, int kind);
    int State(int owner, StreamQueueStats* stats);
    // "clear_all" (any value); "need_cache" "y" / "n".
    int Command(int owner, const char* name, const char* value);

private:
    struct Slot {
        bool gap = false;
        bool filled = false;
        bool key = false;
        uint32_t length = 0;
        uint32_t footprint = 0;
        uint32_t headBits = 0;
        uint32_t firstFrame = 0;
        uint32_t lastFrame = 0;
        int64_t offset = 0;
        uint16_t width = 0;
        uint16_t height = 0;
        float frameRate = 0;
        uint32_t value = 0;
    };
    struct Ring {
        std::vector<Slot> slots;
        std::size_t slotCount = 0;
        std::size_t write = 0;
        std::size_t read = 0;
        uint64_t framesQueued = 0;
        bool hasLast = false;
        uint32_t lastFrame = 0; // of the newest frame put
        int lastWritten = -1;
        int openAudio = -1; // the audio slot still taking pieces
        int beingRead = -1;
        BytePool pool;
        std::size_t poolSize = 0;
    };
    struct Frame {
        const uint8_t* data;
        uint32_t length;
        bool key;
        uint32_t headBits;
        uint32_t frameNumber;
        uint16_t width, height;
        float frameRate;
        uint32_t value;
    };

    bool Admits(int owner) const;
    static bool IsVideo(int kind) { return kind == 1 || kind == 3; }
    Ring* RingOf(int kind);
    int PutFrame(int owner, const Frame& frame, int kind, StreamQueueStats* stats);
    // The slot index of a new frame (after a gap slot when numbers are
    // missing), or -1 when the ring or the pool has no room.
    int StartSlot(Ring& ring, const Frame& frame, uint32_t footprint, std::size_t limit);
    bool PutVideo(Ring& ring, const Frame& frame);
    bool PutAudio(Ring& ring, const Frame& frame);
    std::size_t Used(const Ring& ring) const;
    void Fill(const Ring& ring, const Slot* slot, StreamQueueStats* stats) const;
    void EmptyRings(bool zero);
    bool Allocate();
    void FreeMemory();

    const QueueCapacity capacity_;
    mutable std::mutex mutex_;
    bool open_ = false;
    int owner_ = 0;
    bool needCache_ = false;
    bool cacheFilled_ = false;
    int cacheLevel_ = kCacheLevelStart;
    int readLag_ = 1;
    Ring video_;
    Ring audio_;
};

} // namespace streams
