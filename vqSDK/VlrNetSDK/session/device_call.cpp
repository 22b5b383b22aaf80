#include "vqSDK/VlrNetSDK/session/device_call.h"

#include <cstring>

#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace qn_net::device_call {

session_conn checked_conn(CallReport& report, int32_t camera, bool argumentsValid)
{
    if (!argumentsValid) {
        report.Fail(QN_NET_ERR_ILLEGAL_PARAM, "illegal param");
        return {};
    }
    if (!connection_guard(camera)) {
        report.Fail(0, "parameter error");
        return {};
    }
    // The connection may have dropped since the guard read its state.
    session_conn conn = online_conn();
    if (conn == nullptr) report.Fail(QN_NET_ERR_NO_LINK, "parameter error");
    return conn;
}

int send_only(CallReport& report, base_conn& conn, const encoded_request& request, const char* failTrace)
{
    if (conn.send(request)) return report.Succeed();
    if (failTrace == nullptr) return report.Fail(QN_NET_ERR_SEND, "send data failed");
    SetLastError(QN_NET_ERR_SEND);
    Trace("%s", failTrace);
    return 0;
}

exchange_result send_and_wait(base_conn& conn, const encoded_request& request, pending_request& record,
                              int64_t waitMs)
{
    if (!conn.send(request, &record)) {
        conn.pending().remove(&record);
        return exchange_result::not_sent;
    }
    const int64_t wait = waitMs == kCameraTimeout ? global_set().camera_timeout_ms.load() : waitMs;
    switch (await_reply(conn.pending(), record, wait)) {
    case wait_outcome::timed_out:
    case wait_outcome::closed:  // no answer can come any more: the same failure, without the wait
        return exchange_result::timed_out;
    case wait_outcome::refused:
        return exchange_result::refused;
    default:
        return exchange_result::answered;
    }
}

bool exchange(CallReport& report, base_conn& conn, const encoded_request& request, pending_request& record,
              int64_t waitMs, bool mayBeUnsupported)
{
    switch (send_and_wait(conn, request, record, waitMs)) {
    case exchange_result::not_sent:
        report.Fail(QN_NET_ERR_SEND, "send data failed");
        return false;
    case exchange_result::timed_out:
        report.Fail(QN_NET_ERR_TIMEOUT, "timeout");
        return false;
    case exchange_result::refused:
        if (mayBeUnsupported) {
            SetLastError(QN_NET_ERR_NOT_SUPPORTED);
            Trace("%s NonSupport", report.Name());
            return false;
        }
        // Only a torn-down connection wakes these waiters without an answer.
        report.Fail(QN_NET_ERR_TIMEOUT, "timeout");
        return false;
    case exchange_result::answered:
        break;
    }
    return true;
}

bool copy_answer(CallReport& report, const pending_request& record, void* out, std::size_t count,
                 std::size_t offset, const char* shortTrace)
{
    const std::size_t held = record.data != nullptr && record.length > 0 ? static_cast<std::size_t>(record.length) : 0;
    if (offset > held || count > held - offset) {
        if (shortTrace == nullptr) {
            report.Fail(QN_NET_ERR_NO_DATA, "no data");
        } else {
            SetLastError(QN_NET_ERR_NO_DATA);
            Trace("%s", shortTrace);
        }
        return false;
    }
    std::memcpy(out, record.data.get() + offset, count);
    return true;
}

int32_t answer_value(const pending_request& record, std::size_t offset)
{
    return static_cast<int32_t>(ReadU32(record.data.get() + offset));
}

} // namespace qn_net::device_call
