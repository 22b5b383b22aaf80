// The live play module's pack, callbacks, camera lock and stream head.
#include "vqSDK/VlrRealplay/vlr_realplay.h"

#include "streams/montage.h"

namespace {

constexpr int kUser = RES_PACK_USER_REALPLAY;

// Everything a stale frame of the last stream could leave in the source.
const char* const kClearOnLock[] = {"all_que", "pano_info", "v0_que", "v1_que", "au_que", "data_que"};

} // namespace

VLR_REALPLAY::VLR_REALPLAY() = default;

VLR_REALPLAY::~VLR_REALPLAY()
{
    if (!channel_ || Pack() == nullptr || !OwnsPack()) return;
    if (state_.load() & REALPLAY_PLAYING) SendCtrl("stop", nullptr, nullptr);
    UnlockCamera();
}

bool VLR_REALPLAY::OwnsPack() const
{
    const RESPACK* pack = Pack();
    return pack != nullptr && pack->owner == kUser;
}

int VLR_REALPLAY::SetSourcePack(void* table)
{
    if (!channel_) {
        channel_ = std::make_unique<Channel>();
        state_.store(REALPLAY_MARKS);
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

int VLR_REALPLAY::SetMsgCallBack(MONT_MSG_CALLBACK callback, void* user, int32_t userValue)
{
    callbacks_.SetMessage(callback, user, userValue);
    return 1;
}

int VLR_REALPLAY::SetEventCallBack(MONT_EVENT_CALLBACK callback, void* user, int32_t userValue)
{
    callbacks_.SetEvent(callback, user, userValue);
    return 1;
}

int VLR_REALPLAY::SetStateCallBack(MONT_STATE_CALLBACK callback, void* user, int32_t userValue)
{
    callbacks_.SetState(callback, user, userValue);
    return 1;
}

int VLR_REALPLAY::SetFrameCallBack(MONT_FRAME_CALLBACK callback, void* user, int32_t userValue)
{
    if (!channel_) {
        callbacks_.Message("Not set source packet");
        return 0;
    }
    callbacks_.SetFrame(callback, user, userValue);
    return 1;
}

void VLR_REALPLAY::ReleaseCamera()
{
    Model<VLR_MODEL_PLAIN>(35)(kUser);
    Pack()->owner = RES_PACK_USER_NONE;
}

bool VLR_REALPLAY::ResetPlatform()
{
    streams::Montage& platform = *channel_->platform;
    const int source = channel_->source;
    if (platform.qn_mp_Pause(source) != 1) return false;
    // A source without an input cache refuses the cache part of a clear;
    // the rest of it is done all the same.
    for (const char* what : kClearOnLock) platform.qn_mp_Ctrl(source, "clear", what);
    if (platform.qn_mp_SetStreamCallBack(source, &VLR_REALPLAY::OnStreamFrame, this, 0) != 1) return false;
    return platform.qn_mp_Play(source) == 1;
}

int VLR_REALPLAY::LockCamera(const char* camera)
{
    RESPACK* pack = Pack();
    if (pack == nullptr || !channel_) {
        callbacks_.Message("Not set source packet");
        return 0;
    }
    if (state_.load() & REALPLAY_PLAYING) {
        callbacks_.Message("Already lock a camera and playing");
        return 0;
    }
    if (pack->owner != RES_PACK_USER_NONE && pack->owner != kUser) {
        callbacks_.Message("Already lock a camera");
        return 0;
    }
    pack->owner = kUser;
    Model<VLR_MODEL_SET_RECORD_END>(41)(kUser, &VLR_REALPLAY::OnRecordEnd, this, 0);
    if (Model<VLR_MODEL_SET_CAMERA>(34)(kUser, camera) != 1) {
        ReleaseCamera();
        callbacks_.Message("Lock a camera error");
        return 0;
    }
    if (!StartPacing()) {
        StopPacing();
        ReleaseCamera();
        callbacks_.Message("Reset stream ctrl error");
        return 0;
    }
    if (!ResetPlatform()) {
        channel_->platform->qn_mp_SetStreamCallBack(channel_->source, nullptr, nullptr, 0);
        StopPacing();
        ReleaseCamera();
        callbacks_.Message("Reset montage error");
        return 0;
    }
    heads_.Reset();
    return 1;
}

int VLR_REALPLAY::UnlockCamera()
{
    RESPACK* pack = Pack();
    if (pack == nullptr || !channel_) {
        callbacks_.Message("Not set source packet");
        return 0;
    }
    if (state_.load() & REALPLAY_PLAYING) {
        callbacks_.Message("Please close playing first");
        return 0;
    }
    if (pack->owner != kUser) {
        callbacks_.Message("Base resouce locked by other model");
        return 0;
    }
    int result = 1;
    if (Model<VLR_MODEL_PLAIN>(35)(kUser) != 1) {
        callbacks_.Message("UnlockCamera Unkock a camera error");
        result = 0;
    }
    if (!StopPacing()) {
        callbacks_.Message("Stop stream ctrl error");
        result = 0;
    }
    streams::Montage& platform = *channel_->platform;
    if (platform.qn_mp_Pause(channel_->source) != 1) {
        callbacks_.Message("Montage pause error");
        result = 0;
    }
    platform.qn_mp_Ctrl(channel_->source, "clear", "all");
    platform.qn_mp_Ctrl(channel_->source, "clear", "pano_info");
    // The source stays with the pack; this module must hear nothing more of
    // it. Taking the callback away waits for a frame still in it.
    platform.qn_mp_SetStreamCallBack(channel_->source, nullptr, nullptr, 0);
    pack->owner = RES_PACK_USER_NONE;
    return result;
}

int VLR_REALPLAY::HeadCheck()
{
    if (!OwnsPack()) {
        callbacks_.Message("Not be realplaying");
        return 0;
    }
    if (!(state_.load() & REALPLAY_PLAYING)) return 0;
    if (heads_.CurrentIndex() < 0) {
        callbacks_.Message("Not get head");
        return 0;
    }
    return 1;
}

const MontStreamHead* VLR_REALPLAY::GetStreamHead()
{
    return HeadCheck() == 1 ? heads_.Current() : nullptr;
}

int VLR_REALPLAY::CopyStreamHead(MontStreamHead* head, uint8_t* bytes, uint32_t capacity)
{
    if (HeadCheck() != 1) return 0;
    if (!heads_.CopyCurrent(head, bytes, capacity)) {
        callbacks_.Message("Not get head");
        return 0;
    }
    return 1;
}

void VLR_REALPLAY::OnRecordEnd(int32_t code, int32_t, void* owner, int32_t)
{
    if (code == 1 && owner != nullptr) static_cast<VLR_REALPLAY*>(owner)->callbacks_.Event(PLAY_EVENT_RECORD_END, nullptr);
}
