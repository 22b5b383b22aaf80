// The part the network play modules share: pack, callbacks, lock checks,
// stream heads and error-output switches.
#include "vqSDK/VlrRealplay/net_play_module.h"

#include <cstdio>
#include <cstring>

#include "streams/montage.h"

namespace realplay {

namespace {

// Everything a stale frame of the last stream could leave in the source.
const char* const kClearOnLock[] = {"all_que", "pano_info", "v0_que", "v1_que", "au_que", "data_que"};

bool Is(const char* text, const char* name)
{
    return std::strcmp(text, name) == 0;
}

} // namespace

NetPlayModule::NetPlayModule(const Traits& traits) : traits_(traits), state_(traits.initialState) {}

bool NetPlayModule::OwnsPack() const
{
    const RESPACK* pack = Pack();
    return pack != nullptr && pack->owner == traits_.user;
}

int NetPlayModule::SetSourcePack(void* table)
{
    if (!channel_) {
        channel_ = std::make_unique<Channel>();
        state_.store(traits_.initialState);
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

int NetPlayModule::SetMsgCallBack(MONT_MSG_CALLBACK callback, void* user, int32_t userValue)
{
    callbacks_.SetMessage(callback, user, userValue);
    return 1;
}

int NetPlayModule::SetEventCallBack(MONT_EVENT_CALLBACK callback, void* user, int32_t userValue)
{
    callbacks_.SetEvent(callback, user, userValue);
    return 1;
}

int NetPlayModule::SetStateCallBack(MONT_STATE_CALLBACK callback, void* user, int32_t userValue)
{
    callbacks_.SetState(callback, user, userValue);
    return 1;
}

int NetPlayModule::SetFrameCallBack(MONT_FRAME_CALLBACK callback, void* user, int32_t userValue)
{
    if (!channel_) {
        callbacks_.Message("Not set source packet");
        return 0;
    }
    callbacks_.SetFrame(callback, user, userValue);
    return 1;
}

bool NetPlayModule::HavePack() const
{
    if (Pack() != nullptr && channel_) return true;
    callbacks_.Message("Not set source packet");
    return false;
}

bool NetPlayModule::ClaimPack()
{
    if (!HavePack()) return false;
    RESPACK* pack = Pack();
    if (Playing()) {
        callbacks_.Message("Already lock a camera and playing");
        return false;
    }
    if (pack->owner != RES_PACK_USER_NONE && pack->owner != traits_.user) {
        callbacks_.Message("Already lock a camera");
        return false;
    }
    pack->owner = traits_.user;
    return true;
}

bool NetPlayModule::MayReleasePack()
{
    if (!HavePack()) return false;
    if (Playing()) {
        callbacks_.Message("Please close playing first");
        return false;
    }
    if (Pack()->owner != traits_.user) {
        callbacks_.Message("Base resouce locked by other model");
        return false;
    }
    return true;
}

bool NetPlayModule::PauseSource()
{
    streams::Montage& platform = *channel_->platform;
    const bool paused = platform.qn_mp_Pause(channel_->source) == 1;
    if (!paused) callbacks_.Message("Montage pause error");
    platform.qn_mp_Ctrl(channel_->source, "clear", "all");
    platform.qn_mp_Ctrl(channel_->source, "clear", "pano_info");
    return paused;
}

bool NetPlayModule::ResetPlatform()
{
    streams::Montage& platform = *channel_->platform;
    const int source = channel_->source;
    if (platform.qn_mp_Pause(source) != 1) return false;
    // A source without an input cache refuses the cache part of a clear;
    // the rest of it is done all the same.
    for (const char* what : kClearOnLock) platform.qn_mp_Ctrl(source, "clear", what);
    if (platform.qn_mp_SetStreamCallBack(source, &NetPlayModule::OnStreamFrame, Self(), 0) != 1) return false;
    return platform.qn_mp_Play(source) == 1;
}

void NetPlayModule::StopListening()
{
    channel_->platform->qn_mp_SetStreamCallBack(channel_->source, nullptr, nullptr, 0);
}

void NetPlayModule::OnStreamFrame(const uint8_t* data, int length, const streams::MontOutputFrame* frame, void* user,
                                  int)
{
    if (data == nullptr || length <= 0 || frame == nullptr || frame->kind == nullptr || user == nullptr) return;
    static_cast<NetPlayModule*>(user)->StreamFrame(data, static_cast<uint32_t>(length), *frame);
}

void NetPlayModule::TrackHead(const char* kind, const uint8_t* data, uint32_t length, streams::MontSeiInfo& sei)
{
    const int index = heads_.CurrentIndex();
    if (Is(kind, "h264_I")) {
        heads_.SwitchAtKeyFrame(index);
    } else if (Is(kind, "h264_SPS")) {
        heads_.Collect(index, HeadPart::Sps, data, length);
    } else if (Is(kind, "h264_PPS")) {
        heads_.Collect(index, HeadPart::Pps, data, length);
    } else if (Is(kind, "h264_SEI_QN")) {
        heads_.Collect(index, HeadPart::PrivateSei, data, length);
        if (streams::ParseSeiPacked(data, length, &sei) == 1) output_.MarkSeiSeen();
    }
}

int NetPlayModule::HeadCheck()
{
    if (!OwnsPack()) {
        callbacks_.Message(traits_.headNotOwnerText);
        return 0;
    }
    if (!Playing()) {
        if (traits_.headNotPlayingText != nullptr) callbacks_.Message(traits_.headNotPlayingText);
        return 0;
    }
    if (heads_.CurrentIndex() < 0) {
        callbacks_.Message("Not get head");
        return 0;
    }
    return 1;
}

const MontStreamHead* NetPlayModule::GetStreamHead()
{
    return HeadCheck() == 1 ? heads_.Current() : nullptr;
}

int NetPlayModule::CopyStreamHead(MontStreamHead* head, uint8_t* bytes, uint32_t capacity)
{
    if (HeadCheck() != 1) return 0;
    if (!heads_.CopyCurrent(head, bytes, capacity)) {
        callbacks_.Message("Not get head");
        return 0;
    }
    return 1;
}

bool NetPlayModule::IsSwitchCommand(const char* command)
{
    return Is(command, "out_ctrl_err") || Is(command, "out_queue_err") || Is(command, "out_mont_err");
}

int NetPlayModule::SwitchCommand(const char* command, const char* value)
{
    const uint32_t bit = Is(command, "out_ctrl_err") ? kOutCtrl : Is(command, "out_queue_err") ? kOutQueue : kOutMont;
    if (value != nullptr && Is(value, "y")) {
        errorOutput_.fetch_or(bit);
    } else if (value != nullptr && Is(value, "n")) {
        errorOutput_.fetch_and(~bit);
    } else {
        return CommandFailed(command);
    }
    return 1;
}

int NetPlayModule::CommandFailed(const char* command) const
{
    // The format is one of the modules' own constant texts.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    callbacks_.MessageF(traits_.commandErrorFormat, command);
#pragma GCC diagnostic pop
    return 0;
}

void NetPlayModule::OnPacingMessage(int32_t first, int32_t second, const char* text, void* user, int32_t)
{
    auto* self = static_cast<NetPlayModule*>(user);
    if (self == nullptr || text == nullptr || !(self->errorOutput_.load() & kOutCtrl)) return;
    char line[256];
    std::snprintf(line, sizeof line, "%s :: %s", self->traits_.pacingTag, text);
    self->callbacks_.Message(line, first, second);
}

void NetPlayModule::OnRecordEnd(int32_t code, int32_t, void* owner, int32_t)
{
    if (code == 1 && owner != nullptr) static_cast<NetPlayModule*>(owner)->callbacks_.Event(PLAY_EVENT_RECORD_END, nullptr);
}

} // namespace realplay
