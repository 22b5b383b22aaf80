// The SDK calls that need no connection: the error variable, the event
// callbacks, buffers handed to the user, and the service ports.
#include "vqSDK/VlrNetSDK/frame_pool.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_callbacks.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"

using namespace qn_net;

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
