// MP4QUE: the frame queue that pairs each video frame with the audio of the
// same frame number. Slots are indexed by frame number modulo 512, so video
// and audio may arrive in any order and in pieces; the queue's own consumer
// thread takes frames out in number order, each once both sides are
// complete, and hands them to the consumer callback.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "streams/byte_pool.h"
#include "streams/stream_queue.h"

namespace streams {

// Statistics of a put or a read. word: bit 0 key frame (read only), bits
// 5-14 video pool fill and bits 15-24 ring fill in thousandths, bits 25-34
// frames queued and bits 35-44 the cache level (read only). A put changes
// only bits 5-24 and the two positions.
struct Mp4QueueStats {
    uint64_t word = 0;
    uint16_t writeKiB = 0;
    uint16_t readKiB = 0;
    // Read only: the held frame inside the pools.
    const uint8_t* videoData = nullptr;
    uint32_t videoLength = 0;
    const uint8_t* audioData = nullptr;
    uint32_t audioLength = 0;
    uint32_t videoFrame = 0;
    uint32_t audioFrame = 0;
    uint16_t width = 0;
    uint16_t height = 0;
};

// word: bits 0-9 video pool fill, 10-19 ring fill, 20-29 frames queued,
// 30-39 cache level.
struct Mp4QueueState {
    uint64_t word = 0;
    uint16_t writeKiB = 0;
    uint16_t readKiB = 0;
};

// What the consumer callback gets for each frame, in the pacing modules'
// output form ("video&audio", then "STOP_A" once at the end). `frame` points
// at the held frame's statistics, with its data, during the call only.
struct Mp4QueueOutput {
    const char* kind = "video&audio";
    uint32_t word0 = 0;
    uint32_t queueWord = 0;  // bit 0 set; bits 4-13 pool fill, 14-23 ring fill, 24-31 frames queued
    uint32_t queueWord2 = 0; // bits 0-1 frames queued (high bits), 2-11 cache level
    uint16_t writeKiB = 0;
    uint16_t readKiB = 0;
    uint32_t frameNumber = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    float frameRate = 0;
    const Mp4QueueStats* frame = nullptr;
};

// Non-zero when the frame was taken.
using Mp4QueueCallback = int (*)(const Mp4QueueOutput* record, void* user, int64_t value);

class MP4QUE {
public:
    static constexpr char kTag[] = "MP4QUE";
    static constexpr uint32_t kSlotCount = 512;
    static constexpr uint32_t kRoom = kSlotCount - 5;
    static constexpr std::size_t kVideoPool = 4194304;
    static constexpr std::size_t kAudioPool = 2097152;
    static constexpr std::size_t kKeyReserve = 262144;
    static constexpr std::size_t kReserve = 16384;
    static constexpr int kDeliveryTries = 8;

    MP4QUE();
    ~MP4QUE();
    MP4QUE(const MP4QUE&) = delete;
    MP4QUE& operator=(const MP4QUE&) = delete;

    // Owners are 1 to 7; 0 stands for none.
    int Open(int owner);
    int Close(int owner);
    int CloseOwn();
    int Detach(int owner);
    int SetOwner(int owner);
    int SetCallback(Mp4QueueCallback callback, void* user, int64_t value);
    // head.word0: bit 4 key frame, bit 5 this piece completes the frame's
    // video (or audio), bits 6-7 the stream source. Kind 1 or 3 video, 2 audio.
    int Put(int owner, const uint8_t* data, uint32_t length, const StreamFrameHead* head, int kind,
            Mp4QueueStats* stats);
    // The frame of the first number once its video and audio are complete;
    // held (and read again) until Release.
    int Read(int owner, Mp4QueueStats* stats);
    int Release(int owner);
    int State(int owner, Mp4QueueState* state);
    // "clear_all"; "need_cache" "y" / "n"; "stream_source" "source_00" / "source_01".
    int Command(int owner, const char* name, const char* value);
    // The consumer thread; Stop and Close wait until it has ended.
    int Start(int owner);
    int Stop(int owner);

private:
    static constexpr uint32_t kVideoComplete = 1, kAudioComplete = 2, kKey = 4;
    struct Slot {
        uint32_t flags = 0;
        bool hasVideo = false;
        uint32_t videoLength = 0, videoFootprint = 0;
        uint32_t audioLength = 0, audioFootprint = 0;
        uint16_t width = 0, height = 0;
        uint32_t videoFrame = 0, audioFrame = 0;
        int64_t videoOffset = 0, audioOffset = 0;
    };

    bool Admits(int owner) const { return owner_ != 0 && owner == owner_; }
    bool HeldByOther(int owner) const { return owner_ != 0 && owner != owner_; }
    bool OnConsumer() const { return std::this_thread::get_id() == consumerId_.load(); }
    // The lock that makes Start, Stop and Close one at a time; not taken on
    // the consumer's thread.
    std::unique_lock<std::mutex> TakeControl();
    // Open, and to `owner`.
    bool OpenTo(int owner);
    void Reset();
    bool PutVideo(uint32_t n, const uint8_t* data, uint32_t length, uint32_t word0, const StreamFrameHead& head);
    bool PutAudio(uint32_t n, const uint8_t* data, uint32_t length, uint32_t word0);
    // Marks the numbers from `last` (moved on by whole laps, and never one
    // already taken out) up to n - 1 as complete on one side, with n as
    // their number on that side.
    void MoveOn(uint32_t last, uint32_t n, bool video);
    void Started(uint32_t n);
    uint64_t FillBits() const;
    void StopConsumer();
    void Consume();

    std::mutex mutex_;
    std::mutex control_; // Start, Stop and Close, one at a time
    bool open_ = false;
    int owner_ = 0;
    bool needCache_ = false;
    bool cacheFilled_ = false;
    int source_ = 0;
    int cacheLevel_ = StreamQueue::kCacheLevelStart;
    Mp4QueueCallback callback_ = nullptr;
    void* user_ = nullptr;
    int64_t value_ = 0;

    bool started_ = false; // a frame was put since the queue was emptied
    uint32_t first_ = 0;
    uint32_t next_ = 0;
    uint32_t lastVideo_ = 0;
    uint32_t lastAudio_ = 0;
    int framesQueued_ = 0;
    std::vector<Slot> slots_;
    int currentVideo_ = -1;
    int currentAudio_ = -1;
    int held_ = -1;
    BytePool video_;
    BytePool audio_;

    std::atomic<bool> stopped_{true};
    std::atomic<std::thread::id> consumerId_{};
    std::thread consumer_;
};

} // namespace streams
