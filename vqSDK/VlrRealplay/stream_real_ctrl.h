// The live pacing controller: frames put into the shared frame queue come out again at the stream's own rate, one
// thread for video and one for audio. Video catches up when it lags behind audio, and shows key frames only when it
// lags far behind; pause and stop are reported as state frames. Every wait runs on the injected clock and ends at
// once when the controller stops, and every stop joins both threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "Depend/qn_thread.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "streams/stream_queue.h"
#include "streams/stream_rate.h"
#include "vqSDK/VlrRealplay/stream_ctrl_output.h"

class QN_STREAM_REAL_CTRL {
public:
    static constexpr int kQueueOwner = 1;

    // Control word bits.
    static constexpr uint32_t kInitialised = 1u << 0;
    static constexpr uint32_t kStopped = 1u << 1;
    static constexpr uint32_t kCompensate = 1u << 2; // "level_timeinter"
    static constexpr uint32_t kHoldForKey = 1u << 3; // "p_is_key"
    static constexpr uint32_t kAwaitingKey = 1u << 4;
    static constexpr uint32_t kVideoPaused = 1u << 5;
    static constexpr uint32_t kAudioPaused = 1u << 6;
    static constexpr int kByteFillShift = 7, kByteFillBits = 10;
    static constexpr int kRunOverShift = 17, kRunOverBits = 7; // "audio_run_over" percent

    // How long a stop waits for each thread before it logs that the thread is slow (it joins it regardless), and how
    // long a pause waits for each thread to see it.
    static constexpr int kStopWarnMs = 3000;
    static constexpr int kPauseAckMs = 300;

    explicit QN_STREAM_REAL_CTRL(const platform::Clock& clock = platform::Clock::System());
    ~QN_STREAM_REAL_CTRL();
    QN_STREAM_REAL_CTRL(const QN_STREAM_REAL_CTRL&) = delete;
    QN_STREAM_REAL_CTRL& operator=(const QN_STREAM_REAL_CTRL&) = delete;

    // Every operation answers 1, or 0 after passing its reason to the message callback.
    int BindQueue(streams::StreamQueue* queue);
    int Release();
    int SetMsgCallBack(QN_STREAM_MSG_CALLBACK callback, void* user, int32_t userValue);
    int SetOutCallBack(QN_STREAM_OUT_CALLBACK callback, void* user, int32_t userValue);
    // "level_timeinter" y/n, "p_is_key" y/n, "audio_run_over" percent, "clear_all", "need_cache" y/n.
    int setinfo(const char* name, const char* value);
    // Kind 1 or 3 video (the head carries frame number, key mark and frame-rate byte), 2 audio.
    int input(const uint8_t* data, uint32_t length, const streams::StreamFrameHead& head, int kind);
    int Play();
    int Pause();
    int Resume();
    int Stop();

    uint32_t ControlWord() const { return control_.load(); }

private:
    // A thread's answer to a pause or stop: the pausing caller waits until the count moves.
    struct Handshake {
        std::mutex mutex;
        std::condition_variable moved;
        uint64_t count = 0;
    };

    static void prc_OutVideoThread(void* self);
    static void prc_OutAudioThread(void* self);
    void VideoLoop();
    void AudioLoop();
    void StopThreads();
    void Acknowledge(Handshake& handshake);
    void PauseOne(uint32_t bit, Handshake& handshake, const QNThread& thread);
    // False when a stop ended the wait.
    bool Wait(int64_t ms) { return !clock_.WaitFor(wake_, ms); }
    bool Stopping() const { return (control_.load() & kStopped) != 0; }

    const platform::Clock& clock_;
    std::mutex lifecycle_; // bind, play, pause, stop and release one at a time
    std::atomic<uint32_t> control_;
    realplay::HeldQueue queue_{kQueueOwner};
    realplay::StreamCtrlCallbacks callbacks_;
    platform::Event wake_{true, false};
    QNThread video_;
    QNThread audio_;
    Handshake videoAck_;
    Handshake audioAck_;

    // What the threads and the callers share, under one lock.
    mutable std::mutex state_;
    float frameRate_;
    uint32_t debtMs_ = 0;
    uint32_t lastVideo_ = 0;
    uint32_t lastAudio_ = 0;
    streams::StreamRate rates_;
    const float sampleRate_ = 8000.0f;
};
