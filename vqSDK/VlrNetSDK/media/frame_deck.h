// frame_deck: frame reassembly of the public route. Blocks come from the
// video server over UDP, lost, repeated and out of order. The deck waits for
// a key frame, collects blocks into per-frame slots, asks the server again
// for blocks that went missing (message 40004), and hands complete frames to
// the ready queue of the frame pool, from which its delivery thread passes
// them to the stream-data callback in frame-number order. Audio blocks are
// collected per frame and handed on when the next audio frame begins.
//
// Callbacks are never called while the deck lock is held: a frame is taken
// out of the queue (audio copied out of its slot), the lock released, and
// then the callback runs, so a callback may stop play. reset() and stop()
// called from another thread wait until a callback already under way has
// returned, so no frame reaches the callback after they return.
//
// Time: resend pacing and the block-count timer use the monotonic clock of
// the injected platform::Clock.
#pragma once

#include <atomic>
#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/clock.h"
#include "vqSDK/VlrNetSDK/frame_pool.h"
#include "vqSDK/VlrNetSDK/media/media_block.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

namespace qn_net {

// Where resend requests go: the video-server connection. Called with the
// deck lock held; it must only send.
class block_requester {
public:
    virtual ~block_requester() = default;
    virtual void request_block(uint32_t camera, uint32_t serial) = 0;
};

class frame_deck {
public:
    static constexpr int kSlots = 128;
    static constexpr int kAudioPositions = 25;
    // Resend pacing.
    static constexpr int64_t kResendGapMs = 100;
    static constexpr int kMaxResendsPerBlock = 3;
    static constexpr int kMaxRequestsPerCheck = 5;
    static constexpr int kMaxMissingForResend = 48;
    static constexpr int kMaxWholeFrameRequests = 21;
    // A frame this far behind the next expected one means the camera started
    // counting again.
    static constexpr uint32_t kRestartDistance = kSlots;

    explicit frame_deck(frame_pool& pool, const platform::Clock& clock = platform::Clock::System());
    ~frame_deck();
    frame_deck(const frame_deck&) = delete;
    frame_deck& operator=(const frame_deck&) = delete;

    // Starts the delivery thread when it is not running.
    void init();
    // Registers the callback (starting the deck when stopped) and begins a new
    // play: wait for a key frame, count from it.
    void set_data_callback(QN_NET_REAL_DATA_CALLBACK callback, int32_t value);
    void set_debug_callback(QN_NET_DEBUG_CALLBACK callback);
    // Calls `callback` (null, blocks requested, blocks counted, 0, 0) once,
    // `seconds` after arming; false when armed already or seconds is 0.
    bool arm_block_count(int32_t seconds, QN_NET_BLOCK_COUNT_CALLBACK callback);
    void set_camera(uint32_t camera);
    void set_requester(block_requester* requester);
    // Forgets the requester if it is this one; no request reaches it after.
    void detach_requester(block_requester* requester);

    // One video block (any type but audio); true when stored.
    bool insert_frame_blk(const media_block& block);
    // One audio block; true when stored.
    bool insert_audio_blk(const media_block& block);

    // End of a play: clears the callback, every slot and the ready queue.
    void reset();
    // Ends the delivery thread.
    void stop();

    bool running() const { return thread_.joinable() && !stop_.load(); }
    int frames_in_progress() const;

private:
    struct video_slot {
        bool holds = false;     // frame_number names a frame of this play
        bool in_use = false;    // blocks are being collected
        bool complete = false;  // the frame went to the ready queue
        uint32_t frame_number = 0;
        uint16_t type = 0;
        uint16_t stream = 0;
        uint16_t count = 0;
        uint32_t received = 0;
        uint32_t total = 0;
        uint32_t first_serial = 0;
        int64_t missing_stamp_ms = 0;  // last whole-frame-missing step
        uint8_t* buffer = nullptr;
        std::bitset<kMaxBlocksPerFrame> got;
        uint16_t length[kMaxBlocksPerFrame] = {};
        uint8_t resends[kMaxBlocksPerFrame] = {};
        int64_t requested_ms[kMaxBlocksPerFrame] = {};
    };
    struct audio_position {
        bool has_data = false;
        uint32_t length = 0;
        uint8_t data[kBlockData];
    };
    struct audio_slot {
        int64_t frame_number = -1;
        bool in_use = false;
        uint32_t base_serial = 0;
        audio_position positions[kAudioPositions];
    };
    struct audio_out {
        uint32_t length = 0;
        uint8_t data[kBlockData];
    };

    void run();
    void check_block_timer();
    bool deliver_next();
    void begin_play_locked();
    void restart_locked();
    void clear_video_locked();
    void clear_audio_locked();
    void clear_slot(video_slot& slot);
    bool prepare_slot(video_slot& slot, const media_block& block);
    void hand_over_locked(video_slot& slot);
    void check_lost_blocks_locked(uint32_t frameNumber, uint32_t serial);
    int resend_missing_locked(video_slot& slot, int64_t firstSerial, int64_t endSerial, int allowance, int64_t now);
    void request_locked(uint32_t serial, bool firstTime);
    bool holds(const video_slot& slot, int64_t frameNumber) const;
    void wait_for_callbacks_locked(std::unique_lock<std::mutex>& lock);
    void begin_callback_locked();
    void end_callback();

    frame_pool& pool_;
    const platform::Clock& clock_;
    std::unique_ptr<video_slot[]> slots_;
    // Made when the deck first starts: a session whose deck never starts (the
    // stand-in between QN_NET_Cleanup and QN_NET_Init) stays small.
    std::unique_ptr<audio_slot[]> audio_;
    std::unique_ptr<audio_out[]> audioOut_;  // flushed audio, outside the lock

    mutable std::mutex mutex_;
    std::condition_variable wake_;       // delivery thread: stop
    std::condition_variable callbacks_;  // a callback returned
    std::mutex audioFlushMutex_;         // one audio insert at a time; before mutex_
    std::mutex lifeMutex_;               // init and stop
    std::thread thread_;
    std::atomic<bool> stop_{true};
    int callbacksInFlight_ = 0;

    QN_NET_REAL_DATA_CALLBACK callback_ = nullptr;
    int32_t value_ = 0;
    std::atomic<QN_NET_DEBUG_CALLBACK> debug_{nullptr};
    block_requester* requester_ = nullptr;
    uint32_t camera_ = 0;
    bool waitingForKey_ = true;
    uint32_t firstFrame_ = 0;
    uint32_t nextExpected_ = 0;
    int64_t lastAudioFrame_ = 0;
    bool firstDelivery_ = true;
    bool inSequence_ = true;

    struct block_timer {
        bool armed = false;
        int64_t seconds = 0;
        int64_t armed_at_ms = 0;
        int32_t counted = 0;
        int32_t requested = 0;
        QN_NET_BLOCK_COUNT_CALLBACK callback = nullptr;
    } timer_;
};

} // namespace qn_net
