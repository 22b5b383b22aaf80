// The request for an alarm picture. The picture itself comes afterwards in
// blocks that the connection's picture download assembles (events 1003 and
// 1005); the call only learns whether one comes.
#include <cstdint>

#include "platform/clock.h"
#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/session/device_call.h"
#include "vqSDK/VlrNetSDK/session/device_picture.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

using namespace qn_net;
using namespace qn_net::device_call;

extern "C" int QN_NET_GetAlarmPic(int32_t camera, int32_t value2, int32_t value3, int32_t value4, int32_t value5,
                                  int32_t value6)
{
    Trace("QN_NET_GetAlarmPic start cameraid = %d", camera);
    if (!connection_guard(camera)) {
        Trace("QN_NET_GetAlarmState failed(parameter error)");
        return -1;
    }
    const session_conn conn = online_conn();
    if (conn == nullptr) {
        SetLastError(QN_NET_ERR_NO_LINK);
        Trace("QN_NET_GetAlarmState failed(parameter error)");
        return -1;
    }
    alarm_picture_download& picture = conn->picture();
    if (picture_download_busy(picture, platform::MonotonicMs())) {
        SetLastError(QN_NET_ERR_ALARM_PIC_BUSY);
        Trace("QN_NET_GetAlarmPic failed (other pic downing)");
        return -1;
    }
    pending_request record("alarmpic");
    picture.arm();
    const encoded_request ask =
        mgr_request::get_alarm_pic(current_request_values(), camera, value2, value3, value4, value5, value6);
    switch (send_and_wait(*conn, ask, record, kLongWaitMs)) {
    case exchange_result::not_sent:
        SetLastError(QN_NET_ERR_SEND);
        Trace("QN_NET_GetAlarmPic failed(send data fail)");
        break;
    case exchange_result::timed_out:
    case exchange_result::refused:
        SetLastError(QN_NET_ERR_TIMEOUT);
        Trace("QN_NET_GetAlarmPic failed (timeout)");
        break;
    case exchange_result::answered:
        Trace("QN_NET_GetAlarmPic %d", record.result);
        return record.result;
    }
    picture.set_idle();
    return -1;
}
