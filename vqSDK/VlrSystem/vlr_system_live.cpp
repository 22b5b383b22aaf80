// The live model and its frame road. The SDK's data callback runs on the
// SDK's receive thread, sometimes under its lock: it only queues the frame.
// The hub's live worker feeds the stream platform, so nothing downstream of
// the platform ever runs on an SDK thread, and nothing on the road calls into
// the SDK but the release of a frame buffer.
#include <cstdlib>
#include <cstring>
#include <deque>
#include <thread>

#include "streams/montage.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

constexpr int kLiveUser = RES_PACK_USER_REALPLAY;
constexpr int32_t kStreamNotice = 1111;
const char kStreamNoticeText[] = "StreamFromNet ";

// The one hub whose live model the SDK's callback feeds.
std::atomic<VLR_SYSTEM*> g_liveHub{nullptr};

} // namespace

int VLR_SYSTEM::OnLiveData(char* data, int32_t type, int32_t number, int32_t length, int32_t)
{
    VLR_SYSTEM* hub = g_liveHub.load();
    if (hub == nullptr || data == nullptr || length <= 0) {
        if (type != QN_NET_FRAME_AUDIO_G711A) QN_NET_Free(data);
        return 1;
    }
    LiveFrame frame{nullptr, {}, type, number, length};
    if (type == QN_NET_FRAME_AUDIO_G711A) {
        frame.audio.assign(reinterpret_cast<uint8_t*>(data), reinterpret_cast<uint8_t*>(data) + length);
    } else {
        frame.sdkBuffer = data;
    }
    hub->QueueLiveFrame(std::move(frame));
    return 1;
}

void VLR_SYSTEM::QueueLiveFrame(LiveFrame frame)
{
    {
        std::lock_guard<std::mutex> lock(liveMutex_);
        if (liveRun_ && liveOpen_) {
            liveFrames_.push_back(std::move(frame));
            liveChanged_.notify_one();
            return;
        }
    }
    QN_NET_Free(frame.sdkBuffer);
}

void VLR_SYSTEM::LiveWorker()
{
    std::unique_lock<std::mutex> lock(liveMutex_);
    for (;;) {
        liveChanged_.wait(lock, [&] { return !liveRun_ || !liveFrames_.empty() || liveResetPending_; });
        if (liveResetPending_) {
            liveOrder_ = FrameOrder{};
            liveResetPending_ = false;
        }
        if (liveFrames_.empty()) {
            if (!liveRun_) return;
            continue;
        }
        LiveFrame frame = std::move(liveFrames_.front());
        liveFrames_.pop_front();
        liveFeeding_ = true;
        lock.unlock();
        const uint8_t* data = frame.sdkBuffer != nullptr ? reinterpret_cast<const uint8_t*>(frame.sdkBuffer)
                                                         : frame.audio.data();
        FeedFrame(liveOrder_, frame.type, frame.number, data, frame.length);
        QN_NET_Free(frame.sdkBuffer);
        lock.lock();
        liveFeeding_ = false;
        liveFed_.notify_all();
    }
}

void VLR_SYSTEM::FeedFrame(FrameOrder& order, int32_t type, int32_t number, const uint8_t* data, int32_t length)
{
    // The pack's bit is set only once the platform and its source are in
    // place, so a feeding thread never reads them half made.
    if (!(state_.load() & VLR_STATE_PACK_BUILT) || data == nullptr || length <= 0) return;
    uint32_t synchronisation = static_cast<uint32_t>(number);
    if (type == QN_NET_FRAME_KEY || type == QN_NET_FRAME_DEPENDENT) {
        const bool key = type == QN_NET_FRAME_KEY;
        if (key) order.waitingForKey = false;
        if (order.waitingForKey) return;
        if (number < order.lastNumber) return;
        order.lastNumber = number;
        platform_->qn_mp_Ctrl(pack_.source, "video_synid_qn2", reinterpret_cast<const char*>(&synchronisation));
        platform_->qn_mp_InputData(pack_.source, data, length, "video_h264_single_qn2");
        if (key) {
            const VLR_NET_EVENT_CALLBACK callback = eventCallback_.load();
            if (callback != nullptr) {
                callback(kStreamNotice, const_cast<char*>(kStreamNoticeText), 1, eventUser_.load(),
                         eventValue_.load());
            }
        }
    } else if (type == QN_NET_FRAME_AUDIO_G711A) {
        platform_->qn_mp_Ctrl(pack_.source, "audio_synid_qn2", reinterpret_cast<const char*>(&synchronisation));
        platform_->qn_mp_InputData(pack_.source, data, length, "audio_g711a_single_qn2");
    }
}

void VLR_SYSTEM::PlayWorker()
{
    for (;;) {
        bool reset = false;
        const int slot = ring_.TakeOldest(&reset);
        if (slot < 0) return;
        if (reset) ringOrder_ = FrameOrder{};
        const PacketRing::Packet& packet = ring_.Slot(slot);
        FeedFrame(ringOrder_, packet.type, packet.number, packet.buffer.data(), packet.length);
        ring_.Release(slot);
    }
}

int VLR_SYSTEM::PutPacket(const uint8_t* data, int32_t length, int32_t type, int32_t number)
{
    return ring_.Put(data, length, type, number) ? 1 : 0;
}

void VLR_SYSTEM::StopLiveWorker()
{
    VLR_SYSTEM* self = this;
    if (g_liveHub.compare_exchange_strong(self, nullptr)) QN_NET_SetRealDataCallBack(nullptr, 0);
    {
        std::lock_guard<std::mutex> lock(liveMutex_);
        liveRun_ = false;
        liveChanged_.notify_all();
    }
    if (liveThread_.joinable()) liveThread_.join();
    // Frames still queued were never fed: their buffers go back all the same.
    for (LiveFrame& frame : liveFrames_) QN_NET_Free(frame.sdkBuffer);
    liveFrames_.clear();
}

void VLR_SYSTEM::CloseLiveRoad()
{
    std::deque<LiveFrame> dropped;
    {
        std::unique_lock<std::mutex> lock(liveMutex_);
        liveOpen_ = false;
        dropped.swap(liveFrames_);
        // A stop from inside the worker's own feed has nothing to wait for.
        if (std::this_thread::get_id() != liveThread_.get_id()) liveFed_.wait(lock, [&] { return !liveFeeding_; });
    }
    for (LiveFrame& frame : dropped) QN_NET_Free(frame.sdkBuffer);
}

int VLR_SYSTEM::LiveSetCamera(int user, const char* camera)
{
    if (user != kLiveUser) return 0;
    liveCamera_.store(camera != nullptr ? static_cast<int32_t>(std::strtol(camera, nullptr, 10)) : 0);
    return 1;
}

int VLR_SYSTEM::LiveStart(int user, int32_t* handle)
{
    if (user != kLiveUser) return 0;
    ring_.Reset();
    {
        std::lock_guard<std::mutex> lock(liveMutex_);
        liveResetPending_ = true;
        liveOpen_ = true;
        if (!liveRun_) {
            liveRun_ = true;
            liveThread_ = std::thread(&VLR_SYSTEM::LiveWorker, this);
        }
        liveChanged_.notify_all();
    }
    g_liveHub.store(this);
    if (QN_NET_SetRealDataCallBack(&VLR_SYSTEM::OnLiveData, 0) != 1) {
        ReportError(VLR_REPORT_NET_SDK, "QN_NET_SetRealDataCallBack");
        return 0;
    }
    int32_t route = 0;
    if (QN_NET_StartRealPlay(liveCamera_.load(), &route) != 1) {
        ReportError(VLR_REPORT_NET_SDK, "QN_NET_StartRealPlay");
        return 0;
    }
    if (handle != nullptr) *handle = route;
    return 1;
}

int VLR_SYSTEM::LiveSetQuality(int user, const char* quality)
{
    if (user != kLiveUser) return 0;
    const int32_t type = quality != nullptr && std::strcmp(quality, "fluency") == 0 ? 1 : 0;
    {
        // The next stream's frames start at its key frame.
        std::lock_guard<std::mutex> lock(liveMutex_);
        liveResetPending_ = true;
        liveChanged_.notify_all();
    }
    return QN_NET_SetStreamType(liveCamera_.load(), type) == 1 ? 1 : 0;
}

int VLR_SYSTEM::LiveStop(int user)
{
    if (user != kLiveUser) return 0;
    // The source is the TF-card play's too, and it may be taken as soon as
    // this returns: a live frame still queued, or one the SDK delivers while
    // it stops, must not reach it then.
    CloseLiveRoad();
    return QN_NET_StopRealPlay(liveCamera_.load()) == 1 ? 1 : 0;
}
