// The TF-card play module's pack, callbacks, camera lock and stream head.
#include "vqSDK/VlrIPCRcd/vlr_ipc_rcd.h"

#include "streams/montage.h"

namespace {

constexpr int kUser = RES_PACK_USER_IPCRCD;

const realplay::NetPlayModule::Traits kTraits{
    kUser,
    IPCRCD_MARKS,
    {false, false},
    "PlayCtrl",
    "Command operate error(%s)",
    "Unkock a camera error",
    "Not be playing",
};

} // namespace

VlrIPCRcd::VlrIPCRcd(const platform::Clock& clock) : NetPlayModule(kTraits), pacing_(clock) {}

VlrIPCRcd::~VlrIPCRcd()
{
    if (channel_ && Pack() != nullptr && OwnsPack()) {
        if (Playing()) SendCtrl("stop", nullptr, nullptr);
        UnlockCamera();
    }
    pacing_.Release();
}

void VlrIPCRcd::ReleaseCamera()
{
    Model<VLR_MODEL_SET_PLAYBACK_DATA>(12)(kUser, nullptr, nullptr, 0);
    Model<VLR_MODEL_PLAIN>(3)(kUser);
    Pack()->owner = RES_PACK_USER_NONE;
}

bool VlrIPCRcd::StartPacing()
{
    if (pacing_.BindQueue(channel_->queue) != 1) return false;
    pacing_.SetMsgCallBack(&OnPacingMessage, Self(), 0);
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
    if (!ClaimPack()) return 0;
    Model<VLR_MODEL_SET_RECORD_END>(11)(kUser, &OnRecordEnd, Self(), 0);
    Model<VLR_MODEL_SET_PLAYBACK_DATA>(12)(kUser, &VlrIPCRcd::OnPlaybackData, this, 0);
    if (Model<VLR_MODEL_SET_CAMERA>(2)(kUser, camera) != 1) {
        ReleaseCamera();
        callbacks_.Message("Lock a camera error");
        return 0;
    }
    if (!ResetPlatform()) {
        StopListening();
        ReleaseCamera();
        callbacks_.Message("Reset montage error");
        return 0;
    }
    if (!StartPacing()) {
        StopPacing();
        StopListening();
        ReleaseCamera();
        callbacks_.Message("Reset stream ctrl error");
        return 0;
    }
    heads_.Reset();
    return 1;
}

int VlrIPCRcd::UnlockCamera()
{
    if (!MayReleasePack()) return 0;
    int result = 1;
    // No frame of this camera is queued once the hub forgets the callback.
    Model<VLR_MODEL_SET_PLAYBACK_DATA>(12)(kUser, nullptr, nullptr, 0);
    if (Model<VLR_MODEL_PLAIN>(3)(kUser) != 1) {
        callbacks_.Message("Unkock a camera error");
        result = 0;
    }
    if (!PauseSource()) result = 0;
    if (!StopPacing()) {
        callbacks_.Message("Stop stream ctrl error");
        result = 0;
    }
    // The source stays with the pack; this module must hear nothing more of
    // it.
    StopListening();
    Pack()->owner = RES_PACK_USER_NONE;
    return result;
}
