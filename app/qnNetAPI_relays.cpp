// What the facade passes on: frames to the bound video window (audio to the
// controller's audio callback), the modules' failures as the last error, and
// hub events, panorama messages and play states under the controller's ids.
#include <cstring>

#include "Depend/qn_log.h"
#include "app/facade_rules.h"
#include "app/qnNetAPI.h"
#include "player/QNPlayer.h"

namespace {

bool Is(const char* text, const char* wanted)
{
    return text != nullptr && std::strcmp(text, wanted) == 0;
}

int64_t PackError(int32_t code, int32_t detail)
{
    return static_cast<int64_t>(static_cast<uint64_t>(static_cast<uint32_t>(detail)) << 32 |
                                static_cast<uint32_t>(code));
}

} // namespace

void qnNetAPI::SetMessageCallback(vqMessageCallback callback, void* user)
{
    std::lock_guard<std::mutex> hold(callbackMutex_);
    message_ = {callback, user};
}

void qnNetAPI::SetPlayStateCallback(vqPlayStateCallback callback, void* user)
{
    std::lock_guard<std::mutex> hold(callbackMutex_);
    playState_ = {callback, user};
}

void qnNetAPI::SetErrorCallback(vqErrorCallback callback, void* user)
{
    std::lock_guard<std::mutex> hold(callbackMutex_);
    error_ = {callback, user};
}

void qnNetAPI::SetAudioCallback(vqAudioCallback callback, void* user)
{
    std::lock_guard<std::mutex> hold(callbackMutex_);
    audio_ = {callback, user};
}

void qnNetAPI::SetStreamTickCallback(vqTickCallback callback, void* user)
{
    std::lock_guard<std::mutex> hold(callbackMutex_);
    streamTick_ = {callback, user};
}

void qnNetAPI::SetRefreshCallback(vqTickCallback callback, void* user)
{
    std::lock_guard<std::mutex> hold(callbackMutex_);
    refresh_ = {callback, user};
}

void qnNetAPI::SetFileStateCallback(vqPlayStateCallback callback, void* user)
{
    std::lock_guard<std::mutex> hold(callbackMutex_);
    fileState_ = {callback, user};
}

void qnNetAPI::Message(void* record, int32_t id)
{
    const auto slot = Take(message_);
    if (slot.function != nullptr) slot.function(record, id, 0, slot.user);
}

void qnNetAPI::OnModuleMessage(int32_t first, int32_t second, const char*, void* user, int32_t)
{
    static_cast<qnNetAPI*>(user)->lastError_ = PackError(first, second);
}

void qnNetAPI::OnHubMessage(int32_t code, int32_t value, const char*, void* user, int32_t)
{
    static_cast<qnNetAPI*>(user)->lastError_ = PackError(code, value);
}

void qnNetAPI::OnNetEvent(int32_t kind, void* data, int32_t, void* user, int32_t)
{
    auto* self = static_cast<qnNetAPI*>(user);
    if (kind == VLR_NET_NOTICE_20374) {
        if (data != nullptr) self->search_.AddFileList(data, VLR_NOTICE_20374_BYTES);
        return;
    }
    if (kind == VLR_NET_SERVER_LOST) self->serverConnected_ = 0;
    const std::optional<int32_t> id = facade::MessageOfNetEvent(kind);
    if (id) self->Message(kind == VLR_NET_SERVER_LOST ? nullptr : data, *id);
}

void qnNetAPI::OnGlMessage(void* record, int32_t, const char* item, void* user, int32_t)
{
    auto* self = static_cast<qnNetAPI*>(user);
    if (Is(item, "ptz_video") || Is(item, "ptz_move_prepare")) {
        self->Message(record, VQ_MSG_PTZ_POSITION);
    } else if (Is(item, "ptz_move") || Is(item, "ptz_goto")) {
        if (record == nullptr) return;
        float point[3];
        std::memcpy(point, record, sizeof(point));
        const bool goTo = Is(item, "ptz_goto");
        if (goTo) point[0] = facade::GotoPan(point[0]);
        QNLogPrint("%s : dPan=%.2f;dTilt=%.2f;dZoom=%.2f;\n", goTo ? "GOTO" : "MOVE", static_cast<double>(point[0]),
                   static_cast<double>(point[1]), static_cast<double>(point[2]));
        self->Message(point, goTo ? VQ_MSG_PTZ_GOTO : VQ_MSG_PTZ_MOVE);
    } else if (Is(item, "frame_time")) {
        self->Message(record, VQ_MSG_FRAME_TIME);
    }
}

void qnNetAPI::OnPlayEvent(int32_t event, int32_t zero, const char*, void* user, int32_t)
{
    if (zero != 0) return;
    auto* self = static_cast<qnNetAPI*>(user);
    if (event == PLAY_EVENT_RECORD_END) self->Message(nullptr, VQ_MSG_MP4_FRAME_CHANGED);
    if (event == PLAY_EVENT_RECORD_FRAME) self->Message(nullptr, VQ_MSG_RECORD_FRAME_WRITTEN);
}

void qnNetAPI::OnPlayState(int32_t state, int32_t second, const uint32_t*, void* user, int32_t)
{
    auto* self = static_cast<qnNetAPI*>(user);
    const auto slot = self->Take(self->playState_);
    if (slot.function != nullptr) slot.function(facade::PlayStateOf(state, second), slot.user);
}

void qnNetAPI::OnFileEvent(int32_t event, int32_t second, int64_t, void* user, int32_t)
{
    auto* self = static_cast<qnNetAPI*>(user);
    const auto slot = self->Take(self->fileState_);
    if (slot.function != nullptr) slot.function(facade::FileStateOf(event, second), slot.user);
}

int qnNetAPI::OnFrame(uint8_t* data, int32_t length, const MontFrameInfo* info, void* user, int32_t module)
{
    if (info == nullptr || user == nullptr) return 0;
    return static_cast<qnNetAPI*>(user)->RelayFrame(data, length, *info, module);
}

int qnNetAPI::RelayFrame(uint8_t* data, int32_t length, const MontFrameInfo& info, int32_t module)
{
    const char* kind = info.kind != nullptr ? info.kind : "";
    if (Is(kind, "g711a") || Is(kind, "linear_PCM")) {
        const auto slot = Take(audio_);
        if (slot.function != nullptr) slot.function(Is(kind, "g711a") ? VQ_AUDIO_G711A : VQ_AUDIO_PCM, data, length, slot.user);
        return 0;
    }
    QNPlayerFrame frame{};
    frame.kind = kind;
    if (Is(kind, "h264_I")) {
        // Read on the frame's own thread, where the head's addresses hold;
        // the module that sent the frame is the one that plays.
        const MontStreamHead* head = nullptr;
        switch (module) {
        case VQ_PLAY_LIVE: head = realplay_.GetStreamHead(); break;
        case VQ_PLAY_RECORD: head = ipcRcd_.GetStreamHead(); break;
        default: head = filePlay_.GetStreamHead(); break;
        }
        if (head != nullptr) frame.head = *head;
    }
    int result = 0;
    {
        std::lock_guard<std::recursive_mutex> hold(playerMutex_);
        if (player_ != nullptr) result = player_->inputData(data, length, &frame) ? 1 : 0;
    }
    const auto slot = Take(streamTick_);
    if (slot.function != nullptr) slot.function(1, slot.user);
    return result;
}
