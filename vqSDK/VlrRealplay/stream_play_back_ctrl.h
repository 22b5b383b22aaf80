// The playback pacing controller for card recordings played over the network: frames put into the shared frame
// queue come out again in time, video held behind audio, and a control thread asks the camera for a lower or
// higher frame rate as the queue fills or empties. Video of a stream that carries no audio leaves on its own timing
// once no audio has come for a second. Every wait runs on the injected clock and ends at once when the controller
// stops, and every stop joins all three threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "Depend/qn_thread.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "streams/stream_queue.h"
#include "streams/stream_rate.h"
#include "vqSDK/VlrRealplay/stream_ctrl_output.h"

class QN_STREAM_PLAY_BACK_CTRL {
public:
    static constexpr int kQueueOwner = 2;

    // Control word A.
    static constexpr uint32_t kInitialised = 1u << 0;
    static constexpr uint32_t kPlaying = 1u << 1;
    static constexpr uint32_t kStopped = 1u << 2;
    static constexpr uint32_t kCompensate = 1u << 3; // "level_timeinter"
    static constexpr uint32_t kHoldForKey = 1u << 4; // "p_is_key"
    static constexpr uint32_t kAwaitingKey = 1u << 5;
    static constexpr int kByteFillShift = 6, kEntryFillShift = 16, kFillBits = 10;
    static constexpr int kLossLowShift = 26, kLossLowBits = 6;
    // Control word B.
    static constexpr int kLossHighShift = 0, kLossHighBits = 4;
    static constexpr int kRunOverShift = 4, kRunOverBits = 7; // "audio_run_over" percent
    static constexpr uint32_t kNoFps = 1u << 11;              // "out_speed" "no_fps": no pacing
    static constexpr uint32_t kKeyOnly = 1u << 12;            // "out_speed" "i_only"

    // The control thread's rhythm: a pass every 200 ms, the loss check at most every 250 ms, the fill check every
    // 1000 ms, and a rate request at most every 1500 ms.
    static constexpr int64_t kControlPassMs = 200;
    static constexpr int64_t kLossCheckMs = 250;
    static constexpr int64_t kFillCheckMs = 1000;
    static constexpr int64_t kRequestGapMs = 1500;
    // How long a stop waits for each thread before it logs that the thread is slow (it joins it regardless).
    static constexpr int kStopWarnMs = 1000;

    explicit QN_STREAM_PLAY_BACK_CTRL(const platform::Clock& clock = platform::Clock::System());
    ~QN_STREAM_PLAY_BACK_CTRL();
    QN_STREAM_PLAY_BACK_CTRL(const QN_STREAM_PLAY_BACK_CTRL&) = delete;
    QN_STREAM_PLAY_BACK_CTRL& operator=(const QN_STREAM_PLAY_BACK_CTRL&) = delete;

    // Every operation answers 1, or 0 after passing its reason to the message callback.
    int BindQueue(streams::StreamQueue* queue);
    int Release();
    int SetMsgCallBack(QN_STREAM_MSG_CALLBACK callback, void* user, int32_t userValue);
    // Both refused while playing.
    int SetOutCallBack(QN_STREAM_OUT_CALLBACK callback, void* user, int32_t userValue);
    int SetRateCallBack(QN_STREAM_RATE_CALLBACK callback, void* user, int32_t userValue);
    // "level_timeinter" y/n, "pack_loss_rate" 0-1000, "p_is_key" y/n, "audio_run_over" percent, "clear_all" and
    // "need_cache" y/n (while not playing), "out_speed" "fps" / "no_fps" / "i_only".
    int setinfo(const char* name, const char* value);
    // Kind 1 or 3 video (the head carries frame number, key mark and frame-rate byte), 2 audio; only while playing.
    int input(const uint8_t* data, uint32_t length, const streams::StreamFrameHead& head, int kind);
    int Play();
    int Stop();

    uint32_t ControlWordA() const { return wordA_.load(); }
    uint32_t ControlWordB() const { return wordB_.load(); }
    uint32_t LossRate() const;

private:
    static void pbc_OutVideoThread(void* self);
    static void pbc_OutAudioThread(void* self);
    static void pbc_OutStreamCtrlThread(void* self);
    void VideoLoop();
    void AudioLoop();
    void ControlLoop();
    void ControlPass(int64_t now);
    void Reset();
    void StopThreads();
    void StoreLossRate(uint32_t lossRate);
    // False when a stop ended the wait.
    bool Wait(int64_t ms) { return !clock_.WaitFor(wake_, ms); }
    bool Stopping() const { return (wordA_.load() & kStopped) != 0; }
    bool Playing() const { return (wordA_.load() & kPlaying) != 0; }

    const platform::Clock& clock_;
    std::mutex lifecycle_; // bind, play, stop and release one at a time
    std::atomic<uint32_t> wordA_{0};
    std::atomic<uint32_t> wordB_{0};
    realplay::HeldQueue queue_{kQueueOwner};
    realplay::StreamCtrlCallbacks callbacks_;
    platform::Event wake_{true, false};
    QNThread video_;
    QNThread audio_;
    QNThread control_;

    // What the threads and the callers share, under one lock.
    mutable std::mutex state_;
    float frameRate_ = 0;
    uint32_t debtMs_ = 0;
    uint32_t lastVideo_ = 0;
    uint32_t lastAudio_ = 0;
    bool audioReleased_ = false; // since play
    int64_t lastAudioMs_ = 0;    // of the last audio put or released, or of play
    streams::StreamRate total_;
    streams::StreamRate recent_; // started over after every request taken
    // The control thread's memory.
    float wanted_ = 0;
    float cap_ = 0;
    bool requestDue_ = false;
    int64_t lastLossCheckMs_ = 0;
    int64_t lastFillCheckMs_ = 0;
    int64_t lastRequestMs_ = 0;
    const float sampleRate_ = 8000.0f;
};
