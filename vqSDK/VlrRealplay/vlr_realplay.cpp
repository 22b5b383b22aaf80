// The live play module's camera lock.
#include "vqSDK/VlrRealplay/vlr_realplay.h"

#include "streams/montage.h"

namespace {

constexpr int kUser = RES_PACK_USER_REALPLAY;

const realplay::NetPlayModule::Traits kTraits{
    kUser,
    REALPLAY_MARKS,
    {true, true},
    "RealCtrl",
    "Command operate error:%s",
    "Not be realplaying",
    nullptr,
};

} // namespace

VLR_REALPLAY::VLR_REALPLAY() : NetPlayModule(kTraits) {}

VLR_REALPLAY::~VLR_REALPLAY()
{
    if (!channel_ || Pack() == nullptr || !OwnsPack()) return;
    if (Playing()) SendCtrl("stop", nullptr, nullptr);
    UnlockCamera();
}

void VLR_REALPLAY::ReleaseCamera()
{
    Model<VLR_MODEL_PLAIN>(35)(kUser);
    Pack()->owner = RES_PACK_USER_NONE;
}

int VLR_REALPLAY::LockCamera(const char* camera)
{
    if (!ClaimPack()) return 0;
    Model<VLR_MODEL_SET_RECORD_END>(41)(kUser, &OnRecordEnd, Self(), 0);
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
        StopListening();
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
    if (!MayReleasePack()) return 0;
    int result = 1;
    if (Model<VLR_MODEL_PLAIN>(35)(kUser) != 1) {
        callbacks_.Message("UnlockCamera Unkock a camera error");
        result = 0;
    }
    if (!StopPacing()) {
        callbacks_.Message("Stop stream ctrl error");
        result = 0;
    }
    if (!PauseSource()) result = 0;
    // The source stays with the pack; this module must hear nothing more of
    // it.
    StopListening();
    Pack()->owner = RES_PACK_USER_NONE;
    return result;
}
