// The TF-card play module's pack, callbacks, camera lock and stream head.
#include "vqSDK/VlrIPCRcd/vlr_ipc_rcd.h"

#include "streams/montage.h"

namespace {

constexpr int kUser = RES_PACK_USER_IPCRCD;

// Everything a stale frame of the last stream could leave in the source.
const char* const kClearOnLock[] = {"all_que", "pano_info", "v0_que", "v1_que", "au_que", "data_que"};

} // namespace

VlrIPCRcd::VlrIPCRcd(const platform::Clock& clock) : pacing_(clock) {}

VlrIPCRcd::~VlrIPCRcd()
{
    if (channel_ && Pack() != nullptr && OwnsPack()) {
        if (state_.load() & IPCRCD_PLAYING) SendCtrl("stop", nullptr, nullptr);
        UnlockCamera();
    }
    pacing_.Release();
}

bool VlrIPCRcd::OwnsPack() const
{
    const RESPACK* pack = Pack();
    return pack != nullptr && pack->owner == kUser;
}

int VlrIPCRcd::SetSourcePack(void* table)
{
    if (!channel_) {
        channel_ = std::make_unique<Channel>();
        state_.store(IPCRCD_MARKS);
    }
    void** entries = static_cast<void**>(table);
    const RESPACK* pack = entries != nullptr ? static_cast<const RESPACK*>(entries[0]) : nullptr;
    if (ResPackUsable(pack) != 1) {
        callbacks_.Message("Source packet member error");
        return 0;
    }
    table_ = entries;
    channel_->platform = pack->platform;
    channel_->source = pack->source;
    channel_->queue = pack->queue;
    return 1;
}

int VlrIPCRcd::SetMsgCallBack(MONT_MSG_CALLBACK callback, void* user, int32_t userValue)
{
    callbacks_.SetMessage(callback, user, userValue);
    return 1;
}

int VlrIPCRcd::SetEventCallBack(MONT_EVENT_CALLBACK callback, void* user, int32_t userValue)
{
    callbacks_.SetEvent(callback, user, userValue);
    return 1;
}

int VlrIPCRcd::SetStateCallBack(MONT_STATE_CALLBACK callback, void* user, int32_t userValue)
{
    callbacks_.SetState(callback, user, userValue);
    return 1;
}

int VlrIPCRcd::SetFrameCallBack(MONT_FRAME_CALLBACK callback, void* user, int32_t userValue)
{
    if (!channel_) {
        callbacks_.Message("Not set source packet");
        return 0;
    }
    callbacks_.SetFrame(callback, user, userValue);
    return 1;
}

void VlrIPCRcd::ReleaseCamera()
{
    Model<VLR_MODEL_SET_PLAYBACK_DATA>(12)(kUser, nullptr, nullptr, 0);
    Model<VLR_MODEL_PLAIN>(3)(kUser);
    Pack()->owner = RES_PACK_USER_NONE;
}

bool VlrIPCRcd::ResetPlatform()
{
    streams::Montage& platform = *channel_->platform;
    const int source = channel_->source;
    if (platform.qn_mp_Pause(source) != 1) return false;
    // A source without an input cache refuses the cache part of a clear;
    // the rest of it is done all the same.
    for (const char* what : kClearOnLock) platform.qn_mp_Ctrl(source, "clear", what);
    if (platform.qn_mp_SetStreamCallBack(source, &VlrIPCRcd::OnStreamFrame, this, 0) != 1) return false;
    return platform.qn_mp_Play(source) == 1;
}

bool VlrIPCRcd::StartPacing()
{
    if (pacing_.BindQueue(channel_->queue) != 1) return false;
    pacing_.SetMsgCallBack(&VlrIPCRcd::OnPacingMessage, this, 0);
    if (pacing_.setinfo("need_cache", "y") != 1) return false;
    if (pacing_.SetOutCallBack(&VlrIPCRcd::OnPacingOutput, this, 0) != 1) return false;
    if (pacing_.SetRateCallBack(&VlrIPCRcd::OnRateRequest, this, 0) != 1) return false;
    return pacing_.Play() == 1;
}

bool VlrIPCRcd::StopPacing()
{
    bool done = pacing_.Stop() == 1;
    done = pacing_.setinfo("clear_all", "") == 1 && done;
    return pacing_.Release() == 1 && done;
}

int VlrIPCRcd::LockCamera(const char* camera)
{
    RESPACK* pack = Pack();
    if (pack == nullptr || !channel_) {
        callbacks_.Message("Not set source packet");
        return 0;
    }
    if (state_.load() & IPCRCD_PLAYING) {
        callbacks_.Message("Already lock a camera and playing");
        return 0;
    }
    if (pack->owner != RES_PACK_USER_NONE && pack->owner != kUser) {
        callbacks_.Message("Already lock a camera");
        return 0;
    }
    pack->owner = kUser;
    Model<VLR_MODEL_SET_RECORD_END>(11)(kUser, &VlrIPCRcd::OnRecordEnd, this, 0);
    Model<VLR_MODEL_SET_PLAYBACK_DATA>(12)(kUser, &VlrIPCRcd::OnPlaybackData, this, 0);
    if (Model<VLR_MODEL_SET_CAMERA>(2)(kUser, camera) != 1) {
        ReleaseCamera();
        callbacks_.Message("Lock a camera error");
        return 0;
    }
    if (!ResetPlatform()) {
        channel_->platform->qn_mp_SetStreamCallBack(channel_->source, nullptr, nullptr, 0);
        ReleaseCamera();
        callbacks_.Message("Reset montage error");
        return 0;
    }
    if (!StartPacing()) {
        StopPacing();
        channel_->platform->qn_mp_SetStreamCallBack(channel_->source, nullptr, nullptr, 0);
        ReleaseCamera();
        callbacks_.Message("Reset stream ctrl error");
        return 0;
    }
    heads_.Reset();
    return 1;
}

int VlrIPCRcd::UnlockCamera()
{
    RESPACK* pack = Pack();
    if (pack == nullptr || !channel_) {
        callbacks_.Message("Not set source packet");
        return 0;
    }
    if (state_.load() & IPCRCD_PLAYING) {
        callbacks_.Message("Please close playing first");
        return 0;
    }
    if (pack->owner != kUser) {
        callbacks_.Message("Base resouce locked by other model");
        return 0;
    }
    int result = 1;
    // No frame of this camera is queued once the hub forgets the callback.
    Model<VLR_MODEL_SET_PLAYBACK_DATA>(12)(kUser, nullptr, nullptr, 0);
    if (Model<VLR_MODEL_PLAIN>(3)(kUser) != 1) {
        callbacks_.Message("Unkock a camera error");
        result = 0;
    }
    streams::Montage& platform = *channel_->platform;
    if (platform.qn_mp_Pause(channel_->source) != 1) {
        callbacks_.Message("Montage pause error");
        result = 0;
    }
    platform.qn_mp_Ctrl(channel_->source, "clear", "all");
    platform.qn_mp_Ctrl(channel_->source, "clear", "pano_info");
    if (!StopPacing()) {
        callbacks_.Message("Stop stream ctrl error");
        result = 0;
    }
    // The source stays with the pack; this module must hear nothing more of
    // it. Taking the callback away waits for a frame still in it.
    platform.qn_mp_SetStreamCallBack(channel_->source, nullptr, nullptr, 0);
    pack->owner = RES_PACK_USER_NONE;
    return result;
}

int VlrIPCRcd::HeadCheck()
{
    if (!OwnsPack()) {
        callbacks_.Message("Unkock a camera error");
        return 0;
    }
    if (!(state_.load() & IPCRCD_PLAYING)) {
        callbacks_.Message("Not be playing");
        return 0;
    }
    if (heads_.CurrentIndex() < 0) {
        callbacks_.Message("Not get head");
        return 0;
    }
    return 1;
}

const MontStreamHead* VlrIPCRcd::GetStreamHead()
{
    return HeadCheck() == 1 ? heads_.Current() : nullptr;
}

int VlrIPCRcd::CopyStreamHead(MontStreamHead* head, uint8_t* bytes, uint32_t capacity)
{
    if (HeadCheck() != 1) return 0;
    if (!heads_.CopyCurrent(head, bytes, capacity)) {
        callbacks_.Message("Not get head");
        return 0;
    }
    return 1;
}

void VlrIPCRcd::OnRecordEnd(int32_t code, int32_t, void* owner, int32_t)
{
    if (code == 1 && owner != nullptr) static_cast<VlrIPCRcd*>(owner)->callbacks_.Event(PLAY_EVENT_RECORD_END, nullptr);
}
