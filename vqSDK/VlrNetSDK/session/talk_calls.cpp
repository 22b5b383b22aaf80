// Two-way talk: switching it on and off at the camera, and the caller's audio
// packets, over the route of the running stream.
#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/session/play_state.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

using namespace qn_net;
using namespace qn_net::play;

namespace {

// The talk message 20277 over the current connection.
bool SendTalkCtrl(play_session_part& sdk, int32_t camera, int32_t on)
{
    base_conn* conn = online_conn(sdk);
    return conn != nullptr &&
           conn->send(mgr_request::talk_ctrl(current_request_values(), camera, static_cast<uint8_t>(on)));
}

int Fail(int32_t code, const char* trace)
{
    SetLastError(code);
    Trace("%s", trace);
    return 0;
}

} // namespace

extern "C" int QN_NET_TalkCtrl(int32_t camera, int32_t on)
{
    Trace("QN_NET_TalkCtrl start cameraid = %d bstate = %d", static_cast<int>(camera), static_cast<int>(on));
    if (!connection_guard(camera)) {
        Trace("QN_NET_GetTalkState failed(parameter error)");
        return 0;
    }
    const auto cameraId = static_cast<uint32_t>(camera);
    const session_hold sdk;
    switch (current_route(*sdk)) {
    case kLocalRoute: {
        ipc_conn& ipc = sdk->ipc;
        if (!ipc.streaming()) return Fail(QN_NET_ERR_IPC_NO_LINK, "QN_NET_TalkCtrl failed (ipc no link)");
        if (on != 0) {
            ipc.start_talk(cameraId);
        } else {
            ipc.stop_talk();
        }
        Trace("ipc  mgr_talk_ctrl start");
        if (!SendTalkCtrl(*sdk, camera, on)) return Fail(QN_NET_ERR_SEND, "ipc QN_NET_TalkCtrl failed(send data failed)");
        Trace("ipc QN_NET_TalkCtrl success");
        return 1;
    }
    case kPublicRoute: {
        video_conn& video = sdk->video;
        if (!video.playing()) return Fail(QN_NET_ERR_VIDEO_NO_LINK, "QN_NET_TalkCtrl failed (video no link)");
        if (on != 0) {
            video.start_talk(cameraId);
        } else {
            video.stop_talk();
        }
        Trace("public  mgr_talk_ctrl start");
        if (!SendTalkCtrl(*sdk, camera, on)) {
            return Fail(QN_NET_ERR_SEND, "public QN_NET_TalkCtrl failed(send data failed)");
        }
        Trace("public  QN_NET_TalkCtrl success");
        return 1;
    }
    default:
        return 1;
    }
}

extern "C" int QN_NET_SendTalkData(int32_t, const char* data, int32_t length)
{
    if (!IsInitialised()) {
        SetLastError(QN_NET_ERR_NOT_INIT);
        return 0;
    }
    if (data == nullptr || length < 0) {
        SetLastError(QN_NET_ERR_ILLEGAL_PARAM);
        return 0;
    }
    const auto bytes = static_cast<std::size_t>(length);
    const session_hold sdk;
    switch (current_route(*sdk)) {
    case kLocalRoute: {
        ipc_conn& ipc = sdk->ipc;
        if (!ipc.streaming()) return Fail(QN_NET_ERR_IPC_NO_LINK, "QN_NET_SendTalkData failed(ipc no link)");
        if (!ipc.talk_data(data, bytes)) return Fail(QN_NET_ERR_SEND, "ipc QN_NET_SendTalkData failed(send data failed)");
        return 1;
    }
    case kPublicRoute: {
        video_conn& video = sdk->video;
        if (!video.playing()) return Fail(QN_NET_ERR_VIDEO_NO_LINK, "QN_NET_SendTalkData failed(video no link)");
        if (!video.talk_data(data, bytes)) {
            return Fail(QN_NET_ERR_SEND, "public QN_NET_SendTalkData faield(send data failed)");
        }
        return 1;
    }
    default:
        return 1;
    }
}
