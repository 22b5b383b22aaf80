#include "vqSDK/VlrRealplay/stream_play_back_ctrl.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "Depend/qn_log.h"
#include "streams/frame_rate.h"
#include "vqSDK/VlrRealplay/live_pacing.h"
#include "vqSDK/VlrRealplay/playback_pacing.h"

using namespace realplay;

namespace {

constexpr int64_t kIdleMs = 3;
constexpr int kAudioTries = 8;
constexpr int kStateEveryIdlePasses = 5;
constexpr uint32_t kMaxCardAudioSleepMs = 2000;
constexpr int kVideoKind = static_cast<int>(streams::QueueKind::Video);
constexpr int kAudioKind = static_cast<int>(streams::QueueKind::Audio);

uint32_t Clamp32(int64_t ms) { return static_cast<uint32_t>(std::clamp<int64_t>(ms, 0, UINT32_MAX)); }

} // namespace

QN_STREAM_PLAY_BACK_CTRL::QN_STREAM_PLAY_BACK_CTRL(const platform::Clock& clock) : clock_(clock)
{
    QNThreadInit(&video_);
    QNThreadInit(&audio_);
    QNThreadInit(&control_);
    Reset();
}

QN_STREAM_PLAY_BACK_CTRL::~QN_STREAM_PLAY_BACK_CTRL() { Release(); }

uint32_t QN_STREAM_PLAY_BACK_CTRL::LossRate() const
{
    return (LoadBits(wordB_, kLossHighShift, kLossHighBits) << kLossLowBits) |
           LoadBits(wordA_, kLossLowShift, kLossLowBits);
}

void QN_STREAM_PLAY_BACK_CTRL::StoreLossRate(uint32_t lossRate)
{
    StoreBits(wordA_, kLossLowShift, kLossLowBits, lossRate);
    StoreBits(wordB_, kLossHighShift, kLossHighBits, lossRate >> kLossLowBits);
}

void QN_STREAM_PLAY_BACK_CTRL::StopThreads()
{
    // Stopped before not playing, so that the threads end without a pause mark.
    wordA_.fetch_or(kStopped);
    wordA_.fetch_and(~kPlaying);
    wake_.Set();
    QNThreadStop(&video_, kStopWarnMs);
    QNThreadStop(&audio_, kStopWarnMs);
    QNThreadStop(&control_, kStopWarnMs);
}

// Stops the threads and starts over as constructed, keeping the queue binding bit as it is.
void QN_STREAM_PLAY_BACK_CTRL::Reset()
{
    StopThreads();
    wordA_ = (wordA_.load() & kInitialised) | kStopped | kCompensate | kHoldForKey | kAwaitingKey;
    wordB_ = 0;
    StoreLossRate(kLossRateUnknown);
    std::lock_guard<std::mutex> hold(state_);
    frameRate_ = kStartFrameRate;
    debtMs_ = lastVideo_ = lastAudio_ = 0;
    audioReleased_ = false;
    lastAudioMs_ = 0;
    wanted_ = cap_ = 0;
    requestDue_ = false;
    lastLossCheckMs_ = lastFillCheckMs_ = lastRequestMs_ = 0;
    total_.Reset();
    recent_.Reset();
}

int QN_STREAM_PLAY_BACK_CTRL::BindQueue(streams::StreamQueue* queue)
{
    std::lock_guard<std::mutex> life(lifecycle_);
    if (queue == nullptr) return callbacks_.Fail("StreamQueue is null");
    Reset();
    wordA_.fetch_and(~kInitialised);
    {
        std::lock_guard<std::mutex> hold(state_);
        total_.Allocate();
        recent_.Allocate();
    }
    if (!queue_.Bind(queue)) return callbacks_.Fail("Base resouce locked by other model");
    wordA_.fetch_or(kInitialised);
    return 1;
}

int QN_STREAM_PLAY_BACK_CTRL::Release()
{
    std::lock_guard<std::mutex> life(lifecycle_);
    Reset();
    {
        std::lock_guard<std::mutex> hold(state_);
        total_.Free();
        recent_.Free();
    }
    queue_.Close();
    wordA_.fetch_and(~kInitialised);
    return 1;
}

int QN_STREAM_PLAY_BACK_CTRL::SetMsgCallBack(QN_STREAM_MSG_CALLBACK callback, void* user, int32_t userValue)
{
    callbacks_.SetMessage(callback, user, userValue);
    return 1;
}

int QN_STREAM_PLAY_BACK_CTRL::SetOutCallBack(QN_STREAM_OUT_CALLBACK callback, void* user, int32_t userValue)
{
    std::lock_guard<std::mutex> life(lifecycle_);
    if (Playing()) return callbacks_.Fail("Not be stopped");
    callbacks_.SetOutput(callback, user, userValue);
    return 1;
}

int QN_STREAM_PLAY_BACK_CTRL::SetRateCallBack(QN_STREAM_RATE_CALLBACK callback, void* user, int32_t userValue)
{
    std::lock_guard<std::mutex> life(lifecycle_);
    if (Playing()) return callbacks_.Fail("Not be stopped");
    callbacks_.SetRate(callback, user, userValue);
    return 1;
}

int QN_STREAM_PLAY_BACK_CTRL::setinfo(const char* name, const char* value)
{
    if (name == nullptr) return callbacks_.Fail("play ctrl setinfo(%s) error!", "");
    bool yes = false;
    uint32_t number = 0;
    streams::StreamQueue* queue = queue_.Get();
    const bool bound = (wordA_.load() & kInitialised) != 0 && queue != nullptr;
    if (std::strcmp(name, "level_timeinter") == 0 && ParseYesNo(value, &yes)) {
        yes ? wordA_.fetch_or(kCompensate) : wordA_.fetch_and(~kCompensate);
        std::lock_guard<std::mutex> hold(state_);
        debtMs_ = 0;
        return 1;
    }
    if (std::strcmp(name, "pack_loss_rate") == 0 && ParseClamped(value, 1000, &number)) {
        StoreLossRate(number);
        return 1;
    }
    if (std::strcmp(name, "p_is_key") == 0 && ParseYesNo(value, &yes)) {
        yes ? wordA_.fetch_or(kHoldForKey) : wordA_.fetch_and(~kHoldForKey);
        return 1;
    }
    if (std::strcmp(name, "audio_run_over") == 0 && ParseClamped(value, 100, &number)) {
        StoreBits(wordB_, kRunOverShift, kRunOverBits, number);
        return 1;
    }
    if ((std::strcmp(name, "clear_all") == 0 || std::strcmp(name, "need_cache") == 0) && bound && !Playing()) {
        const bool clear = name[0] == 'c';
        if (queue->Command(kQueueOwner, name, clear ? "" : value)) return 1;
    }
    if (std::strcmp(name, "out_speed") == 0 && bound && value != nullptr) {
        uint32_t mode = 0;
        if (std::strcmp(value, "no_fps") == 0)
            mode = kNoFps;
        else if (std::strcmp(value, "i_only") == 0)
            mode = kKeyOnly;
        else if (std::strcmp(value, "fps") != 0)
            return callbacks_.Fail("play ctrl setinfo(%s) error!", name);
        uint32_t word = wordB_.load();
        while (!wordB_.compare_exchange_weak(word, (word & ~(kNoFps | kKeyOnly)) | mode)) {
        }
        return 1;
    }
    return callbacks_.Fail("play ctrl setinfo(%s) error!", name);
}

int QN_STREAM_PLAY_BACK_CTRL::input(const uint8_t* data, uint32_t length, const streams::StreamFrameHead& head,
                                    int kind)
{
    const uint32_t word = wordA_.load();
    streams::StreamQueue* queue = queue_.Get();
    if ((word & kInitialised) == 0 || queue == nullptr) return callbacks_.Fail("Not be initialized");
    if ((word & kPlaying) == 0 || (word & kStopped) != 0) return callbacks_.Fail("Not be playing");
    if (kind != 1 && kind != 2 && kind != 3) return callbacks_.Fail("Non-support command");
    const int64_t now = clock_.MonotonicMs();
    {
        std::lock_guard<std::mutex> hold(state_);
        for (streams::StreamRate* rate : {&total_, &recent_}) {
            if (kind == 2)
                rate->AddSecond(length, now);
            else
                rate->AddFirst(length, now);
        }
    }
    streams::StreamQueueStats stats;
    if (!queue->Put(kQueueOwner, data, length, head, kind, &stats)) return callbacks_.Fail("Input stream error");
    if (kind == 2) {
        std::lock_guard<std::mutex> hold(state_);
        lastAudioMs_ = std::max(lastAudioMs_, now);
    }
    StoreBits(wordA_, kByteFillShift, kFillBits, static_cast<uint32_t>(stats.word >> 6));
    StoreBits(wordA_, kEntryFillShift, kFillBits, static_cast<uint32_t>(stats.word >> 16));
    return 1;
}

int QN_STREAM_PLAY_BACK_CTRL::Play()
{
    std::lock_guard<std::mutex> life(lifecycle_);
    if ((wordA_.load() & kInitialised) == 0) return callbacks_.Fail("Not be initialized");
    if (!callbacks_.HaveOutput()) return callbacks_.Fail("Not set stream call back");
    if (Stopping()) {
        {
            std::lock_guard<std::mutex> hold(state_);
            debtMs_ = 0;
            audioReleased_ = false;
            lastAudioMs_ = clock_.MonotonicMs();
        }
        wake_.Reset();
        // Playing before not stopped, so that the threads start without a pause mark.
        wordA_.fetch_or(kPlaying);
        wordA_.fetch_and(~kStopped);
        if (!QNThreadStart(&video_, &QN_STREAM_PLAY_BACK_CTRL::pbc_OutVideoThread, this) ||
            !QNThreadStart(&audio_, &QN_STREAM_PLAY_BACK_CTRL::pbc_OutAudioThread, this) ||
            !QNThreadStart(&control_, &QN_STREAM_PLAY_BACK_CTRL::pbc_OutStreamCtrlThread, this)) {
            StopThreads();
            return callbacks_.Fail("Create thread error");
        }
    }
    wordA_.fetch_or(kPlaying);
    return 1;
}

int QN_STREAM_PLAY_BACK_CTRL::Stop()
{
    std::lock_guard<std::mutex> life(lifecycle_);
    StopThreads();
    return 1;
}

void QN_STREAM_PLAY_BACK_CTRL::pbc_OutVideoThread(void* self)
{
    static_cast<QN_STREAM_PLAY_BACK_CTRL*>(self)->VideoLoop();
}

void QN_STREAM_PLAY_BACK_CTRL::pbc_OutAudioThread(void* self)
{
    static_cast<QN_STREAM_PLAY_BACK_CTRL*>(self)->AudioLoop();
}

void QN_STREAM_PLAY_BACK_CTRL::pbc_OutStreamCtrlThread(void* self)
{
    static_cast<QN_STREAM_PLAY_BACK_CTRL*>(self)->ControlLoop();
}

void QN_STREAM_PLAY_BACK_CTRL::VideoLoop()
{
    int idlePasses = 0;
    while (!Stopping()) {
        if (!Playing()) {
            callbacks_.OutputState("PAUSE_V");
            Wait(kIdleMs);
            continue;
        }
        const int64_t start = clock_.MonotonicMs();
        streams::StreamQueue* queue = queue_.Get();
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        streams::StreamQueueStats stats;
        if (queue == nullptr || !queue->Read(kQueueOwner, &data, &length, &stats, kVideoKind)) {
            idlePasses = (idlePasses + 1) % kStateEveryIdlePasses;
            if (queue != nullptr && idlePasses == 0 && queue->State(kQueueOwner, &stats))
                callbacks_.Output(nullptr, 0, OutRecord("state", stats));
            Wait(kIdleMs);
            continue;
        }
        const bool gap = (stats.word & 1u) != 0;
        const bool key = (stats.word & 2u) != 0;
        float frameRate;
        AudioGate gate;
        {
            std::lock_guard<std::mutex> hold(state_);
            if (key && !gap) {
                float rate = stats.frameRate;
                if (rate <= 0.0f && !streams::ProbeFrameRate(data, length, &rate)) rate = 0.0f;
                frameRate_ = UsableFrameRate(rate, frameRate_);
            }
            frameRate = frameRate_;
            gate = {audioReleased_, lastAudio_, Clamp32(start - lastAudioMs_)};
        }
        QN_STREAM_OUT_RECORD record = OutRecord(key ? "h264_I" : "h264_P", stats);
        record.frameRate = frameRate;
        const uint32_t modes = wordB_.load();
        if ((modes & (kNoFps | kKeyOnly)) != 0) {
            if (!gap && ((modes & kNoFps) != 0 || key)) callbacks_.Output(data, length, record);
            {
                std::lock_guard<std::mutex> hold(state_);
                lastVideo_ = stats.lastFrame;
            }
            queue->Release(kQueueOwner, kVideoKind);
            Wait(kIdleMs);
            continue;
        }
        uint32_t intervalMs = PlaybackIntervalMs(frameRate, (modes >> kRunOverShift) & ((1u << kRunOverBits) - 1u));
        if (gap) {
            // Missing frames keep their time.
            intervalMs *= stats.lastFrame - stats.firstFrame;
        } else {
            // Held in the queue until audio has caught up with it.
            if (!VideoMayLeave(stats.firstFrame, gate)) {
                Wait(kIdleMs);
                continue;
            }
            if (key && (wordA_.load() & kHoldForKey) != 0) wordA_.fetch_and(~kAwaitingKey);
            const uint32_t word = wordA_.load();
            if ((word & kHoldForKey) == 0 || (word & kAwaitingKey) == 0) callbacks_.Output(data, length, record);
        }
        VideoSleep sleep;
        {
            std::lock_guard<std::mutex> hold(state_);
            lastVideo_ = stats.lastFrame;
            sleep = SleepAfterVideo(intervalMs, Clamp32(clock_.MonotonicMs() - start), debtMs_,
                                    (wordA_.load() & kCompensate) != 0);
            debtMs_ = sleep.debtMs;
        }
        queue->Release(kQueueOwner, kVideoKind);
        if (sleep.sleepMs > 0) Wait(sleep.sleepMs);
    }
    callbacks_.OutputState("STOP_V");
    QNLogPrint("%s(%d)\n", "pbc_OutVideoThread", __LINE__);
}

void QN_STREAM_PLAY_BACK_CTRL::AudioLoop()
{
    uint32_t previousMs = 0;
    while (!Stopping()) {
        if (!Playing()) {
            callbacks_.OutputState("PAUSE_A");
            Wait(kIdleMs);
            continue;
        }
        const int64_t start = clock_.MonotonicMs();
        streams::StreamQueue* queue = queue_.Get();
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        streams::StreamQueueStats stats;
        if (queue == nullptr || !queue->Read(kQueueOwner, &data, &length, &stats, kAudioKind)) {
            Wait(kIdleMs);
            continue;
        }
        const uint32_t modes = wordB_.load();
        // Fast play and key frames only have no sound: audio leaves unheard and unpaced.
        const bool silent = (modes & (kNoFps | kKeyOnly)) != 0;
        if (!silent && (stats.word & 1u) == 0) {
            QN_STREAM_OUT_RECORD record = OutRecord("g711a", stats);
            record.audioRate = static_cast<uint32_t>(sampleRate_);
            // A refused frame is offered again after the time the one before it played.
            const int64_t retryMs = std::clamp<int64_t>(previousMs, kIdleMs, kMaxCardAudioSleepMs);
            for (int attempt = 0; attempt < kAudioTries; ++attempt) {
                if (callbacks_.Output(data, length, record) != 0 || !Wait(retryMs)) break;
            }
        }
        {
            std::lock_guard<std::mutex> hold(state_);
            lastAudio_ = stats.lastFrame;
            audioReleased_ = true;
            lastAudioMs_ = std::max(lastAudioMs_, clock_.MonotonicMs());
        }
        queue->Release(kQueueOwner, kAudioKind);
        if (silent) continue;
        previousMs = AudioHoldMs(length, sampleRate_, 1.0f, (modes >> kRunOverShift) & ((1u << kRunOverBits) - 1u));
        const int64_t elapsed = clock_.MonotonicMs() - start;
        if (elapsed < previousMs) Wait(std::min<int64_t>(previousMs - elapsed, kMaxCardAudioSleepMs));
    }
    callbacks_.OutputState("STOP_A");
    QNLogPrint("%s(%d)\n", "pbc_OutAudioThread", __LINE__);
}

void QN_STREAM_PLAY_BACK_CTRL::ControlLoop()
{
    while (!Stopping()) {
        if (Playing()) ControlPass(clock_.MonotonicMs());
        Wait(kControlPassMs);
    }
    QNLogPrint("%s(%d)\n", "pbc_OutStreamCtrlThread", __LINE__);
}

void QN_STREAM_PLAY_BACK_CTRL::ControlPass(int64_t now)
{
    std::optional<float> target;
    {
        std::lock_guard<std::mutex> hold(state_);
        const float received = recent_.Query("recently", now).firstFps;
        const uint32_t lossRate = LossRate();
        if (now - lastLossCheckMs_ > kLossCheckMs && lossRate != kLossRateUnknown) {
            lastLossCheckMs_ = now;
            wanted_ = RateForLoss(lossRate, received).value_or(0.0f);
            requestDue_ = true;
        }
        if (now - lastFillCheckMs_ > kFillCheckMs) {
            lastFillCheckMs_ = now;
            const std::optional<float> cap = CapForFill(LoadBits(wordA_, kByteFillShift, kFillBits),
                                                        LoadBits(wordA_, kEntryFillShift, kFillBits), frameRate_);
            if (cap) {
                cap_ = *cap;
                requestDue_ = true;
            }
        }
        if (requestDue_) {
            target = RateRequestTarget(wanted_, cap_, received);
            // A request that is due waits for its turn; one that the received rate already meets is dropped.
            if (!target) requestDue_ = false;
            if (target && (now - lastRequestMs_ <= kRequestGapMs || !callbacks_.HaveRate())) target.reset();
        }
    }
    if (target) {
        const int taken = callbacks_.RequestRate(*target);
        std::lock_guard<std::mutex> hold(state_);
        // Asked at most once per gap, whether or not the request was taken.
        lastRequestMs_ = now;
        requestDue_ = false;
        if (taken == 1) recent_.Reset();
    }
    std::lock_guard<std::mutex> hold(state_);
    for (streams::StreamRate* rate : {&total_, &recent_}) {
        rate->AdvanceFirst(now);
        rate->AdvanceSecond(now);
    }
}
