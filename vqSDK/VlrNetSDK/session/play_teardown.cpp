#include "vqSDK/VlrNetSDK/session/play_teardown.h"

#include "vqSDK/VlrNetSDK/media/frame_deck.h"
#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/session/play_keys.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

namespace qn_net::play {

bool send_playback_stop(play_session_part& sdk, uint32_t camera)
{
    base_conn* conn = online_conn(sdk);
    if (conn == nullptr) return false;
    const auto cam = static_cast<int32_t>(camera);
    return conn->send(mgr_request::playback(current_request_values(), cam, conn->playback(), kPlaybackStop,
                                            conn->playback_value(), 0));
}

bool end_public_stream(play_session_part& sdk)
{
    video_conn& video = sdk.video;
    if (!video.playing()) return false;
    const uint32_t camera = video.camera();
    const uint32_t type = video.stream();
    if (type == kStreamPlayback) {
        send_playback_stop(sdk, camera);
    } else {
        Trace("stop public play type = %d  cameraid = %d", static_cast<int>(type), static_cast<int>(camera));
        video.close_channel(camera);
    }
    video.close();
    sdk.deck.reset();
    return true;
}

bool end_local_stream(play_session_part& sdk)
{
    ipc_conn& ipc = sdk.ipc;
    if (!ipc.streaming()) return false;
    const uint32_t camera = ipc.camera();
    const uint32_t type = ipc.stream();
    if (type == kStreamPlayback) {
        send_playback_stop(sdk, camera);
    } else {
        Trace("stop ipc play type = %d  cameraid = %d", static_cast<int>(type), static_cast<int>(camera));
        ipc.close_channel(camera);
    }
    ipc.close();
    return true;
}

void stop_local_route(play_session_part& sdk)
{
    ipc_conn& ipc = sdk.ipc;
    if (!ipc.streaming() && connection_state().load() != conn_state::local_online) {
        sdk.mgr.pending().complete(kLocalAddressKey, 0, kLocalAddressKind, nullptr, 0);
    }
    if (ipc.streaming()) ipc.close_channel(ipc.camera());
}

} // namespace qn_net::play
