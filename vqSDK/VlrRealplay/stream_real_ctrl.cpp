#include "vqSDK/VlrRealplay/stream_real_ctrl.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "Depend/qn_log.h"
#include "streams/frame_rate.h"
#include "vqSDK/VlrRealplay/live_pacing.h"

using namespace realplay;

namespace {

constexpr int64_t kVideoIdleMs = 10;
constexpr int64_t kAudioIdleMs = 3;
constexpr int64_t kAudioRetryMs = 10;
constexpr int kAudioTries = 8;
constexpr int kVideoKind = static_cast<int>(streams::QueueKind::Video);
constexpr int kAudioKind = static_cast<int>(streams::QueueKind::Audio);

// What a bind keeps of the control word; the rest starts over as at construction.
constexpr uint32_t kKeptOnBind =
    QN_STREAM_REAL_CTRL::kHoldForKey | QN_STREAM_REAL_CTRL::kAwaitingKey |
    (((1u << QN_STREAM_REAL_CTRL::kRunOverBits) - 1u) << QN_STREAM_REAL_CTRL::kRunOverShift);

} // namespace

QN_STREAM_REAL_CTRL::QN_STREAM_REAL_CTRL(const platform::Clock& clock)
    : clock_(clock), control_(kStopped | kCompensate | kHoldForKey | kAwaitingKey), frameRate_(kStartFrameRate)
{
    QNThreadInit(&video_);
    QNThreadInit(&audio_);
}

QN_STREAM_REAL_CTRL::~QN_STREAM_REAL_CTRL() { Release(); }

int QN_STREAM_REAL_CTRL::SetMsgCallBack(QN_STREAM_MSG_CALLBACK callback, void* user, int32_t userValue)
{
    callbacks_.SetMessage(callback, user, userValue);
    return 1;
}

int QN_STREAM_REAL_CTRL::SetOutCallBack(QN_STREAM_OUT_CALLBACK callback, void* user, int32_t userValue)
{
    callbacks_.SetOutput(callback, user, userValue);
    return 1;
}

void QN_STREAM_REAL_CTRL::StopThreads()
{
    control_.fetch_or(kStopped);
    control_.fetch_and(~kVideoPaused);
    wake_.Set();
    QNThreadStop(&audio_, kStopWarnMs);
    QNThreadStop(&video_, kStopWarnMs);
}

int QN_STREAM_REAL_CTRL::BindQueue(streams::StreamQueue* queue)
{
    std::lock_guard<std::mutex> life(lifecycle_);
    if (queue == nullptr) return callbacks_.Fail("StreamQueue is null");
    StopThreads();
    uint32_t word = control_.load();
    while (!control_.compare_exchange_weak(word, (word & kKeptOnBind) | kStopped | kCompensate)) {
    }
    {
        std::lock_guard<std::mutex> hold(state_);
        frameRate_ = kStartFrameRate;
        debtMs_ = lastVideo_ = lastAudio_ = 0;
        rates_.Allocate();
    }
    if (!queue_.Bind(queue)) return callbacks_.Fail("Base resouce locked by other model");
    control_.fetch_or(kInitialised);
    return 1;
}

int QN_STREAM_REAL_CTRL::Release()
{
    std::lock_guard<std::mutex> life(lifecycle_);
    StopThreads();
    {
        std::lock_guard<std::mutex> hold(state_);
        rates_.Free();
    }
    queue_.Close();
    control_.fetch_and(~kInitialised);
    return 1;
}

int QN_STREAM_REAL_CTRL::setinfo(const char* name, const char* value)
{
    if (name == nullptr) return callbacks_.Fail("real ctrl setinfo(%s) error!", "");
    bool yes = false;
    uint32_t percent = 0;
    streams::StreamQueue* queue = queue_.Get();
    if (std::strcmp(name, "level_timeinter") == 0 && ParseYesNo(value, &yes)) {
        yes ? control_.fetch_or(kCompensate) : control_.fetch_and(~kCompensate);
        std::lock_guard<std::mutex> hold(state_);
        debtMs_ = 0;
        return 1;
    }
    if (std::strcmp(name, "p_is_key") == 0 && ParseYesNo(value, &yes)) {
        yes ? control_.fetch_or(kHoldForKey) : control_.fetch_and(~kHoldForKey);
        return 1;
    }
    if (std::strcmp(name, "audio_run_over") == 0 && ParseClamped(value, 100, &percent)) {
        StoreBits(control_, kRunOverShift, kRunOverBits, percent);
        return 1;
    }
    if (std::strcmp(name, "clear_all") == 0) {
        control_.fetch_or(kAwaitingKey);
        if (queue != nullptr && queue->Command(kQueueOwner, "clear_all", "")) return 1;
    } else if (std::strcmp(name, "need_cache") == 0) {
        if (queue != nullptr && queue->Command(kQueueOwner, "need_cache", value)) return 1;
    }
    return callbacks_.Fail("real ctrl setinfo(%s) error!", name);
}

int QN_STREAM_REAL_CTRL::input(const uint8_t* data, uint32_t length, const streams::StreamFrameHead& head, int kind)
{
    const uint32_t word = control_.load();
    streams::StreamQueue* queue = queue_.Get();
    if ((word & kInitialised) == 0 || queue == nullptr) return callbacks_.Fail("Not be initialized");
    if ((word & kStopped) != 0) return callbacks_.Fail("Not be playing");
    if (kind != 1 && kind != 2 && kind != 3) return callbacks_.Fail("Non-support command");
    const int64_t now = clock_.MonotonicMs();
    {
        std::lock_guard<std::mutex> hold(state_);
        if (kind == 2)
            rates_.AddSecond(length, now);
        else
            rates_.AddFirst(length, now);
    }
    streams::StreamQueueStats stats;
    if (!queue->Put(kQueueOwner, data, length, head, kind, &stats)) return callbacks_.Fail("Input stream error");
    StoreBits(control_, kByteFillShift, kByteFillBits, static_cast<uint32_t>(stats.word >> 6) & 0x3FFu);
    return 1;
}

int QN_STREAM_REAL_CTRL::Play()
{
    std::lock_guard<std::mutex> life(lifecycle_);
    if ((control_.load() & kInitialised) == 0) return callbacks_.Fail("Not be initialized");
    if (!callbacks_.HaveOutput()) return callbacks_.Fail("Not set stream call back");
    control_.fetch_and(~(kVideoPaused | kAudioPaused));
    if ((control_.load() & kStopped) != 0) {
        {
            std::lock_guard<std::mutex> hold(state_);
            debtMs_ = lastVideo_ = lastAudio_ = 0;
        }
        control_.fetch_or(kAwaitingKey);
        wake_.Reset();
        control_.fetch_and(~kStopped);
        if (!QNThreadStart(&audio_, &QN_STREAM_REAL_CTRL::prc_OutAudioThread, this) ||
            !QNThreadStart(&video_, &QN_STREAM_REAL_CTRL::prc_OutVideoThread, this)) {
            StopThreads();
            return callbacks_.Fail("Create thread error");
        }
    }
    return 1;
}

void QN_STREAM_REAL_CTRL::Acknowledge(Handshake& handshake)
{
    {
        std::lock_guard<std::mutex> hold(handshake.mutex);
        ++handshake.count;
    }
    handshake.moved.notify_all();
}

void QN_STREAM_REAL_CTRL::PauseOne(uint32_t bit, Handshake& handshake, const QNThread& thread)
{
    std::unique_lock<std::mutex> hold(handshake.mutex);
    const uint64_t seen = handshake.count;
    if ((control_.fetch_or(bit) & bit) != 0) return;
    // A thread that has ended answers nothing; there is nothing to wait for.
    if (thread.exited != 0) return;
    handshake.moved.wait_for(hold, std::chrono::milliseconds(kPauseAckMs), [&] { return handshake.count != seen; });
}

int QN_STREAM_REAL_CTRL::Pause()
{
    std::lock_guard<std::mutex> life(lifecycle_);
    if ((control_.load() & kInitialised) == 0) return callbacks_.Fail("Not be initialized");
    PauseOne(kVideoPaused, videoAck_, video_);
    PauseOne(kAudioPaused, audioAck_, audio_);
    return 1;
}

int QN_STREAM_REAL_CTRL::Resume()
{
    if ((control_.load() & kInitialised) == 0) return callbacks_.Fail("Not be initialized");
    control_.fetch_and(~(kVideoPaused | kAudioPaused));
    return 1;
}

int QN_STREAM_REAL_CTRL::Stop()
{
    std::lock_guard<std::mutex> life(lifecycle_);
    const uint32_t word = control_.load();
    if ((word & kInitialised) == 0 || (word & kStopped) != 0) callbacks_.Fail("Not be initialized");
    StopThreads();
    return 1;
}

void QN_STREAM_REAL_CTRL::prc_OutVideoThread(void* self) { static_cast<QN_STREAM_REAL_CTRL*>(self)->VideoLoop(); }

void QN_STREAM_REAL_CTRL::prc_OutAudioThread(void* self) { static_cast<QN_STREAM_REAL_CTRL*>(self)->AudioLoop(); }

void QN_STREAM_REAL_CTRL::VideoLoop()
{
    bool keyFramesOnly = false;
    while (!Stopping()) {
        if ((control_.load() & kVideoPaused) != 0) {
            Acknowledge(videoAck_);
            callbacks_.OutputState("PAUSE_V");
            Wait(kVideoIdleMs);
            continue;
        }
        const int64_t start = clock_.MonotonicMs();
        streams::StreamQueue* queue = queue_.Get();
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        streams::StreamQueueStats stats;
        if (queue == nullptr || !queue->Read(kQueueOwner, &data, &length, &stats, kVideoKind)) {
            Wait(kVideoIdleMs);
            continue;
        }
        const bool gap = (stats.word & 1u) != 0;
        const bool key = (stats.word & 2u) != 0;
        float frameRate;
        uint32_t lagMs;
        {
            std::lock_guard<std::mutex> hold(state_);
            if (key && !gap) {
                float rate = stats.frameRate;
                if (rate <= 0.0f && !streams::ProbeFrameRate(data, length, &rate)) rate = 0.0f;
                frameRate_ = UsableFrameRate(rate, frameRate_);
            }
            frameRate = frameRate_;
            lagMs = LagMs(lastVideo_, lastAudio_, frameRate);
        }
        const VideoPace pace = NextVideoPace(lagMs, frameRate, key, keyFramesOnly);
        keyFramesOnly = pace.keyFramesOnly;
        if (!gap) {
            if (key && (control_.load() & kHoldForKey) != 0) control_.fetch_and(~kAwaitingKey);
            const uint32_t word = control_.load();
            const bool awaitingKey = (word & kHoldForKey) != 0 && (word & kAwaitingKey) != 0;
            if (!awaitingKey && (key || !keyFramesOnly)) {
                QN_STREAM_OUT_RECORD record = OutRecord(key ? "h264_I" : "h264_P", stats);
                record.frameRate = frameRate;
                callbacks_.Output(data, length, record);
            }
        }
        {
            std::lock_guard<std::mutex> hold(state_);
            lastVideo_ = stats.lastFrame;
        }
        queue->Release(kQueueOwner, kVideoKind);
        if (keyFramesOnly) {
            Wait(kVideoIdleMs);
            continue;
        }
        const int64_t elapsed = std::max<int64_t>(clock_.MonotonicMs() - start, 0);
        VideoSleep sleep;
        {
            std::lock_guard<std::mutex> hold(state_);
            sleep = SleepAfterVideo(pace.intervalMs, static_cast<uint32_t>(std::min<int64_t>(elapsed, UINT32_MAX)),
                                    debtMs_, (control_.load() & kCompensate) != 0);
            debtMs_ = sleep.debtMs;
        }
        if (sleep.sleepMs > 0) Wait(sleep.sleepMs);
    }
    Acknowledge(videoAck_);
    callbacks_.OutputState("STOP_V");
    QNTestLog("%s(%d)\n", "prc_OutVideoThread", __LINE__);
}

void QN_STREAM_REAL_CTRL::AudioLoop()
{
    while (!Stopping()) {
        if ((control_.load() & kAudioPaused) != 0) {
            Acknowledge(audioAck_);
            callbacks_.OutputState("PAUSE_A");
            Wait(kAudioIdleMs);
            continue;
        }
        const int64_t start = clock_.MonotonicMs();
        streams::StreamQueue* queue = queue_.Get();
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        streams::StreamQueueStats stats;
        if (queue == nullptr || !queue->Read(kQueueOwner, &data, &length, &stats, kAudioKind)) {
            Wait(kAudioIdleMs);
            continue;
        }
        uint32_t lagMs;
        {
            std::lock_guard<std::mutex> hold(state_);
            lagMs = LagMs(lastAudio_, lastVideo_, frameRate_);
        }
        const float factor = AudioFactor(lagMs);
        if ((stats.word & 1u) == 0) {
            QN_STREAM_OUT_RECORD record = OutRecord("g711a", stats);
            record.audioRate = static_cast<uint32_t>(sampleRate_ * factor);
            for (int attempt = 0; attempt < kAudioTries; ++attempt) {
                if (callbacks_.Output(data, length, record) != 0 || !Wait(kAudioRetryMs)) break;
            }
        }
        {
            std::lock_guard<std::mutex> hold(state_);
            lastAudio_ = stats.lastFrame;
        }
        queue->Release(kQueueOwner, kAudioKind);
        const uint32_t holdMs =
            AudioHoldMs(length, sampleRate_, factor, LoadBits(control_, kRunOverShift, kRunOverBits));
        const int64_t elapsed = clock_.MonotonicMs() - start;
        if (elapsed < holdMs) Wait(std::min<int64_t>(holdMs - elapsed, kMaxAudioSleepMs));
    }
    Acknowledge(audioAck_);
    callbacks_.OutputState("STOP_A");
    QNTestLog("%s(%d)\n", "prc_OutAudioThread", __LINE__);
}
