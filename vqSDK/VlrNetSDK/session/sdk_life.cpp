// Start-up and tear-down of the SDK, and the callbacks that reach its connections.
#include <cstdlib>
#include <mutex>

#include "Depend/qn_log.h"
#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_callbacks.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/session/heartbeats.h"
#include "vqSDK/VlrNetSDK/session/live_play_race.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

using namespace qn_net;

namespace {

// Init and Cleanup run one at a time.
std::mutex g_lifeMutex;

bool SignedIn(play_session_part& sdk)
{
    return connection_state().load() == conn_state::local_online || sdk.mgr.connected() == mgr_conn::kSignedIn;
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
    // Whatever a call made outside a session left in the stand-in goes with it.
    end_session(renew_session());
    global_set().local_udp_port.store(ports().udp_first.load());
    set_login_server(login_server);
    connection_state().store(conn_state::none);
    const session_hold sdk;
    if (sdk.held()->receiver.start() != 1) {
        SetLastError(QN_NET_ERR_NO_DATA);
        QNLogPrint("%s(%d) ERROR_MEMORY_ERROR\n", "QN_NET_Init", __LINE__);
        return 0;
    }
    sdk->deck.init();
    heartbeats::start_connection_watchers(*sdk);
    SetInitialised(true);
    QNLogPrint("%s(%d) SUCCESS\n", "QN_NET_Init", __LINE__);
    return 1;
}

extern "C" int QN_NET_Cleanup(void)
{
    std::lock_guard<std::mutex> lock(g_lifeMutex);
    Trace("QN_NET_Cleanup start");
    session_ref ended = session();
    {
        play_session_part& sdk = play_part(*ended);
        if (SignedIn(sdk)) {
            Trace("QN_NET_Cleanup failed, please logout first");
            return 0;
        }
        play::end_play_threads(sdk);
        QNLogPrint("%s(%d) base_tcp:%d \n", "QN_NET_Cleanup", __LINE__, sdk.local.socket());
    }
    // Calls from here on fail at once instead of starting on the next session.
    SetInitialised(false);
    ended.reset();
    // The session ends whole here: its watchers, streams, deck, receive
    // thread and connections, in the order its members are declared in.
    end_session(renew_session());
    connection_state().store(conn_state::none);
    Trace("QN_NET_Cleanup success");
    return 1;
}

extern "C" int QN_NET_SetRealDataCallBack(QN_NET_REAL_DATA_CALLBACK callback, int32_t value)
{
    CallReport report("QN_NET_SetRealDataCallBack");
    if (!report.RequireInit()) return 0;
    SetRealDataCallback(callback, value);
    const session_hold sdk;
    sdk->ipc.set_data_callback(callback, value);
    if (connection_state().load() == conn_state::mgr_online) sdk->deck.set_data_callback(callback, value);
    return report.Succeed();
}

extern "C" int QN_NET_SetDebugCallBack(QN_NET_DEBUG_CALLBACK callback)
{
    SetDebugCallback(callback);
    const session_hold sdk;
    sdk->deck.set_debug_callback(callback);
    sdk->ipc.set_debug_callback(callback);
    sdk->video.set_debug_callback(callback);
    return 1;
}
