// Live play: QN_NET_StartRealPlay races the local and the public route and
// keeps the winner, QN_NET_StopRealPlay ends both, QN_NET_LocalRealPlay plays
// over the local route alone, and QN_NET_CountStreamBlocks counts what
// arrives.
#include <memory>
#include <mutex>

#include "Depend/qn_log.h"
#include "platform/clock.h"
#include "vqSDK/VlrNetSDK/media/frame_deck.h"
#include "vqSDK/VlrNetSDK/mgr_replies.h"
#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_callbacks.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/session/live_play_race.h"
#include "vqSDK/VlrNetSDK/session/play_keys.h"
#include "vqSDK/VlrNetSDK/session/play_online_check.h"
#include "vqSDK/VlrNetSDK/session/play_state.h"
#include "vqSDK/VlrNetSDK/session/play_teardown.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

using namespace qn_net;
using namespace qn_net::play;

namespace {

constexpr int64_t kLocalWinMs = 2000;
// How long the public route may still take once the local route had its
// chance; the start looks at it in short steps.
constexpr int64_t kPublicGraceMs = 4 * 500;
constexpr int64_t kPublicPollMs = 20;
constexpr int kCameraConnectTenths = 6;
constexpr int64_t kLocalAnswerWaitMs = 2000;
constexpr int kSignalled = 0;

// Ends both routes of a start that failed and leaves no thread behind.
void AbandonStart(play_session_part& sdk, std::unique_lock<std::mutex>& calls)
{
    end_public_stream(sdk);
    stop_local_route(sdk);
    finish_race(sdk, calls);
    end_public_stream(sdk);
    end_local_stream(sdk);
}

int StartFailed(play_session_part& sdk, std::unique_lock<std::mutex>& calls, int32_t code)
{
    SetLastError(code);
    AbandonStart(sdk, calls);
    return 0;
}

enum class race_outcome { local_won, public_up, failed };

// After the local route's head start: the local route when it is up, else
// the public route once it is up; looked at in short steps for at most the
// grace time, or until both routes have failed.
race_outcome AwaitRoutes(const route_race& race)
{
    for (int64_t waited = 0;; waited += kPublicPollMs) {
        {
            std::lock_guard<std::mutex> lock(race.sdk().play_mutex);
            shared_state& state = race.state_locked();
            if (state.local == kRouteUp) {
                state.publicState = kRouteRunning;
                state.route = kLocalRoute;
                return race_outcome::local_won;
            }
            if (state.publicState == kRouteUp) return race_outcome::public_up;
            if (state.publicState == kRouteFailed && state.local == kRouteFailed) return race_outcome::failed;
        }
        if (waited >= kPublicGraceMs) return race_outcome::failed;
        platform::SleepMs(kPublicPollMs);
    }
}

// The start's verdict: the local route when it won, else the public route
// when it is up and the camera on line; a start that fails ends both routes.
int Decide(const std::shared_ptr<route_race>& race, int32_t* route, std::unique_lock<std::mutex>& calls)
{
    play_session_part& sdk = race->sdk();
    race->decided.Wait(kLocalWinMs);
    switch (AwaitRoutes(*race)) {
    case race_outcome::local_won:
        end_public_stream(sdk);
        *route = kLocalRoute;
        return 1;
    case race_outcome::failed:
        return StartFailed(sdk, calls, QN_NET_ERR_TIMEOUT);
    case race_outcome::public_up:
        break;
    }
    switch (sdk.online.value()) {
    case 1: {
        std::lock_guard<std::mutex> lock(sdk.play_mutex);
        shared_state& state = race->state_locked();
        // The local route may have taken over in the meantime.
        state.route = state.local == kRouteUp ? kLocalRoute : kPublicRoute;
        *route = state.route;
        return 1;
    }
    case 0:
        return StartFailed(sdk, calls, QN_NET_ERR_CAMERA_OFFLINE);
    default:
        return StartFailed(sdk, calls, QN_NET_ERR_TIMEOUT);
    }
}

// The device the local connection goes to.
bool LocalDevice(play_session_part& sdk, uint32_t* address, int32_t* port)
{
    const local_conn& local = sdk.local;
    *address = local.peer_ipv4();
    *port = local.peer_port();
    return *address != 0 && *port != 0;
}

// A route's first or second stop in QN_NET_StopRealPlay.
void StopRoute(play_session_part& sdk, int32_t route, int pass)
{
    if (route == kPublicRoute) {
        if (end_public_stream(sdk)) {
            Trace("public QN_NET_StopRealPlay%d success", pass);
        } else {
            Trace("QN_NET_StopRealPlay%d success(video no link)", pass);
        }
    } else if (route == kLocalRoute) {
        if (end_local_stream(sdk)) {
            Trace("ipc QN_NET_StopRealPlay%d success", pass);
        } else {
            Trace("QN_NET_StopRealPlay%d success(ipc no link)", pass);
        }
    }
}

} // namespace

extern "C" int QN_NET_StartRealPlay(int32_t camera, int32_t* route)
{
    if (!connection_guard(camera)) {
        Trace("QN_NET_StartRealPlay failed(parameter error)");
        return 0;
    }
    if (route == nullptr) {
        SetLastError(QN_NET_ERR_ILLEGAL_PARAM);
        Trace("QN_NET_StartRealPlay failed(illegal param)");
        return 0;
    }
    const session_hold sdk;
    if (connection_state().load() == conn_state::local_online && current(*sdk) == current_kind::local) {
        uint32_t address = 0;
        int32_t port = 0;
        if (LocalDevice(*sdk, &address, &port) && QN_NET_LocalRealPlay(camera, address, port) == 1) {
            *route = kLocalRoute;
            return 1;
        }
        Trace("QN_NET_LocalRealPlay failed");
        return 0;
    }
    if (connection_state().load() != conn_state::mgr_online) {
        Trace("QN_NET_StartRealPlay not connect");
        return 0;
    }
    std::unique_lock<std::mutex> calls(sdk->play_calls_mutex);
    finish_race(*sdk, calls);
    end_public_stream(*sdk);
    end_local_stream(*sdk);

    mgr_conn& mgr = sdk->mgr;
    mgr.play_camera.store(camera);
    const int32_t port = advance_local_udp_port();
    QNLogPrint("%s(%d)[[global_set::local_udp_port:%d]]\n", "QN_NET_StartRealPlay", __LINE__, port);
    const auto cameraId = static_cast<uint32_t>(camera);
    if (!sdk->online.run(cameraId)) {
        SetLastError(QN_NET_ERR_TIMEOUT);
        Trace("QN_NET_StartRealPlay failed(device not online)");
        return 0;
    }

    std::shared_ptr<route_race> race;
    {
        std::lock_guard<std::mutex> lock(sdk->play_mutex);
        shared_state& state = sdk->play;
        race = std::make_shared<route_race>(sdk.held(), cameraId, ++state.generation);
        state.local = kRouteRunning;
        state.publicState = kRouteRunning;
    }
    mgr.pending().add(kLocalAddressKey, kLocalAddressKind, &race->local_address);
    if (!mgr.send(mgr_request::video_address(current_request_values(), camera, global_set().connection_value.load()),
                  &race->video_address)) {
        mgr.pending().remove(&race->video_address);
        mgr.pending().remove(&race->local_address);
        SetLastError(QN_NET_ERR_SEND);
        Trace("QN_NET_StartRealPlay failed(mgr_p2p_msg  send data failed) ");
        return 0;
    }
    sdk->video.set_camera(cameraId);
    sdk->ipc.set_camera(cameraId);
    sdk->runner.start(race);
    return Decide(race, route, calls);
}

extern "C" int QN_NET_StopRealPlay(int32_t camera)
{
    Trace("QN_NET_StopRealPlay start cameraid = %d", static_cast<int>(camera));
    if (!IsInitialised()) {
        SetLastError(QN_NET_ERR_NOT_INIT);
        Trace("QN_NET_StopRealPlay failed(use QN_NET_Init first)");
        return 0;
    }
    if (camera < 0) {
        SetLastError(QN_NET_ERR_ILLEGAL_PARAM);
        Trace("QN_NET_StopRealPlay failed(illegal param)");
        return 0;
    }
    const session_hold sdk;
    std::unique_lock<std::mutex> calls(sdk->play_calls_mutex);
    // No takeover may begin once the stop has: the race is told first.
    sdk->runner.cancel();
    const int32_t route = current_route(*sdk);
    StopRoute(*sdk, route, 1);
    stop_local_route(*sdk);
    // Whatever the connection state: a route thread left running could still
    // bring a stream up after this call returned.
    finish_race(*sdk, calls);
    sdk->online.stop();
    StopRoute(*sdk, route, 2);
    // A race that was cut short may have left the other route streaming.
    end_public_stream(*sdk);
    end_local_stream(*sdk);
    return 1;
}

extern "C" int QN_NET_LocalRealPlay(int32_t camera, uint32_t address, int32_t port)
{
    const session_hold sdk;
    std::unique_lock<std::mutex> calls(sdk->play_calls_mutex);
    finish_race(*sdk, calls);
    end_local_stream(*sdk);
    ipc_conn& ipc = sdk->ipc;
    const auto cameraId = static_cast<uint32_t>(camera);
    pending_request request("LocalRealPlay");
    ipc.set_stream(kStreamLive);
    ipc.set_camera_address(address, static_cast<uint16_t>(port));
    ipc.set_camera(cameraId);
    auto fail = [&ipc](int32_t code, const char* trace) {
        if (code != 0) SetLastError(code);
        TraceShort("%s", trace);
        ipc.close();
        return 0;
    };
    TraceShort("local connect start");
    const bool connected = ipc.make_ipc_conn(0, kCameraConnectTenths);
    TraceShort("local connect end");
    if (!connected) return fail(QN_NET_ERR_LOCAL_CONNECT, "make_ipc_conn failed");
    const real_data_registration data = CurrentRealData();
    ipc.set_data_callback(data.callback, data.value);
    if (!ipc.open_stream(cameraId, nullptr)) return fail(QN_NET_ERR_SEND, "local p2p_stun_msg send failed");
    ipc.reset_first_data();
    ipc.set_handshake_sent(true);
    if (!ipc.connect_video(cameraId, &request)) {
        ipc.remove_pending(&request);
        return fail(QN_NET_ERR_SEND, "local connect video send data failed");
    }
    const bool answered = request.event.Wait(kLocalAnswerWaitMs) == kSignalled;
    ipc.remove_pending(&request);
    if (!answered) return fail(QN_NET_ERR_TIMEOUT, "local connect_video_msg timeout");
    if (request.result != 1) {
        ipc.close_channel(cameraId);
        return fail(QN_NET_ERR_CAMERA_OFFLINE, "local play close");
    }
    std::lock_guard<std::mutex> lock(sdk->play_mutex);
    sdk->play.route = kLocalRoute;
    return 1;
}

extern "C" int QN_NET_CountStreamBlocks(int32_t seconds, QN_NET_BLOCK_COUNT_CALLBACK callback)
{
    const session_hold sdk;
    const int32_t route = current_route(*sdk);
    if (route == kLocalRoute) {
        // A camera connection counts no blocks: the callback hears so at once.
        if (callback != nullptr) callback(nullptr, -1, 0, 0, 0);
        return 1;
    }
    if (route == kPublicRoute) {
        sdk->deck.arm_block_count(seconds, callback);
        return 1;
    }
    return 0;
}
