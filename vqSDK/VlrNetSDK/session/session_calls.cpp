// The current connection: choosing and making it (management server or a
// device on the local network), signing in, dropping it, and the calls that
// only concern the management session itself.
#include <cstdio>
#include <mutex>

#include "Depend/qn_log.h"
#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/body_writer.h"
#include "vqSDK/VlrNetSDK/media/frame_deck.h"
#include "vqSDK/VlrNetSDK/mgr_replies.h"
#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/session/heartbeats.h"
#include "vqSDK/VlrNetSDK/session/live_play_race.h"
#include "vqSDK/VlrNetSDK/session/play_keys.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

using namespace qn_net;

namespace {

constexpr int kConnectSeconds = 2;
constexpr int kConnectTenths = 5;
constexpr int64_t kLocalAddressWaitMs = 2000;

void OnPeerGone(int, void* user) { static_cast<base_conn*>(user)->peer_closed(); }

bool AttachMgrHandlers(base_conn& conn)
{
    return conn.attach(handler_record{&mgr_reply_handler, &OnPeerGone, &conn}) == 0;
}

// Ends the local connection and its heartbeat. The caller holds the local
// connection's state mutex.
void DropLocalLocked(play_session_part& sdk)
{
    local_conn& local = sdk.local;
    QNLogPrint("%s(%d) localconn->base_tcp:%d\n", "QN_NET_Base_DisConnect", __LINE__, local.socket());
    local.exit_event().Set();
    local.local_delete();
}

// A refused or failed sign-in leaves nothing behind: the socket is closed and
// unregistered and the state is back to none, so a retry starts afresh.
int SignInFailed(play_session_part& sdk, int32_t code, const char* trace)
{
    {
        std::lock_guard<std::mutex> lock(sdk.mgr.state_mutex());
        sdk.mgr.mgr_delete();
        // A local connection that is the current one stays as it is.
        if (current(sdk) == current_kind::mgr) {
            connection_state().store(conn_state::none);
            set_current(sdk, current_kind::none);
        }
    }
    SetLastError(code);
    Trace("%s", trace);
    return 0;
}

// Makes the connected `conn` the current connection in its connecting state
// and hands its socket to the management answer handler. When the receive
// thread refuses it, `drop` closes it, the state goes back to none and 12000
// is left.
template <typename Drop>
bool BecomeCurrent(play_session_part& sdk, base_conn& conn, current_kind kind, conn_state connectingState, Drop drop)
{
    set_current(sdk, kind);
    connection_state().store(connectingState);
    if (AttachMgrHandlers(conn)) return true;
    Trace("QN_NET_Base_connect failed");
    drop();
    connection_state().store(conn_state::none);
    SetLastError(QN_NET_ERR_SOCKET);
    return false;
}

int ConnectMgr(play_session_part& sdk, std::unique_lock<std::mutex>& mgrLock, std::unique_lock<std::mutex>& localLock)
{
    localLock.unlock();
    mgr_conn& mgr = sdk.mgr;
    const bool connected = mgr.connected() != mgr_conn::kClosed || mgr.connect();
    if (!connected) {
        Trace("QN_NET_Base_connect failed");
        SetLastError(QN_NET_ERR_MGR_CONNECT);
        return 0;
    }
    if (!BecomeCurrent(sdk, mgr, current_kind::mgr, conn_state::mgr_connecting, [&mgr] { mgr.mgr_delete(); })) return 0;
    // Sign-in waits for the receive thread, whose disconnect path must not
    // find this mutex held.
    mgrLock.unlock();
    if (QN_NET_Mgr_SignIn() == 0) return 0;
    connection_state().store(conn_state::mgr_online);
    return 1;
}

int ConnectLocal(play_session_part& sdk, uint32_t address, int32_t port, int32_t mark, std::unique_lock<std::mutex>& mgrLock,
                 std::unique_lock<std::mutex>& localLock)
{
    set_local_mark(sdk, mark);
    mgrLock.unlock();
    local_conn& local = sdk.local;
    if (local.is_open()) local.local_delete();  // a connection QN_NET_LocalConnect left open
    local.set_peer(address, static_cast<uint16_t>(port));
    if (!local.connect(kConnectSeconds, kConnectTenths)) {
        Trace("QN_NET_Base_connect failed");
        return 0;
    }
    if (!BecomeCurrent(sdk, local, current_kind::local, conn_state::local_connecting, [&local] { local.local_delete(); })) {
        return 0;
    }
    // The heartbeat's callbacks may call back into the SDK: it is started,
    // like every watcher is joined, with no connection lock held.
    localLock.unlock();
    heartbeats::start_local(sdk);
    local.send(mgr_request::local_connect(current_request_values(), mark));
    connection_state().store(conn_state::local_online);
    return 1;
}

} // namespace

extern "C" int QN_NET_Base_connect(int32_t type, uint32_t address, int32_t port, int32_t mark)
{
    std::printf("QN_NET_Base_connect:%d:%d,mark:%d\n", static_cast<int>(address), static_cast<int>(port),
                static_cast<int>(mark));
    Trace("QN_NET_BASE_CONN_START");
    if (!IsInitialised()) {
        SetLastError(QN_NET_ERR_NOT_INIT);
        return 0;
    }
    const session_hold sdk;
    std::unique_lock<std::mutex> mgrLock(sdk->mgr.state_mutex());
    std::unique_lock<std::mutex> localLock(sdk->local.state_mutex());
    const conn_state state = connection_state().load();
    if (current(*sdk) != current_kind::none && state == conn_state::mgr_online) {
        Trace("QN_NET_Base_connect inline");
        return 1;
    }
    if (current(*sdk) != current_kind::none && state == conn_state::local_online) {
        // A running local connection serves the request that carries its mark.
        if (local_mark(*sdk) != 0 && local_mark(*sdk) == mark) {
            Trace("QN_NET_Base_connect local inline");
            return 1;
        }
        set_local_mark(*sdk, mark);
        QNLogPrint("%s(%d)\n", "QN_NET_Base_connect", __LINE__);
        DropLocalLocked(*sdk);
        connection_state().store(conn_state::none);
        localLock.unlock();
        mgrLock.unlock();
        heartbeats::stop_local(*sdk);
        mgrLock.lock();
        localLock.lock();
    }
    int connected = 0;
    if (type == 1) {
        connected = ConnectMgr(*sdk, mgrLock, localLock);
    } else if (type == 2) {
        connected = ConnectLocal(*sdk, address, port, mark, mgrLock, localLock);
    } else {
        return 0;
    }
    if (connected == 0) return 0;
    Trace("QN_NET_Base_connect success");
    return 1;
}

extern "C" int QN_NET_Mgr_SignIn(void)
{
    Trace("QN_NET_Mgr_SignIn start");
    if (!IsInitialised()) {
        SetLastError(QN_NET_ERR_NOT_INIT);
        return 0;
    }
    const session_hold sdk;
    mgr_conn& mgr = sdk->mgr;
    pending_request record("mgrsignin");
    if (!mgr.send(mgr_request::sign_in(current_request_values()), &record)) {
        mgr.pending().remove(&record);
        return SignInFailed(*sdk, QN_NET_ERR_SEND, "QN_NET_Mgr_SignIn failed(send data failed)");
    }
    const wait_outcome outcome = await_reply(mgr.pending(), record, global_set().camera_timeout_ms.load());
    if (outcome == wait_outcome::timed_out) {
        return SignInFailed(*sdk, QN_NET_ERR_SIGN_IN, "QN_NET_Mgr_SignIn failed(timeout)");
    }
    // A closed connection, or a server that answered with a non-zero status
    // (an expired session), never accepted this one.
    if (outcome != wait_outcome::no_data || record.result != 1) {
        return SignInFailed(*sdk, QN_NET_ERR_SIGN_IN, "QN_NET_Mgr_SignIn failed(session error)");
    }
    mgr.mark_signed_in();
    Trace("QN_NET_Mgr_SignIn success");
    return 1;
}

extern "C" int QN_NET_Base_DisConnect(void)
{
    QNLogPrint("%s(%d) QN_NET_Base_DisConnect start\n", "QN_NET_Base_DisConnect", __LINE__);
    if (!IsInitialised()) {
        SetLastError(QN_NET_ERR_NOT_INIT);
        return 0;
    }
    const session_hold sdk;
    if (current(*sdk) == current_kind::none) {
        SetLastError(QN_NET_ERR_NO_LINK);
        Trace("QN_NET_Base_DisConnect baseconn==NULL");
        return 0;
    }
    const conn_state state = connection_state().load();
    if (state != conn_state::mgr_online && state != conn_state::local_online) {
        SetLastError(QN_NET_ERR_NO_LINK);
        Trace("QN_NET_Base_DisConnect failed(no link)");
        return 0;
    }
    local_conn& local = sdk->local;
    if (state == conn_state::local_online) {
        {
            std::lock_guard<std::mutex> lock(local.state_mutex());
            DropLocalLocked(*sdk);
        }
        heartbeats::stop_local(*sdk);
    } else if (local.is_open()) {
        // The management session stays; only the local connection beside it ends.
        std::lock_guard<std::mutex> lock(local.state_mutex());
        DropLocalLocked(*sdk);
        return 1;
    } else {
        std::lock_guard<std::mutex> lock(sdk->mgr.state_mutex());
        sdk->mgr.mgr_delete();
    }
    QNTestLog("%s(%d)\n", "QN_NET_Base_DisConnect", __LINE__);
    {
        std::lock_guard<std::mutex> lock(sdk->mgr.state_mutex());
        connection_state().store(conn_state::none);
    }
    // Raised once the state says so: a handler that connects again must not
    // find the dropped connection still on line.
    RaiseEvent(nullptr, QN_NET_EVENT_SERVER_LOST, 0, 0);
    QNLogPrint("%s(%d)QN_NET_Base_DisConnect success\n", "QN_NET_Base_DisConnect", __LINE__);
    return 1;
}

extern "C" int QN_NET_Camera_Mgr_DisConnect(int32_t camera)
{
    CallReport report("QN_NET_Camera_Mgr_DisConnect", "cameraid = %d", camera);
    if (!report.RequireInit()) return 0;
    if (camera < 0) return report.Fail(QN_NET_ERR_ILLEGAL_PARAM, "illegal param");
    const session_hold sdk;
    mgr_conn& mgr = sdk->mgr;
    if (mgr.connected() != mgr_conn::kSignedIn) return report.Fail(QN_NET_ERR_NO_LINK, "mgr no link");
    if (mgr.send(mgr_request::camera_disconnect(current_request_values(), camera))) return report.Succeed();
    {
        std::lock_guard<std::mutex> lock(mgr.state_mutex());
        mgr.mgr_delete();
    }
    SetLastError(QN_NET_ERR_SEND);
    Trace("QN_NET_Camera_Mgr_DisConnect false");
    return 0;
}

extern "C" int QN_NET_OnLineState(int32_t camera)
{
    CallReport report("QN_NET_OnLineState", "cameraid = %d", camera);
    if (!report.RequireInit()) return 0;
    if (camera < 0) return report.Fail(QN_NET_ERR_ILLEGAL_PARAM, "illegal param");
    const session_hold sdk;
    mgr_conn& mgr = sdk->mgr;
    if (mgr.connected() != mgr_conn::kSignedIn) return report.Fail(QN_NET_ERR_NO_LINK, "mgr no link");
    if (!mgr.send(mgr_request::online_query(current_request_values(), camera))) {
        return report.Fail(QN_NET_ERR_SEND, "send data failed");
    }
    return report.Succeed();
}

extern "C" int QN_NET_LocalConnect(int32_t camera)
{
    Trace("QN_NET_LocalConnect start");
    const session_hold sdk;
    if (current(*sdk) == current_kind::none) {
        SetLastError(QN_NET_ERR_NO_LINK);
        Trace("QN_NET_LocalConnect failed(baseconn connect first)");
        return 0;
    }
    if (!connection_guard(camera)) {
        Trace("QN_NET_LocalConnect failed(parameter error)");
        return 0;
    }
    if (connection_state().load() != conn_state::mgr_online) {
        SetLastError(QN_NET_ERR_NO_LINK);
        Trace("QN_NET_LocalConnect failed(connect type error)");
        return 0;
    }
    mgr_conn& mgr = sdk->mgr;
    mgr.play_camera.store(camera);
    advance_local_udp_port();
    // The camera's local address comes as a second answer to the
    // video-address request: wait for it before asking, or a quick server's
    // answer finds no one waiting.
    pending_request localAddress("localaddress");
    mgr.pending().add(play::kLocalAddressKey, play::kLocalAddressKind, &localAddress);
    {
        pending_request videoAddress("videoaddress");
        const bool sent = mgr.send(
            mgr_request::video_address(current_request_values(), camera, global_set().connection_value.load()),
            &videoAddress);
        mgr.pending().remove(&videoAddress);
        if (!sent) {
            mgr.pending().remove(&localAddress);
            SetLastError(QN_NET_ERR_SEND);
            Trace("QN_NET_StartRealPlay failed(mgr_p2p_msg\tsend data failed) ");
            return 0;
        }
    }
    if (await_reply(mgr.pending(), localAddress, kLocalAddressWaitMs) != wait_outcome::no_data ||
        localAddress.result != 1) {
        SetLastError(QN_NET_ERR_TIMEOUT);
        Trace("local mgr_p2plocal_msg timeout");
        return 0;
    }
    local_conn& local = sdk->local;
    std::lock_guard<std::mutex> lock(local.state_mutex());
    const local_camera_address where = last_local_camera_address();
    if (local.is_open()) local.local_delete();  // the previous call's connection
    local.set_peer(where.ipv4, static_cast<uint16_t>(where.port));
    if (!local.connect(kConnectSeconds, kConnectTenths) || !AttachMgrHandlers(local)) {
        local.local_delete();
        SetLastError(QN_NET_ERR_LOCAL_CONNECT);
        Trace("make_local_conn\tfailed");
        return 0;
    }
    return 1;
}

extern "C" int QN_NET_Logout(uint32_t user_id)
{
    CallReport report("QN_NET_Logout");
    if (!report.RequireInit()) return 0;
    if (user_id == 0) return report.Fail(QN_NET_ERR_ILLEGAL_PARAM, "illegal param");
    const session_hold held;
    play_session_part& sdk = *held;
    play::end_play_threads(sdk);
    if (sdk.mgr.connected() == mgr_conn::kSignedIn) {
        const login_values login = last_login();
        body_writer body(144);
        body.u16(0).u16(1).u32(user_id).u32(user_id).u32(0).bytes(login.token, sizeof login.token);
        if (!sdk.mgr.send(mgr_request::sign_out(body.data()))) {
            SetLastError(QN_NET_ERR_SEND);
            Trace("QN_NET_Login failed(send data failed)");
        }
    }
    if (sdk.video.playing()) {
        sdk.video.close();
        sdk.deck.reset();
    }
    if (sdk.ipc.connected()) sdk.ipc.close();
    QNLogPrint("[%s(%d)] mgrconn->mgrconn_state:%d\n", "QN_NET_Logout", __LINE__, sdk.mgr.connected());
    if (sdk.mgr.connected() == mgr_conn::kSignedIn) {
        std::lock_guard<std::mutex> lock(sdk.mgr.state_mutex());
        QNLogPrint("[%s(%d)]\n", "QN_NET_Logout", __LINE__);
        sdk.mgr.mgr_delete();
    }
    if (connection_state().load() == conn_state::local_online || sdk.local.is_open()) {
        {
            std::lock_guard<std::mutex> lock(sdk.local.state_mutex());
            QNLogPrint("[%s(%d)] localconn->base_tcp:%d\n", "QN_NET_Logout", __LINE__, sdk.local.socket());
            sdk.local.exit_event().Set();
            sdk.local.local_delete();
        }
        heartbeats::stop_local(sdk);
    }
    if (current(sdk) == current_kind::none) {
        SetLastError(QN_NET_ERR_NO_LINK);
        Trace("QN_NET_Login failed");
        return 0;
    }
    connection_state().store(conn_state::none);
    return report.Succeed();
}
