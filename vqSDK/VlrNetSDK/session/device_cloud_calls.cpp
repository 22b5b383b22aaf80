// A camera's cloud-storage service: the server's times, the signed
// credentials, and the camera's storage state.
#include <cstdint>
#include <cstdio>
#include <string>

#include "Depend/qn_log.h"
#include "vqSDK/VlrNetSDK/md5_text.h"
#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/session/device_call.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

using namespace qn_net;
using namespace qn_net::device_call;
namespace request = qn_net::mgr_request;

namespace {

// The state answer's value that reports the change as failed.
constexpr std::size_t kStateResultAt = 8;
constexpr int32_t kStateFailed = 1;

// The times record: start, end, then the configuration text.
void PrintServerTime(const QN_NET_CLOUD_TIME& time)
{
    const std::string conf = TraceText(field_text(time.bytes + 8, sizeof time.bytes - 8));
    QNConsoleTrace("start:%d,end:%d,conf:%s\n", static_cast<int>(ReadU32(time.bytes)),
                   static_cast<int>(ReadU32(time.bytes + 4)), conf.c_str());
}

} // namespace

extern "C" int QN_NET_Clond_Storage_GetServerTime(int32_t camera, int32_t value, QN_NET_CLOUD_TIME* time)
{
    CallReport report("QN_NET_Clond_Storage_GetServerTime", "cameraid = %d", camera);
    if (!read_record(report, {"clondTime"}, camera, time, sizeof *time,
                     [&](const request_values& v) {
                         std::printf("mgr send start\n");
                         return request::cloud_get_time(v, camera, value);
                     })) {
        return 0;
    }
    PrintServerTime(*time);
    return report.Succeed();
}

extern "C" int QN_NET_Clond_Storage_GetServerTime_From_Ipc(int32_t camera, QN_NET_CLOUD_TIME* time)
{
    return read_call("QN_NET_Clond_Storage_GetServerTime_From_Ipc", {"clondTime"}, camera, time, sizeof *time,
                     [&](const request_values& v) { return request::cloud_get_time_from_camera(v, camera); });
}

extern "C" int QN_NET_Clond_Storage_GetServerSign(int32_t camera, int32_t now, QN_NET_CLOUD_SIGN* sign)
{
    return read_call("QN_NET_Clond_Storage_GetServerSign", {"ClondTime"}, camera, sign, sizeof *sign,
                     [&](const request_values& v) { return request::cloud_get_sign(v, camera, now); });
}

extern "C" int QN_NET_Clond_Storage_GetState(int32_t camera, int32_t state[4])
{
    CallReport report("QN_NET_Clond_Storage_GetState", "cameraid = %d", camera);
    if (checked_conn(report, camera, state != nullptr) == nullptr) return 0;
    // No message asks a camera for this state, so no answer can come: the
    // caller hears so at once instead of after a wait.
    return report.Fail(QN_NET_ERR_TIMEOUT, "timeout");
}

extern "C" int QN_NET_Clond_Storage_SetState(int32_t camera, int32_t value)
{
    CallReport report("QN_NET_Clond_Storage_SetState", "cameraid = %d", camera);
    const session_conn conn = checked_conn(report, camera, true);
    if (conn == nullptr) return 0;
    pending_request record("setstate");
    if (!exchange(report, *conn, request::cloud_set_state(current_request_values(), camera, value), record,
                  kCameraTimeout)) {
        return 0;
    }
    uint8_t answer[kStateResultAt + 4];
    if (!copy_answer(report, record, answer, sizeof answer)) return 0;
    if (answer_value(record, kStateResultAt) == kStateFailed) {
        // The camera refused the change: no stale code may stand for it.
        return report.FailPlain(QN_NET_ERR_NOT_SUPPORTED);
    }
    return report.Succeed();
}
