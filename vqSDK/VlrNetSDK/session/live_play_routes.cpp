// The two route threads of a live-play start. Each reports how far it got in
// the shared play state; the start decides between them, and a local route
// that comes up after the public one won takes the play over.
#include <mutex>

#include "Depend/qn_log.h"
#include "vqSDK/VlrNetSDK/media/frame_deck.h"
#include "vqSDK/VlrNetSDK/mgr_replies.h"
#include "vqSDK/VlrNetSDK/sdk_callbacks.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/session/live_play_race.h"
#include "vqSDK/VlrNetSDK/session/play_keys.h"
#include "vqSDK/VlrNetSDK/session/play_state.h"
#include "vqSDK/VlrNetSDK/session/play_video_server.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

namespace qn_net::play {
namespace {

constexpr int64_t kLocalAddressWaitMs = 2000;
constexpr int kCameraConnectTenths = 6;
constexpr int64_t kCameraAnswerWaitMs = 1000;
constexpr int64_t kFirstDataWaitMs = 2000;
constexpr int64_t kVideoAddressWaitMs = 1000;
constexpr int64_t kConnectVideoWaitMs = 200;
constexpr int kConnectVideoTries = 6;
constexpr int kSignalled = 0;

// --- local route ------------------------------------------------------------

void LocalFailed(route_race& race)
{
    {
        std::lock_guard<std::mutex> lock(race.sdk().play_mutex);
        if (race.current_locked()) {
            shared_state& state = race.state_locked();
            state.local = kRouteFailed;
            if (state.publicState == kRouteFailed) race.decided.Set();
        }
    }
    // No newer play can hold the camera connection yet: it starts only after
    // this thread has been joined. A camera asked for its stream is told to
    // end it before the connection goes.
    ipc_conn& ipc = race.sdk().ipc;
    if (ipc.streaming()) ipc.close_channel(race.camera);
    ipc.close();
    QNLogPrint("%s(%d) local realplay failed\n", "LocalRealPlayProc", __LINE__);
}

// The camera's first block arrived: win the race, or take over from a
// public route that won it.
void LocalUp(route_race& race)
{
    enum class verdict { stale, won, takes_over } outcome = verdict::stale;
    {
        std::lock_guard<std::mutex> lock(race.sdk().play_mutex);
        if (race.current_locked()) {
            shared_state& state = race.state_locked();
            state.local = kRouteUp;
            if (state.publicState == kRouteUp) {
                state.route = kLocalRoute;
                outcome = verdict::takes_over;
            } else {
                race.decided.Set();
                outcome = verdict::won;
            }
        }
    }
    if (outcome == verdict::won) return;
    if (outcome == verdict::stale) {
        LocalFailed(race);
        return;
    }
    // The public stream ends before the event, so no public frame follows it.
    video_conn& video = race.sdk().video;
    video.close_channel(race.camera);
    video.close();
    race.sdk().deck.reset();
    QNLogPrint("%s(%d) local realplay success  stop public realplay\n", "LocalRealPlayProc", __LINE__);
    RaiseEvent(nullptr, QN_NET_EVENT_LOCAL_ROUTE, static_cast<int32_t>(race.camera), 0);
}

bool HasLocalAddress(route_race& race)
{
    const wait_outcome outcome = await_reply(race.sdk().mgr.pending(), race.local_address, kLocalAddressWaitMs);
    if (race.cancelled.load()) return false;
    if (outcome == wait_outcome::timed_out) {
        QNLogPrint("%s(%d) local mgr_p2plocal_msg timeout\n", "LocalRealPlayProc", __LINE__);
        return false;
    }
    if (race.local_address.result != 1) {
        QNLogPrint("%s(%d) local play thread stop\n", "LocalRealPlayProc", __LINE__);
        return false;
    }
    return true;
}

bool ConnectCamera(const route_race& race)
{
    ipc_conn& ipc = race.sdk().ipc;
    ipc.set_stream(kStreamLive);
    ipc.set_camera(race.camera);
    const local_camera_address where = last_local_camera_address();
    ipc.set_camera_address(where.ipv4, static_cast<uint16_t>(where.port));
    QNLogPrint("%s(%d) local connect  start\n", "LocalRealPlayProc", __LINE__);
    const bool connected = ipc.make_ipc_conn(0, kCameraConnectTenths);
    QNLogPrint("%s(%d) local connect  end\n", "LocalRealPlayProc", __LINE__);
    if (!connected) {
        QNLogPrint("%s(%d) make_ipc_conn  failed\n", "LocalRealPlayProc", __LINE__);
        return false;
    }
    const real_data_registration data = CurrentRealData();
    ipc.set_data_callback(data.callback, data.value);
    if (!ipc.open_stream(race.camera, nullptr)) {
        QNLogPrint("%s(%d) local p2p_stun_msg send failed\n", "LocalRealPlayProc", __LINE__);
        return false;
    }
    return true;
}

bool CameraStreams(const route_race& race)
{
    ipc_conn& ipc = race.sdk().ipc;
    ipc.reset_first_data();
    ipc.set_handshake_sent(true);
    QNLogPrint("%s(%d) local connect video  start\n", "LocalRealPlayProc", __LINE__);
    pending_request request("realplaylocal");
    if (!ipc.connect_video(race.camera, &request)) {
        ipc.remove_pending(&request);
        QNLogPrint("%s(%d) local connect video send data failed\n", "LocalRealPlayProc", __LINE__);
        return false;
    }
    const bool answered = request.event.Wait(kCameraAnswerWaitMs) == kSignalled;
    QNLogPrint("%s(%d) local connect video  end\n", "LocalRealPlayProc", __LINE__);
    ipc.remove_pending(&request);
    if (race.cancelled.load()) return false;
    if (!answered) {
        QNLogPrint("%s(%d) local connect_video_msg timeout\n", "LocalRealPlayProc", __LINE__);
        SetLastError(QN_NET_ERR_TIMEOUT);
        return false;
    }
    if (request.result != 1) {
        ipc.close_channel(race.camera);
        QNLogPrint("%s(%d) local play thread close channel\n", "LocalRealPlayProc", __LINE__);
        return false;
    }
    return true;
}

bool FirstDataCame(const route_race& race)
{
    ipc_conn& ipc = race.sdk().ipc;
    ipc.first_data_event().Wait(kFirstDataWaitMs);
    if (race.cancelled.load()) return false;
    if (!ipc.first_data()) {
        Trace("local data_msg camera_id error");
        SetLastError(QN_NET_ERR_TIMEOUT);
        return false;
    }
    return true;
}

// --- public route -----------------------------------------------------------

void PublicFailed(route_race& race)
{
    {
        std::lock_guard<std::mutex> lock(race.sdk().play_mutex);
        if (race.current_locked()) {
            shared_state& state = race.state_locked();
            state.publicState = kRouteFailed;
            if (state.local == kRouteFailed) race.decided.Set();
        }
    }
    race.sdk().video.close();
    race.sdk().deck.reset();
}

void PublicUp(route_race& race)
{
    // A stopped race, or a local route that won already: this stream ends.
    bool unwanted = true;
    {
        std::lock_guard<std::mutex> lock(race.sdk().play_mutex);
        if (race.current_locked()) {
            shared_state& state = race.state_locked();
            state.publicState = kRouteUp;
            unwanted = state.local == kRouteUp;
            if (!unwanted) race.decided.Set();
        }
    }
    if (!unwanted) return;
    video_conn& video = race.sdk().video;
    video.close_channel(race.camera);
    video.close();
    race.sdk().deck.reset();
}

// Sends connect-video until the server answers; false when it never did.
bool ConnectVideo(route_race& race, const video_server& server)
{
    video_conn& video = race.sdk().video;
    pending_request request("publicrealplay");
    for (int attempt = 1; attempt <= kConnectVideoTries; ++attempt) {
        if (!video.connect_video(race.camera, &request)) {
            video.remove_pending(&request);
            Trace("public send_connect_video_msg send data failed");
            return false;
        }
        const bool signalled = request.event.Wait(kConnectVideoWaitMs) == kSignalled;
        video.remove_pending(&request);
        if (race.cancelled.load()) return false;
        if (signalled) return request.result == 1;
        Trace("public connect video timeout");
        SetLastError(QN_NET_ERR_TIMEOUT);
        if (attempt == kConnectVideoTries) return false;
        if (!video.open_stream(server.ipv4, server.port, race.camera, nullptr)) return false;
    }
    return false;
}

bool PublicConnects(route_race& race)
{
    video_conn& video = race.sdk().video;
    mgr_conn& mgr = race.sdk().mgr;
    video.set_accepting(true);
    const wait_outcome outcome = await_reply(mgr.pending(), race.video_address, kVideoAddressWaitMs);
    if (race.cancelled.load() || unanswered(outcome)) return false;
    const video_server server = video_server_in(mgr.address_area());
    video.set_stream(kStreamLive);
    if (!video.make_bind_udp()) return false;
    if (!video.open_stream(server.ipv4, server.port, race.camera, nullptr)) return false;
    // The deck takes the play before the stream is asked for, so that its
    // first key frame is not missed.
    frame_deck& deck = race.sdk().deck;
    const real_data_registration data = CurrentRealData();
    deck.set_camera(race.camera);
    deck.set_data_callback(data.callback, data.value);
    return ConnectVideo(race, server);
}

} // namespace

void local_route(const std::shared_ptr<route_race>& race)
{
    if (HasLocalAddress(*race) && ConnectCamera(*race) && CameraStreams(*race) && FirstDataCame(*race)) {
        LocalUp(*race);
        return;
    }
    LocalFailed(*race);
}

void public_route(const std::shared_ptr<route_race>& race)
{
    if (PublicConnects(*race)) {
        PublicUp(*race);
        return;
    }
    PublicFailed(*race);
}

} // namespace qn_net::play
