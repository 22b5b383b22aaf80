// Pan-tilt: the head's status and a move, which in mode 2 also fetches the
// panorama picture through the connection's picture download. Both may go
// over the local connection whatever the current one is.
#include <cstdint>

#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/session/device_call.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

using namespace qn_net;
using namespace qn_net::device_call;
namespace request = qn_net::mgr_request;

namespace {

constexpr int32_t kFetchPanorama = 2;
// The status the call hands over: four values and a fifth.
constexpr std::size_t kStatusBytes = 20;

session_conn Route(session_conn checked, int32_t local)
{
    if (checked == nullptr || local == 0) return checked;
    return session_conn(checked.hold(), &checked.hold()->local);
}

} // namespace

extern "C" int QN_NET_PTZ_GetDevStatus(int32_t camera, int32_t value, QN_NET_PTZ_STATUS* status, int32_t local)
{
    CallReport report("QN_NET_PTZ_GetDevStatus", "cameraid = %d", camera);
    const session_conn conn = Route(checked_conn(report, camera, value != 0 && status != nullptr), local);
    if (conn == nullptr) return 0;
    pending_request record("getdevstatus");
    const encoded_request sent =
        request::ptz_get_dev_status(current_request_values(), camera, reinterpret_cast<const uint8_t*>(status));
    if (!exchange(report, *conn, sent, record, kLongWaitMs)) return 0;
    if (!copy_answer(report, record, status, kStatusBytes)) return 0;
    return report.Succeed();
}

extern "C" int QN_NET_PTZ_SetPosition(int32_t camera, const QN_NET_PTZ_POSITION* position, int32_t local)
{
    CallReport report("QN_NET_PTZ_SetPosition", "cameraid = %d", camera);
    const session_conn conn = Route(checked_conn(report, camera, position != nullptr), local);
    if (conn == nullptr) return 0;
    const encoded_request move =
        request::ptz_set_position(current_request_values(), camera, reinterpret_cast<const uint8_t*>(position));
    if (position->mode != kFetchPanorama) return send_only(report, *conn, move);

    conn->picture().arm();
    pending_request record("panorama");
    switch (send_and_wait(*conn, move, record, kLongWaitMs)) {
    case exchange_result::not_sent:
        conn->picture().set_idle();
        return report.Fail(QN_NET_ERR_SEND, "send data failed");
    case exchange_result::timed_out:
    case exchange_result::refused:
        SetLastError(QN_NET_ERR_TIMEOUT);
        Trace("QN_NET_PTZ_SetPosition download pic failed (timeout)");
        conn->picture().set_idle();
        return 0;
    case exchange_result::answered:
        break;
    }
    return report.Succeed();
}
