// The cloud player's four threads and the calls that start and stop them.
#include <algorithm>
#include <cstring>
#include <vector>

#include "Depend/qn_log.h"
#include "streams/cloud_player.h"
#include "streams/frame_decrypt.h"
#include "streams/record_stream.h"
#include "streams/tf_play_plan.h"

namespace streams {

namespace {

constexpr int kIdleMs = 50;
constexpr int kDownloadPassMs = 10;
constexpr int kVideoPollMs = 5;
constexpr int kAudioPollMs = 2;
constexpr int kStopSteps = 40;
constexpr int kDownloadStopSteps = 50;
constexpr int kStopStepMs = 100;
// The queue's fill in thousandths, shifted left by 6, in the status word.
constexpr uint64_t kFillMask = 0xFFC0;
constexpr uint64_t kFullAbove = 44863;  // 701 thousandths
constexpr uint64_t kRoomBelow = 19200;  // 300 thousandths
// Download failures other than a refusal: retried after 10 ms, doubling to
// 2 s, this many times before the segment is skipped.
constexpr int kRetryFirstMs = 10;
constexpr int kRetryLastMs = 2000;
constexpr int kRetries = 5;
constexpr int kRefused = -3;   // HTTP 403 or 404
constexpr int kBadRequest = -2; // HTTP 400: the credentials want renewing

// The segment reader calls one plain function; the player that plays is its target.
std::atomic<CloudPlayer*> g_readerTarget{nullptr};

} // namespace

CloudPlayer::~CloudPlayer()
{
    StopPlay();
    StopDownload();
    queue_.Close(kQueueOwner);
}

void CloudPlayer::SetEventCallback(vqEventCallback function, void* user, int value)
{
    std::lock_guard<std::mutex> hold(lock_);
    event_ = {function, user, value};
}

void CloudPlayer::SetMessageCallback(vqCloudMsgCallback function, void* user, int value)
{
    // Kept for the caller; the player reports through results and events.
    std::lock_guard<std::mutex> hold(lock_);
    message_ = {function, user, value};
}

void CloudPlayer::SetVideoCallback(vqFrameCallback function, void* user, int value)
{
    std::lock_guard<std::mutex> hold(lock_);
    video_ = {function, user, value};
}

void CloudPlayer::SetAudioCallback(vqFrameCallback function, void* user, int value)
{
    std::lock_guard<std::mutex> hold(lock_);
    audio_ = {function, user, value};
}

void CloudPlayer::SetRecordCallback(vqCloudRecordCallback function, void* user, int value)
{
    std::lock_guard<std::mutex> hold(lock_);
    record_ = {function, user, value};
}

void CloudPlayer::SendEvent(int code, const char* text)
{
    CloudCallback<vqEventCallback> event;
    {
        std::lock_guard<std::mutex> hold(lock_);
        event = event_;
    }
    if (event.function == nullptr) return;
    VQ_EVENT_INFO info{code, camera_, text != nullptr ? text : "", 0};
    event.function(&info, event.user, event.value);
}

void CloudPlayer::Idle(platform::Event& wake, int ms)
{
    wake.Wait(ms);
}

int CloudPlayer::PacingMs() const
{
    if (frameRate_ == 0) return 50;
    return std::max(20, (1000 / frameRate_) / 2);
}

bool CloudPlayer::StartThread(QNThread& thread, QNThreadProc proc)
{
    if (thread.handle.joinable()) return true;
    if (!QNThreadStart(&thread, proc, this)) {
        QNLogPrint("Cloud: a thread did not start\n");
        return false;
    }
    return true;
}

int CloudPlayer::StartPlay(int32_t camera, const VQ_CLOUD_TIME* time)
{
    starting_ = true;
    // A play that is still running hands its reader and queue over only once
    // its threads have ended.
    if (play_.handle.joinable() || videoOut_.handle.joinable() || audioOut_.handle.joinable()) {
        playStop_ = true;
        playWake_.Set();
        QNThreadStop(&play_, kStopSteps * kStopStepMs);
        QNThreadStop(&videoOut_, kStopSteps * kStopStepMs);
        QNThreadStop(&audioOut_, kStopSteps * kStopStepMs);
    }
    ClearList();
    reader_.Reset();
    const CloudDay day = TimeOf(time);
    MakeCurrent(camera);
    const bool past = IsPastDay(day, platform::ToLocalTime(Clock().WallNow().seconds));
    if (!past || LocalIndexAnswers(camera, day) != kCloudOk) {
        const int prepared = Prepare(camera, day, false);
        if (prepared != kCloudOk) {
            starting_ = false;
            return prepared;
        }
    }
    queue_.Open(kQueueOwner);
    queue_.Command(kQueueOwner, "clear_all", "");
    videoNumber_ = audioNumber_ = 0;
    reopen_ = true;
    queueFull_ = false;
    downloadStop_ = false;
    playStop_ = false;
    downloadIdle_ = false;
    playWake_.Reset();
    SetDefaultKeys(camera);
    playPaused_ = false;
    StartThread(download_, &CloudPlayer::DownloadThread);
    StartThread(play_, &CloudPlayer::PlayThread);
    StartThread(videoOut_, &CloudPlayer::VideoThread);
    StartThread(audioOut_, &CloudPlayer::AudioThread);
    starting_ = false;
    return kCloudOk;
}

void CloudPlayer::StopPlay()
{
    for (int i = 0; i < kStopSteps; ++i) {
        platform::SleepMs(kStopStepMs);
        if (!starting_) break;
    }
    ClearList();
    playStop_ = true;
    playWake_.Set();
    for (int i = 0; i < kStopSteps && !(play_.exited && videoOut_.exited && audioOut_.exited); ++i) {
        platform::SleepMs(kStopStepMs);
    }
    if (!(play_.exited && videoOut_.exited && audioOut_.exited)) {
        QNLogPrint("Cloud: play threads still running after %d ms\n", kStopSteps * kStopStepMs);
    }
    // Joined, never left behind: the object may be freed next.
    QNThreadStop(&play_, 0);
    QNThreadStop(&videoOut_, 0);
    QNThreadStop(&audioOut_, 0);
    reader_.Reset();
    queue_.Close(kQueueOwner);
}

int CloudPlayer::StopDownload()
{
    for (int i = 0; i < kDownloadStopSteps && !download_.exited; ++i) {
        downloadStop_ = true;
        downloadWake_.Set();
        platform::SleepMs(kStopStepMs);
    }
    downloadStop_ = true;
    downloadWake_.Set();
    // A transfer in flight cannot be cancelled; the join waits for its time-out.
    QNThreadStop(&download_, 0);
    return 0;
}

void CloudPlayer::DownloadThread(void* self)
{
    static_cast<CloudPlayer*>(self)->RunDownload();
}

void CloudPlayer::PlayThread(void* self)
{
    static_cast<CloudPlayer*>(self)->RunPlay();
}

void CloudPlayer::VideoThread(void* self)
{
    static_cast<CloudPlayer*>(self)->RunVideo();
}

void CloudPlayer::AudioThread(void* self)
{
    static_cast<CloudPlayer*>(self)->RunAudio();
}

void CloudPlayer::RunDownload()
{
    downloadWake_.Reset();
    int lastNotified = -1;
    uint32_t generation = listGeneration_;
    while (!downloadStop_ && download_.run) {
        if (generation != listGeneration_) {
            generation = listGeneration_;
            lastNotified = -1;
        }
        if (!playPaused_ && played_ + 1 < downloaded_) {
            Idle(downloadWake_, kIdleMs);
            continue;
        }
        if (downloadIdle_) {
            Idle(downloadWake_, kIdleMs);
            continue;
        }
        const int next = downloaded_;
        if (next >= static_cast<int>(SegmentCount())) {
            downloadIdle_ = true;
            if (next != lastNotified) {
                SendEvent(kCloudEventAllDownloaded, "");
                lastNotified = next;
            }
            continue;
        }
        int result = DownloadSegment(static_cast<std::size_t>(next));
        if (result == kBadRequest || result == kRefused) {
            // A refusal may mean stale credentials: once with new ones.
            Credentials(camera_, true);
            result = DownloadSegment(static_cast<std::size_t>(next));
        }
        for (int retry = 0, wait = kRetryFirstMs; result != 0 && result != kRefused && retry < kRetries; ++retry) {
            Idle(downloadWake_, wait);
            if (downloadStop_) break;
            result = DownloadSegment(static_cast<std::size_t>(next));
            wait = std::min(wait * 2, kRetryLastMs);
        }
        if (downloadStop_) break;
        if (result != 0) QNLogPrint("Cloud: segment %d skipped after download result %d\n", next, result);
        // A segment that could not be had counts as downloaded without a
        // file: play finds nothing to open and moves on.
        {
            // A list made anew meanwhile starts its own count.
            std::lock_guard<std::mutex> hold(lock_);
            if (listGeneration_ == generation) downloaded_ = next + 1;
        }
        Idle(downloadWake_, kDownloadPassMs);
    }
    QNLogPrint("Cloud: download Exit\n");
}

bool CloudPlayer::OpenSegment(int32_t camera)
{
    CameraFolder(camera);
    std::string path;
    {
        std::lock_guard<std::mutex> hold(lock_);
        const auto index = static_cast<std::size_t>(played_.load());
        if (index >= segments_.size()) return false;
        path = segments_[index].path;
        readSpan_ = {static_cast<uint32_t>(span_.start), static_cast<uint32_t>(span_.end)};
    }
    reader_.file_path = path;
    if (QN_NET_ReadStreamFile(&reader_, &readSpan_, nullptr) == 1) return true;
    QNLogPrint("Cloud Init Err: %s\n", path.c_str());
    return false;
}

void CloudPlayer::RunPlay()
{
    g_readerTarget = this;
    const platform::Clock& clock = Clock();
    while (!playStop_ && play_.run) {
        if (playPaused_ || played_ >= static_cast<int>(SegmentCount())) {
            // The end of the list, an empty one included, pauses play.
            playPaused_ = true;
            Idle(playWake_, kIdleMs);
            continue;
        }
        if (played_ >= downloaded_ || queueFull_) {
            Idle(playWake_, kIdleMs);
            continue;
        }
        const int64_t begun = clock.MonotonicMs();
        const int interval = PacingMs();
        bool finished = false;
        if (reopen_) {
            if (OpenSegment(camera_)) {
                reopen_ = false;
            } else {
                finished = true; // a segment that cannot be opened counts as played
            }
        }
        if (!finished) {
            finished = QN_NET_Parse_Stream(camera_, &reader_, &readSpan_, &CloudPlayer::ReaderCallback) <= 0;
        }
        if (finished) {
            reader_.Reset();
            reopen_ = true;
            ++played_;
            SendEvent(kCloudEventSegmentEnd, "");
        }
        for (int64_t left = interval - (clock.MonotonicMs() - begun); left > 0 && !playStop_;
             left = interval - (clock.MonotonicMs() - begun)) {
            clock.WaitFor(playWake_, left);
        }
    }
    CloudPlayer* self = this;
    g_readerTarget.compare_exchange_strong(self, nullptr);
    QNLogPrint("Cloud: play Exit\n");
}

int CloudPlayer::ReaderCallback(char* data, int32_t type, int32_t, int32_t length)
{
    CloudPlayer* target = g_readerTarget;
    if (target == nullptr) return 0;
    return target->TakeFrame(reinterpret_cast<const uint8_t*>(data), type, length);
}

int CloudPlayer::TakeFrame(const uint8_t* data, int32_t type, int32_t length)
{
    if (length <= 0 || data == nullptr) return 0;
    if (length == 8 || length == 16) return 0;
    StreamFrameRecord record;
    record.data = data;
    record.length = static_cast<uint32_t>(length);
    if (type == 0 || type == 1) {
        record.kind = static_cast<int>(QueueKind::Video);
        record.flags = type == 0 ? 1u : 0u;
        record.frameNumber = ++videoNumber_;
    } else if (type == 2) {
        record.kind = static_cast<int>(QueueKind::Audio);
        record.frameNumber = ++audioNumber_;
    } else {
        return 0;
    }
    record.value = record.frameNumber;
    StreamQueueStats stats;
    if (queue_.Put(kQueueOwner, record, &stats) != 1) {
        QNLogPrint("Cloud: frame of %d bytes refused by the queue\n", length);
        return 0;
    }
    if ((stats.word & kFillMask) > kFullAbove) queueFull_ = true;
    return 1;
}

void CloudPlayer::RunVideo()
{
    CloudFrameClock frameClock;
    TfFrameScan security{};
    bool dropToKey = false;
    std::vector<uint8_t> plain;
    while (!playStop_ && videoOut_.run) {
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        StreamQueueStats stats;
        if (!queue_.Read(kQueueOwner, &data, &length, &stats, static_cast<int>(QueueKind::Video))) {
            // Paused play still lets out what the queue holds.
            Idle(playWake_, playPaused_ ? kIdleMs : kVideoPollMs);
            continue;
        }
        const bool key = (stats.word & 2u) != 0;
        VQ_PANO_PARAM pano{};
        const TfFrameScan scan = ScanTfFrame(data, length, &pano, RecordSeiSizes::Exact);
        if (pano.valid) {
            std::lock_guard<std::mutex> hold(lock_);
            pano_ = pano;
            panoSeen_ = true;
        }
        bool skip = !scan.slice || data == nullptr || length == 0;
        if (!skip) {
            if (key) {
                security = scan;
                if (scan.haveTime) frameClock.KeyFrame(scan.timeWord);
            } else if (scan.haveTime) {
                frameClock.OtherFrame(scan.timeWord);
            }
        }
        const uint8_t* picture = data + scan.frameStart;
        const uint32_t pictureLength = length - static_cast<uint32_t>(scan.frameStart);
        if (!skip && (security.securityLow | security.securityHigh) != 0) {
            plain.assign(picture, picture + pictureLength);
            const uint32_t clear = key ? security.keyClearHeader : security.otherClearHeader;
            const CryptBuffer buffer{plain.data(), pictureLength,
                                     crypt_info::Make(security.protectionInterval, clear) | 0x4000000u};
            const int result = qnStreamDecrypt(keys_, buffer, key ? 2 : 4, security.securityLow, security.securityHigh);
            if (result == QNPS_RETURN_VAL_NEED_CUS_CODE || result == QNPS_RETURN_VAL_CODE_DEF_ERR ||
                result == QNPS_RETURN_VAL_CODE_CUS_ERR) {
                SendEvent(kCloudEventPassword, "");
                skip = true;
            } else {
                SendEvent(result, "");
                picture = plain.data();
            }
        }
        if (key) dropToKey = false;
        if (!skip && !dropToKey) {
            VQ_FRAME_INFO info{};
            info.deviceNumber = camera_;
            info.length = static_cast<int32_t>(pictureLength);
            info.nalLength = static_cast<int32_t>(pictureLength);
            info.queueValue = stats.firstFrame;
            info.key = key ? 0 : 1;
            info.kind = 1;
            for (int i = 0; i < 3; ++i) info.ptz[i] = scan.ptz[i];
            info.data = picture;
            info.nal = picture;
            if (frameClock.Known()) {
                const CloudFrameTime& t = frameClock.Now();
                info.year = t.year;
                info.month = t.month;
                info.day = t.day;
                info.hour = t.hour;
                info.minute = t.minute;
                info.second = t.second;
            }
            CloudCallback<vqFrameCallback> callback;
            {
                std::lock_guard<std::mutex> hold(lock_);
                callback = video_;
            }
            if (callback.function != nullptr) {
                const int answer = callback.function(&info, callback.user, callback.value);
                if (answer == 1) {
                    Idle(playWake_, kVideoPollMs);
                    continue; // the same frame again
                }
                if (answer == 2) dropToKey = true;
            }
            if (recording_) {
                RecordOwner owner;
                owner.keys = &keys_;
                CloudCallback<vqCloudRecordCallback> record;
                {
                    std::lock_guard<std::mutex> hold(lock_);
                    record = record_;
                }
                if (record.function != nullptr) {
                    owner.recordCallback = [record](int code) { record.function(code, record.user, record.value); };
                }
                std::vector<uint8_t> copy(data, data + length);
                RecordFrame frame;
                ParseVideoFrame_H264(copy.data(), static_cast<int>(copy.size()), &frame, owner);
            }
        }
        queue_.Release(kQueueOwner, static_cast<int>(QueueKind::Video));
        StreamQueueStats state;
        if (queue_.State(kQueueOwner, &state) && (state.word & kFillMask) < kRoomBelow) queueFull_ = false;
    }
    QNLogPrint("Cloud: video Exit ID:%d\n", camera_.load());
}

void CloudPlayer::RunAudio()
{
    while (!playStop_ && audioOut_.run) {
        Idle(playWake_, kAudioPollMs);
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        StreamQueueStats stats;
        if (!queue_.Read(kQueueOwner, &data, &length, &stats, static_cast<int>(QueueKind::Audio))) {
            if (playPaused_) Idle(playWake_, kIdleMs);
            continue;
        }
        VQ_FRAME_INFO info{};
        info.deviceNumber = camera_;
        info.length = static_cast<int32_t>(length);
        info.queueValue = stats.firstFrame;
        info.key = 2;
        info.kind = 1;
        info.data = data;
        CloudCallback<vqFrameCallback> callback;
        {
            std::lock_guard<std::mutex> hold(lock_);
            callback = audio_;
        }
        if (callback.function != nullptr && callback.function(&info, callback.user, callback.value) == 1) {
            continue; // the same frame again
        }
        if (recording_) {
            std::vector<uint8_t> copy(data, data + length);
            RecordFrame frame;
            frame.kind = "g711a";
            frame.data = copy.data();
            frame.length = static_cast<int>(copy.size());
            CloudRecordStream().Write(&frame, RecordOwner{});
        }
        queue_.Release(kQueueOwner, static_cast<int>(QueueKind::Audio));
    }
    QNLogPrint("Cloud: audio Exit ID:%d\n", camera_.load());
}

} // namespace streams
