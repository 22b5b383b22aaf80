// Start-up and tear-down of the SDK, and the callbacks that reach its connections.
#include <cstdlib>
#include <mutex>

#include "Depend/qn_log.h"
#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/frame_pool.h"
#include "vqSDK/VlrNetSDK/media/frame_deck.h"
#include "vqSDK/VlrNetSDK/process_recv.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_callbacks.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/session/heartbeats.h"
#include "vqSDK/VlrNetSDK/session/live_play_race.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"
#include "vqSDK/VlrNetSDK/session/sdk_session.h"

using namespace qn_net;

namespace {

// Init and Cleanup run one at a time.
std::mutex g_lifeMutex;

bool SignedIn()
{
    return connection_state().load() == conn_state::local_online || objects().mgr.connected() == mgr_conn::kSignedIn;
}

} // namespace

extern "C" int QN_NET_Init(const char* login_server)
{
    std::lock_guard<std::mutex> lock(g_lifeMutex);
    if (IsInitialised()) {
        QNLogPrint("%s(%d) SUCCESS\n", "QN_NET_Init", __LINE__);
        return 1;
    }
    uint32_t ipv4 = 0;
    if (login_server == nullptr || !platform::TextToIPv4(login_server, &ipv4)) {
        // Only a dotted address can be connected to; a name would fail later
        // and less clearly.
        SetLastError(QN_NET_ERR_ILLEGAL_PARAM);
        QNLogPrint("%s(%d) ERROR_ILLEGAL_PARAM\n", "QN_NET_Init", __LINE__);
        return 0;
    }
    renew_session();
    global_set().local_udp_port.store(ports().udp_first.load());
    set_login_server(login_server);
    connection_state().store(conn_state::none);
    if (process_recv::instance().start() != 1) {
        SetLastError(QN_NET_ERR_NO_DATA);
        QNLogPrint("%s(%d) ERROR_MEMORY_ERROR\n", "QN_NET_Init", __LINE__);
        return 0;
    }
    frame_deck::instance().init();
    heartbeats::start_connection_watchers();
    SetInitialised(true);
    QNLogPrint("%s(%d) SUCCESS\n", "QN_NET_Init", __LINE__);
    return 1;
}

extern "C" int QN_NET_Cleanup(void)
{
    std::lock_guard<std::mutex> lock(g_lifeMutex);
    Trace("QN_NET_Cleanup start");
    if (SignedIn()) {
        Trace("QN_NET_Cleanup failed, please logout first");
        return 0;
    }
    sdk_objects& sdk = objects();
    play::end_play_threads();
    renew_session();
    heartbeats::stop_connection_watchers();
    sdk.video.close();
    frame_deck::instance().reset();
    sdk.ipc.close();
    frame_deck::instance().stop();
    process_recv::instance().stop();
    sdk.mgr.mgr_delete();
    QNLogPrint("%s(%d) base_tcp:%d \n", "QN_NET_Cleanup", __LINE__, sdk.local.socket());
    heartbeats::stop_local();
    sdk.local.local_delete();
    frame_pool::instance().reset();
    connection_state().store(conn_state::none);
    SetInitialised(false);
    Trace("QN_NET_Cleanup success");
    return 1;
}

extern "C" int QN_NET_SetRealDataCallBack(QN_NET_REAL_DATA_CALLBACK callback, int32_t value)
{
    CallReport report("QN_NET_SetRealDataCallBack");
    if (!report.RequireInit()) return 0;
    SetRealDataCallback(callback, value);
    objects().ipc.set_data_callback(callback, value);
    if (connection_state().load() == conn_state::mgr_online) frame_deck::instance().set_data_callback(callback, value);
    return report.Succeed();
}

extern "C" int QN_NET_SetDebugCallBack(QN_NET_DEBUG_CALLBACK callback)
{
    SetDebugCallback(callback);
    frame_deck::instance().set_debug_callback(callback);
    objects().ipc.set_debug_callback(callback);
    objects().video.set_debug_callback(callback);
    return 1;
}
