#include "vqSDK/VlrSystem/vlr_system.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "ptzlink/qn_ptzlink.h"
#include "streams/key_slots.h"
#include "streams/montage.h"
#include "streams/mp4_queue.h"
#include "streams/stream_queue.h"

namespace {

const char kPackTag[] = "RESPACK";
const char* const kSourceNames[] = {"single", "streamparse", "streamfileid"};
const char kSourceKind[] = "h264&audio&jpg";
const char* const kReportTexts[] = {"NetSdkErr", "stateIllegal", "paramerr", "-MontageErr-"};
constexpr int32_t kStateCode = 90001;
constexpr int32_t kParamCode = 90000;

// The MP4 queue's consumer has no recorder behind it yet: every frame counts
// as taken.
int TakeEveryFrame(const streams::Mp4QueueOutput*, void*, int64_t)
{
    return 1;
}

} // namespace

int ResPackUsable(const RESPACK* pack)
{
    return pack != nullptr && pack->tag != nullptr && std::strcmp(pack->tag, kPackTag) == 0 &&
                   pack->platform != nullptr && pack->queue != nullptr && pack->source != -1
               ? 1
               : 0;
}

VLR_SYSTEM::VLR_SYSTEM()
{
    pack_.tag = kPackTag;
    pack_.owner = RES_PACK_USER_NONE;
    pack_.source = -1;
    playThread_ = std::thread(&VLR_SYSTEM::PlayWorker, this);
}

VLR_SYSTEM::~VLR_SYSTEM()
{
    // The linkage library's workers report under the hub's mutex: end them first.
    ptzLink_.reset();
    ForgetModels();
    StopLiveWorker();
    ring_.Stop();
    if (playThread_.joinable()) playThread_.join();
    if (state_.load() & VLR_STATE_SDK_INIT) {
        QN_NET_SetMsgCallBack(nullptr, nullptr, nullptr);
    }
    if (mp4Queue_) mp4Queue_->Stop(0);
    if (platform_) platform_->qn_mp_Destroy();
}

int VLR_SYSTEM::SetMsgCallBack(VLR_MSG_CALLBACK callback, void* user, int32_t userValue)
{
    std::lock_guard<std::mutex> lock(callbackMutex_);
    msgCallback_ = callback;
    msgUser_ = user;
    msgValue_ = userValue;
    return 1;
}

int VLR_SYSTEM::SetNetEventCallBack(VLR_NET_EVENT_CALLBACK callback, void* user, int32_t userValue)
{
    eventUser_.store(user);
    eventValue_.store(userValue);
    eventCallback_.store(callback);
    return 1;
}

int VLR_SYSTEM::ReportError(int kind, const char* operation, int32_t first, int32_t second)
{
    std::lock_guard<std::mutex> lock(callbackMutex_);
    if (msgCallback_ == nullptr || kind < 0 || kind > VLR_REPORT_MONTAGE) return 0;
    int32_t code = 0;
    int32_t value = 0;
    switch (kind) {
    case VLR_REPORT_NET_SDK:
        QN_NET_GetLastError(&code);
        value = second;
        break;
    case VLR_REPORT_STATE:
        code = (first != 0 || second != 0) ? kStateCode : 0;
        break;
    case VLR_REPORT_PARAM:
        code = kParamCode;
        break;
    default:
        code = first;
        value = second;
        break;
    }
    char text[256];
    std::snprintf(text, sizeof text, "%s :: %s", kReportTexts[kind], operation != nullptr ? operation : "");
    msgCallback_(code, value, text, msgUser_, msgValue_);
    return 1;
}

void VLR_SYSTEM::RecomputeReady()
{
    const uint32_t state = state_.load();
    const bool ready = (state & VLR_STATE_PACK_BUILT) && (state & VLR_STATE_SDK_INIT);
    if (ready) {
        state_.fetch_or(VLR_STATE_READY);
    } else {
        state_.fetch_and(~static_cast<uint32_t>(VLR_STATE_READY));
    }
}

bool VLR_SYSTEM::BuildResourcePack()
{
    // A failed attempt keeps what it made; the next one makes only the rest.
    if (!platform_) {
        auto platform = std::make_unique<streams::Montage>();
        if (platform->qn_mp_Create() != 1) return false;
        platform_ = std::move(platform);
        platform_->qn_mp_SetCallBack(nullptr, nullptr, nullptr);
        platform_->qn_mp_SetEventCallBack(&VLR_SYSTEM::montEventCBFun, this, nullptr);
    }
    for (const char* name : kSourceNames) {
        int id = platform_->qn_mp_FindSource(name);
        if (id == -1) {
            id = platform_->qn_mp_AddSource(name, kSourceKind);
            if (id == -1) return false;
            if (platform_->qn_mp_Ctrl(id, "buff_cache_size", "0") != 1) return false;
        }
    }
    if (!queue_) queue_ = std::make_unique<streams::StreamQueue>(streams::QueueCapacity::Large);
    if (!mp4Queue_) {
        auto mp4Queue = std::make_unique<streams::MP4QUE>();
        if (mp4Queue->SetCallback(&TakeEveryFrame, nullptr, state_.load()) != 1) return false;
        mp4Queue_ = std::move(mp4Queue);
    }
    pack_.platform = platform_.get();
    pack_.queue = queue_.get();
    pack_.mp4Queue = mp4Queue_.get();
    pack_.source = platform_->qn_mp_FindSource(kSourceNames[0]);
    return pack_.source != -1;
}

int VLR_SYSTEM::Init(const char* step, const char* text)
{
    const std::string name = step != nullptr ? step : "";
    if (name == "data_base") {
        if (state_.load() & VLR_STATE_PACK_BUILT) return 1;
        if (!BuildResourcePack()) {
            ReportError(VLR_REPORT_NET_SDK, "sys init err");
            return 0;
        }
        state_.fetch_or(VLR_STATE_PACK_BUILT);
    } else if (name == "opengl_init" || name == "panoex") {
        // Nothing to prepare on this platform.
    } else if (name == "init_netsdk") {
        if (QN_NET_Init(text) != 1) {
            ReportError(VLR_REPORT_NET_SDK, "QN_NET_Init");
            return 0;
        }
        state_.fetch_or(VLR_STATE_SDK_INIT);
    } else if (name == "net_event_reg") {
        QN_NET_SetMsgCallBack(&VLR_SYSTEM::OnSdkEvent, &VLR_SYSTEM::OnByteCount, this);
    } else if (name == "clean_up") {
        if (QN_NET_Cleanup() != 1) {
            ReportError(VLR_REPORT_NET_SDK, "QN_NET_Init");
            return 0;
        }
        state_.fetch_and(~static_cast<uint32_t>(VLR_STATE_SDK_INIT));
    } else {
        ReportError(VLR_REPORT_NET_SDK, "sys init err");
        return 0;
    }
    RecomputeReady();
    return 1;
}

void* VLR_SYSTEM::GetSourcePack(const char* model)
{
    if ((state_.load() & VLR_STATE_READY) && model != nullptr) {
        if (std::strcmp(model, "file_play") == 0) return &pack_;
        if (std::strcmp(model, "realplay") == 0) {
            FillLiveModel();
            return liveModel_;
        }
        if (std::strcmp(model, "ipc_rcd") == 0) {
            FillCardModel();
            return cardModel_;
        }
    }
    ReportError(VLR_REPORT_STATE, "GetSourcePack");
    return nullptr;
}
