// Start-up and tear-down of the SDK, the error variable and the callbacks.
#include <cstdlib>
#include <mutex>

#include "Depend/qn_log.h"
#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/frame_pool.h"
#include "vqSDK/VlrNetSDK/process_recv.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_callbacks.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"

using namespace qn_net;

namespace {

// Init and Cleanup run one at a time.
std::mutex g_lifeMutex;

bool SignedIn()
{
    int32_t state = connection_state().load();
    return state == 3 || state == 4;
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
    global_set().local_udp_port.store(ports().udp_first.load());
    set_login_server(login_server);
    connection_state().store(0);
    if (process_recv::instance().start() != 1) {
        SetLastError(QN_NET_ERR_NO_DATA);
        QNLogPrint("%s(%d) ERROR_MEMORY_ERROR\n", "QN_NET_Init", __LINE__);
        return 0;
    }
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
    frame_pool::instance().reset();
    process_recv::instance().stop();
    connection_state().store(0);
    SetInitialised(false);
    Trace("QN_NET_Cleanup success");
    return 1;
}

extern "C" int QN_NET_GetLastError(int32_t* code)
{
    if (code != nullptr) *code = LastError();
    return 1;
}

extern "C" int QN_NET_SetMsgCallBack(QN_NET_MSG_CALLBACK callback, QN_NET_BYTE_COUNT_CALLBACK byte_count, void* user)
{
    SetEventCallbacks(callback, byte_count, user);
    return 1;
}

extern "C" int QN_NET_SetRealDataCallBack(QN_NET_REAL_DATA_CALLBACK callback, int32_t value)
{
    CallReport report("QN_NET_SetRealDataCallBack");
    if (!report.RequireInit()) return 0;
    SetRealDataCallback(callback, value);
    return report.Succeed();
}

extern "C" int QN_NET_SetDebugCallBack(QN_NET_DEBUG_CALLBACK callback)
{
    SetDebugCallback(callback);
    return 1;
}

extern "C" void QN_NET_Free(void* buffer) { frame_pool::free_buffer(buffer); }

extern "C" int QN_NET_SetServicePorts(uint16_t login_port, uint16_t udp_first, uint16_t udp_last)
{
    uint16_t first = udp_first != 0 ? udp_first : ports().udp_first.load();
    uint16_t last = udp_last != 0 ? udp_last : ports().udp_last.load();
    if (first > last) {
        SetLastError(QN_NET_ERR_ILLEGAL_PARAM);
        return 0;
    }
    if (login_port != 0) ports().login.store(login_port);
    ports().udp_first.store(first);
    ports().udp_last.store(last);
    return 1;
}
