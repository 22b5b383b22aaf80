// The live pacing controller's part in the live play module. On the live
// road the hub feeds the platform directly, so the controller runs while a
// camera is locked and carries frames only when something puts them in.
#include <cstring>

#include "streams/montage.h"
#include "vqSDK/VlrRealplay/vlr_realplay.h"

bool VLR_REALPLAY::StartPacing()
{
    if (pacing_.BindQueue(channel_->queue) != 1) return false;
    pacing_.SetMsgCallBack(&OnPacingMessage, Self(), 0);
    if (pacing_.setinfo("need_cache", "n") != 1 || pacing_.setinfo("audio_run_over", "10") != 1) return false;
    pacing_.SetOutCallBack(&VLR_REALPLAY::OnPacingOutput, this, 0);
    if (pacing_.setinfo("clear_all", "") != 1) return false;
    return pacing_.Play() == 1;
}

void VLR_REALPLAY::PausePacing()
{
    pacing_.Pause();
}

void VLR_REALPLAY::ResumePacing()
{
    pacing_.Resume();
}

bool VLR_REALPLAY::StopPacing()
{
    bool done = pacing_.Stop() == 1;
    done = pacing_.setinfo("clear_all", "") == 1 && done;
    return pacing_.Release() == 1 && done;
}

// Released frames go back into the platform's source with their sync id, as
// the camera's own frames would; the controller's state frames end here.
int VLR_REALPLAY::OnPacingOutput(const uint8_t* data, uint32_t length, const QN_STREAM_OUT_RECORD* record, void* user,
                                 int32_t)
{
    auto* self = static_cast<VLR_REALPLAY*>(user);
    if (self == nullptr || record == nullptr || record->kind == nullptr || data == nullptr || length == 0) return 1;
    const bool audio = std::strcmp(record->kind, "g711a") == 0;
    if (!audio && std::strcmp(record->kind, "h264_I") != 0 && std::strcmp(record->kind, "h264_P") != 0) return 1;
    streams::Montage& platform = *self->channel_->platform;
    const int source = self->channel_->source;
    platform.SetSyncId(source, audio, record->SyncId());
    return platform.qn_mp_InputData(source, data, static_cast<int>(length),
                                    audio ? "audio_g711a_single" : "video_h264_single");
}
