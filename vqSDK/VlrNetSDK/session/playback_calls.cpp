// Recordings on a camera's memory card: the search for the files of a time
// span, and their playback over the route the running live play took, with
// its controls and its stop.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "vqSDK/VlrNetSDK/media/frame_deck.h"
#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/session/live_play_race.h"
#include "vqSDK/VlrNetSDK/session/play_keys.h"
#include "vqSDK/VlrNetSDK/session/play_state.h"
#include "vqSDK/VlrNetSDK/session/play_teardown.h"
#include "vqSDK/VlrNetSDK/session/play_video_server.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

using namespace qn_net;
using namespace qn_net::play;

namespace {

constexpr int64_t kVideoAddressWaitMs = 1000;
constexpr int kCameraConnectSeconds = 1;

// Only this all-fields test is made: a span that starts later in the year
// but earlier in the day still goes out.
bool StartsBeforeEnd(const QN_NET_TIME6& start, const QN_NET_TIME6& end)
{
    return !(start.year >= end.year && start.month >= end.month && start.day >= end.day && start.hour >= end.hour &&
             start.minute >= end.minute && start.second >= end.second);
}

playback_record RecordOf(const QN_NET_REMOTE_FILE& file)
{
    playback_record record{};
    std::copy(std::begin(file.values), std::end(file.values), record.begin());
    return record;
}

int Failed(int32_t code)
{
    if (code != 0) SetLastError(code);
    return 0;
}

// What a playback is asked for: the file and the value that go with every
// playback message, and where its frames go.
struct card_playback {
    playback_record file;
    int32_t playbackValue = 0;
    QN_NET_REAL_DATA_CALLBACK callback = nullptr;
    int32_t callbackValue = 0;
};

// The playback start; from here on the connection's playback messages
// concern this file (a playback it replaced was stopped with its own).
bool SendStart(base_conn& conn, uint32_t camera, const card_playback& request)
{
    conn.set_playback(request.file, request.playbackValue);
    return conn.send(mgr_request::playback(current_request_values(), static_cast<int32_t>(camera), request.file,
                                           kPlaybackStart, request.playbackValue, 0));
}

int PlayBackLocal(play_session_part& sdk, base_conn& conn, uint32_t camera, const card_playback& request)
{
    ipc_conn& ipc = sdk.ipc;
    end_local_stream(sdk);
    if (ipc.camera_address() == 0 || ipc.camera_port() == 0) return Failed(QN_NET_ERR_LOCAL_NO_ADDRESS);
    ipc.set_stream(kStreamPlayback);
    ipc.set_camera(camera);
    if (!ipc.make_ipc_conn(kCameraConnectSeconds, 0)) {
        ipc.close();
        return Failed(QN_NET_ERR_LOCAL_CONNECT);
    }
    // The first frames may follow the start at once.
    ipc.set_data_callback(request.callback, request.callbackValue);
    if (!ipc.open_stream(camera, nullptr)) {
        ipc.close();
        return Failed(QN_NET_ERR_SEND);
    }
    ipc.set_handshake_sent(true);
    if (!SendStart(conn, camera, request)) {
        ipc.close();
        return Failed(QN_NET_ERR_SEND);
    }
    return 1;
}

int PlayBackPublic(play_session_part& sdk, base_conn& conn, uint32_t camera, const card_playback& request)
{
    video_conn& video = sdk.video;
    frame_deck& deck = sdk.deck;
    end_public_stream(sdk);
    auto fail = [&video, &deck](int32_t code) {
        video.close();
        deck.reset();
        return Failed(code);
    };
    video.set_stream(kStreamPlayback);
    video.set_camera(camera);
    if (!video.make_bind_udp()) {
        video.close();
        return 0;
    }
    const auto cam = static_cast<int32_t>(camera);
    {
        pending_request address("remotep2p");
        if (!conn.send(mgr_request::video_address(current_request_values(), cam,
                                                  global_set().connection_value.load()),
                       &address)) {
            conn.pending().remove(&address);
            return fail(QN_NET_ERR_SEND);
        }
        const wait_outcome outcome = await_reply(conn.pending(), address, kVideoAddressWaitMs);
        if (unanswered(outcome)) return fail(QN_NET_ERR_TIMEOUT);
    }
    const video_server server = video_server_in(conn.address_area());
    if (!video.open_stream(server.ipv4, server.port, camera, nullptr)) return fail(QN_NET_ERR_SEND);
    video.set_accepting(true);
    // The first frames may follow the start at once.
    deck.set_camera(camera);
    deck.set_data_callback(request.callback, request.callbackValue);
    {
        pending_request play("remoteplay");
        if (!video.connect_video(camera, &play)) {
            video.remove_pending(&play);
            return fail(QN_NET_ERR_SEND);
        }
        const bool answered = play.event.Wait(global_set().camera_timeout_ms.load()) == 0;
        video.remove_pending(&play);
        if (!answered || play.result != 1) return fail(QN_NET_ERR_TIMEOUT);
    }
    if (!SendStart(conn, camera, request)) return fail(QN_NET_ERR_SEND);
    return 1;
}

} // namespace

extern "C" int QN_NET_SearchRemoteFile(int32_t camera, const QN_NET_SEARCH_FILE* search, QN_NET_REMOTE_FILE* files,
                                       int32_t* count)
{
    Trace("QN_NET_SearchRemoteFile start cameraid = %d", static_cast<int>(camera));
    if (!connection_guard(camera)) {
        Trace("QN_NET_Brightness failed(parameter error)");
        return 0;
    }
    if (search == nullptr || files == nullptr || count == nullptr) {
        SetLastError(QN_NET_ERR_ILLEGAL_PARAM);
        Trace("QN_NET_SearchRemoteFile failed(illegal param)");
        return 0;
    }
    if (!StartsBeforeEnd(search->start, search->end)) {
        SetLastError(QN_NET_ERR_ILLEGAL_PARAM);
        Trace("QN_NET_SearchRemoteFile failed(illegal param2)");
        return 0;
    }
    const session_conn conn = online_conn();
    if (conn == nullptr) return Failed(QN_NET_ERR_NO_LINK);
    uint8_t record[sizeof(QN_NET_SEARCH_FILE)];
    std::memcpy(record, search, sizeof record);
    pending_request request("remotefile");
    if (!conn->send(mgr_request::search_remote_file(current_request_values(), camera, record), &request)) {
        conn->pending().remove(&request);
        SetLastError(QN_NET_ERR_SEND);
        Trace("public QN_NET_SearchRemoteFile  failed(send data failed)");
        return 0;
    }
    const wait_outcome outcome = await_reply(conn->pending(), request, 2 * int64_t{global_set().camera_timeout_ms.load()});
    if (unanswered(outcome)) {
        Trace("public QN_NET_SearchRemoteFile failed(timeout)");
        SetLastError(QN_NET_ERR_TIMEOUT);
        return 0;
    }
    // The camera's count is only a claim: never more records than arrived,
    // nor than the caller's page holds.
    const int32_t arrived = request.length / static_cast<int32_t>(sizeof(QN_NET_REMOTE_FILE));
    const int32_t copied = std::max(0, std::min({request.result, arrived, int32_t{QN_NET_REMOTE_FILES_PER_PAGE}}));
    if (copied > 0) std::memcpy(files, request.data.get(), static_cast<std::size_t>(copied) * sizeof(QN_NET_REMOTE_FILE));
    *count = copied;
    Trace("public QN_NET_SearchRemoteFile  success  count = %d", static_cast<int>(copied));
    return 1;
}

extern "C" int QN_NET_PlayBack(int32_t camera, const QN_NET_REMOTE_FILE* file, QN_NET_REAL_DATA_CALLBACK callback,
                               int32_t playback_value, int32_t callback_value)
{
    CallReport report("QN_NET_PlayBack", " start cameraid = %d", static_cast<int>(camera));
    if (!connection_guard(camera)) return report.Fail(0, "parameter error");
    if (file == nullptr) return report.Fail(QN_NET_ERR_ILLEGAL_PARAM, "illegal param");
    const session_hold sdk;
    base_conn* conn = online_conn(*sdk);
    if (conn == nullptr) return report.Fail(QN_NET_ERR_NO_LINK, "no link");
    const card_playback request{RecordOf(*file), playback_value, callback, callback_value};

    std::unique_lock<std::mutex> calls(sdk->play_calls_mutex);
    // A live-play race still under way would fight over the connections.
    finish_race(*sdk, calls);
    const auto cameraId = static_cast<uint32_t>(camera);
    int result = 1;
    switch (current_route(*sdk)) {
    case kLocalRoute:
        result = PlayBackLocal(*sdk, *conn, cameraId, request);
        break;
    case kPublicRoute:
        result = PlayBackPublic(*sdk, *conn, cameraId, request);
        break;
    default:
        break;
    }
    return result == 1 ? report.Succeed() : report.Fail(0, "stream not opened");
}

extern "C" int QN_NET_PlayBackControl(int32_t camera, int32_t control, int32_t value)
{
    Trace("QN_NET_PlayBackControl start cameraid = %d ctrl = %d ctrlvalue = %d", static_cast<int>(camera),
          static_cast<int>(control), static_cast<int>(value));
    if (!connection_guard(camera)) {
        Trace("QN_NET_Brightness failed(parameter error)");
        return 0;
    }
    const session_conn conn = online_conn();
    int result = 0;
    if (conn != nullptr) {
        const auto request = mgr_request::playback_control(current_request_values(), camera, conn->playback(),
                                                           conn->playback_value(), control, value);
        if (request) result = conn->send(*request) ? 1 : 0;
    }
    Trace("QN_NET_PlayBackControl end = %d", result);
    return result;
}

extern "C" int QN_NET_StopPlayBack(int32_t camera)
{
    Trace("QN_NET_StopPlayBack start cameraid = %d", static_cast<int>(camera));
    if (!connection_guard(camera)) {
        Trace("QN_NET_StopPlayBack failed(parameter error)");
        return 0;
    }
    const session_hold sdk;
    std::lock_guard<std::mutex> calls(sdk->play_calls_mutex);
    const bool sent = send_playback_stop(*sdk, static_cast<uint32_t>(camera));
    if (!sent) {
        SetLastError(QN_NET_ERR_SEND);
        Trace("QN_NET_StopPlayBack failed(send data failed)");
    }
    // The stream ends here even when the camera could not be told: the
    // caller may free what its callback uses once this returns.
    const int32_t route = current_route(*sdk);
    if (route == kLocalRoute) {
        ipc_conn& ipc = sdk->ipc;
        if (ipc.connected()) ipc.close_channel(ipc.camera());
        ipc.close();
        if (sent) Trace("ipc QN_NET_StopPlayBack  success");
    } else if (route == kPublicRoute) {
        video_conn& video = sdk->video;
        if (video.playing()) video.close_channel(video.camera());
        video.close();
        sdk->deck.reset();
        if (sent) Trace("public QN_NET_StopPlayBack  success");
    }
    return sent ? 1 : 0;
}
