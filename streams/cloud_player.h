// Cloud play: for one camera and one day the player fetches temporary
// storage credentials, downloads the day index, lists the recorded segments,
// downloads them one after another into the camera's local folder and plays
// them through the SDK's segment reader into a small frame queue, from which
// a video and an audio output thread hand frames to the controller.
//
// Four threads: download (at most one segment ahead of play), play (one
// reader step per pacing interval), video output and audio output. Stopping
// play leaves the download thread running, idle; each thread is joined when
// it is stopped.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "Depend/qn_thread.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "streams/cloud_time.h"
#include "streams/key_slots.h"
#include "streams/qn_tf.h"
#include "streams/stream_queue.h"
#include "vqSDK/VlrNetSDK/cloud/stream_reader.h"
#include "vqSDK/VlrSystem/cloud_sign_cache.h"

// One listed segment: the local path the day index names, its start and end
// (seconds since 1970) and the index's flag sum.
struct VQ_CLOUD_FILE {
    char name[108];
    int32_t start;
    int32_t end;
    int32_t sum;
};
static_assert(sizeof(VQ_CLOUD_FILE) == 120);

// The recording callback, called with 11 once per key frame recorded.
using vqCloudRecordCallback = void (*)(int code, void* user, int value);
using vqCloudMsgCallback = void (*)(void* message, void* user, int value);

namespace streams {

// Event codes.
enum : int {
    kCloudEventSegmentEnd = 11,
    kCloudEventNoFrame = 12,
    kCloudEventAllDownloaded = 13,
    kCloudEventPassword = 14,
};

// Result codes of the search, download and play calls.
enum : int {
    kCloudOk = 0,
    kCloudNoCredentials = -2,
    kCloudNoSegment = -3,
    kCloudBadIndex = -5,
};

struct CloudDevice {
    int32_t cameraId = 0;
    std::string deviceText;
    std::string ownerAccount;
    bool shared = false;
};

template <typename F>
struct CloudCallback {
    F function = nullptr;
    void* user = nullptr;
    int value = 0;
};

class CloudPlayer {
public:
    static constexpr int kQueueOwner = 1;
    static constexpr int kPageSize = 1000;

    CloudPlayer();
    ~CloudPlayer();
    CloudPlayer(const CloudPlayer&) = delete;
    CloudPlayer& operator=(const CloudPlayer&) = delete;

    // Folders and the account.
    int SetFolder(const char* folder);
    std::string CloudFolder() const;
    void SetAccount(const char* account, const char* text);
    void SetDevice(const CloudDevice& device);
    int SetCustomPassword(const char* password);

    void SetEventCallback(vqEventCallback function, void* user, int value);
    void SetMessageCallback(vqCloudMsgCallback function, void* user, int value);
    void SetVideoCallback(vqFrameCallback function, void* user, int value);
    void SetAudioCallback(vqFrameCallback function, void* user, int value);
    void SetRecordCallback(vqCloudRecordCallback function, void* user, int value);
    // Pacing and "now" from this clock from the next play; null for the system clock.
    void SetClock(const platform::Clock* clock) { clock_ = clock; }

    // The calls answer with a result code.
    int Search(int32_t camera, const VQ_CLOUD_TIME* time);
    int DownloadOnly(int32_t camera, const VQ_CLOUD_TIME* time);
    int StartPlay(int32_t camera, const VQ_CLOUD_TIME* time);
    // The next page of at most 1000 entries, owned by the player until the next page.
    int FileList(bool restart, VQ_CLOUD_FILE** page, int* count);
    void StopPlay();
    int StopDownload();
    int StartRecord(const char* fileName);
    int StopRecord();
    bool PanoParam(VQ_PANO_PARAM* param) const;

    // What the threads counted, for callers that watch progress.
    int Downloaded() const { return downloaded_; }
    int Played() const { return played_; }
    std::size_t SegmentCount() const;

private:
    // Search and downloads.
    std::string CameraFolder(int32_t camera);
    void MakeCurrent(int32_t camera);
    void ClearList();
    int Credentials(int32_t camera, bool refresh);
    int DownloadIndex(int32_t camera, const CloudDay& day);
    int ParseIndex(int32_t camera, const CloudDay& day);
    int LocalIndexAnswers(int32_t camera, const CloudDay& day);
    int Prepare(int32_t camera, const CloudDay& day, bool allowLocal);
    int DownloadSegment(std::size_t index);
    int Fetch(int32_t camera, const std::string& objectName, const std::string& localPath);
    void SetDefaultKeys(int32_t camera);
    CloudDay TimeOf(const VQ_CLOUD_TIME* time) const;
    const platform::Clock& Clock() const { return clock_ ? *clock_ : platform::Clock::System(); }

    // Threads.
    static void DownloadThread(void* self);
    static void PlayThread(void* self);
    static void VideoThread(void* self);
    static void AudioThread(void* self);
    void RunDownload();
    void RunPlay();
    void RunVideo();
    void RunAudio();
    bool StartThread(QNThread& thread, QNThreadProc proc);
    bool OpenSegment(int32_t camera);
    static int ReaderCallback(char* data, int32_t type, int32_t frameNumber, int32_t length);
    int TakeFrame(const uint8_t* data, int32_t type, int32_t length);
    void SendEvent(int code, const char* text);
    // Sleeps up to `ms` unless a stop wakes it.
    void Idle(platform::Event& wake, int ms);
    int PacingMs() const;

    mutable std::mutex lock_;
    CloudCallback<vqEventCallback> event_;
    CloudCallback<vqCloudMsgCallback> message_;
    CloudCallback<vqFrameCallback> video_;
    CloudCallback<vqFrameCallback> audio_;
    CloudCallback<vqCloudRecordCallback> record_;
    const platform::Clock* clock_ = nullptr;

    std::vector<CloudDevice> devices_;
    std::atomic<int32_t> camera_{0};
    bool haveCamera_ = false;
    struct CloudSegment {
        std::string path;
        int64_t start = 0;
        int64_t end = 0;
        int sum = 0;
    };
    std::vector<CloudSegment> segments_; // the full local paths of files_
    std::vector<VQ_CLOUD_FILE> files_;
    std::atomic<uint32_t> listGeneration_{0};
    std::vector<VQ_CLOUD_FILE> page_;
    std::size_t cursor_ = 0;
    std::atomic<int> downloaded_{0};
    std::atomic<int> played_{0};
    std::atomic<bool> starting_{false};
    std::atomic<bool> downloadStop_{false};
    std::atomic<bool> playStop_{false};
    std::atomic<bool> downloadIdle_{true};
    std::atomic<bool> playPaused_{true};
    std::atomic<bool> queueFull_{false};
    std::atomic<bool> reopen_{false};
    std::atomic<bool> recording_{false};
    QNThread download_, play_, videoOut_, audioOut_;
    platform::Event playWake_{true, false};
    platform::Event downloadWake_{true, false};
    CloudSpan span_{};

    CloudSignCache signs_;
    SecurityKeys keys_;
    std::string customPassword_;
    std::string account_;
    std::string accountPrefix_;
    std::string cloudFolder_;
    VQ_PANO_PARAM pano_{};
    bool panoSeen_ = false;
    std::string recordFile_;
    int frameRate_ = 20;

    StreamQueue queue_{QueueCapacity::Small};
    QN_NET_STREAM_READER reader_; // the play thread's, reset only while it does not run
    QN_NET_TIME_SPAN readSpan_{};
    uint32_t videoNumber_ = 0;
    uint32_t audioNumber_ = 0;
};

} // namespace streams
