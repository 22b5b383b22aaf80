// The frame pool and ready queue of the public route: 2048 preallocated frame
// records carry rebuilt frames from the receive thread to the delivery thread,
// which takes them out in frame-number order once a key frame has arrived,
// skipping a gap when a key frame waits behind it or when it has waited too
// long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/clock.h"

namespace qn_net {

struct frame_record {
    // Position in the ready queue (sorted by frame number) or the free list.
    frame_record* queuePrev = nullptr;
    frame_record* queueNext = nullptr;
    frame_record* poolNext = nullptr;

    uint32_t frame_number = 0;
    int32_t type = 0;  // 0 and 4 are key frames
    int32_t block_count = 0;
    int32_t total_length = 0;
    int32_t stream = 0;
    // Milliseconds between this frame's delivery and the one before it.
    int64_t delay = 0;

    // The frame's bytes (from frame_pool::allocate_buffer), guarded by
    // buffer_mutex.
    uint8_t* buffer = nullptr;
    std::mutex buffer_mutex;
};

class frame_pool {
public:
    static constexpr int kRecords = 2048;
    // While no key frame has come, at most this many frames wait; later
    // non-key frames are refused, so the pool keeps records for the key frame.
    static constexpr int kHoldWithoutKey = kRecords / 2;
    // A gap is skipped after this long without a delivery.
    static constexpr int64_t kGapWaitMs = 4999;

    explicit frame_pool(const platform::Clock& clock = platform::Clock::System());
    ~frame_pool();
    frame_pool(const frame_pool&) = delete;
    frame_pool& operator=(const frame_pool&) = delete;

    // A free record without a buffer, or null when all are out.
    frame_record* take_record();
    // Back to the free list; the buffer now belongs to whoever took it over.
    void return_record(frame_record* record);
    // Back to the free list with its buffer freed.
    void release_record(frame_record* record);

    // Inserts in frame-number order; 0, or -1 when the frame is late, a
    // duplicate, or a non-key frame while too many wait for a key frame (the
    // record and its buffer are then released).
    int put(frame_record* record);
    // The next deliverable record, or null.
    frame_record* take_next();
    // Empties the queue and waits for a new key frame.
    void reset();

    int handed_out() const;
    int queued() const;
    uint32_t last_delivered() const;

    // Buffers come in size classes: 256 to 4096 bytes in powers of two, and
    // above that (length + 4096) rounded down to a multiple of 4096.
    static std::size_t buffer_class(std::size_t length);
    static uint8_t* allocate_buffer(std::size_t length);
    static void free_buffer(void* buffer);

private:
    static bool is_key(int32_t type) { return type == 0 || type == 4; }

    const platform::Clock& clock_;
    std::unique_ptr<frame_record[]> records_;

    mutable std::mutex poolMutex_;
    frame_record* free_ = nullptr;
    int handedOut_ = 0;

    mutable std::mutex queueMutex_;
    frame_record* head_ = nullptr;  // smallest frame number
    frame_record* tail_ = nullptr;
    int queued_ = 0;
    uint32_t lastDelivered_ = 0;  // 0: none yet
    int64_t keyNumber_ = -1;      // -1: no key frame since the reset
    int keyCount_ = 0;
    int64_t lastDeliveryMs_ = 0;
    bool delivered_ = false;
};

} // namespace qn_net
