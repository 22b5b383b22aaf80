// Settings that travel as camera commands (one message id with a
// sub-command): guard, lens model, alarm switches, recording schedule and
// storage, tracking, and the TF-card index search.
#include <cstdint>

#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/session/device_call.h"

using namespace qn_net;
using namespace qn_net::device_call;
namespace request = qn_net::mgr_request;

namespace {

const uint8_t* Bytes(const void* record) { return static_cast<const uint8_t*>(record); }

} // namespace

extern "C" int QN_NET_GetIpcGuard(int32_t camera, QN_NET_GUARD* guard)
{
    return read_call("QN_NET_GetIpcGuard", {"get guard", kCameraTimeout, true}, camera, guard, sizeof *guard,
                     [&](const request_values& v) { return request::get_guard(v, camera); });
}

extern "C" int QN_NET_SetIpcGuard(int32_t camera, const QN_NET_GUARD* guard)
{
    return send_call("QN_NET_SetIpcGuard", camera, guard != nullptr,
                     [&](const request_values& v) { return request::set_guard(v, camera, Bytes(guard)); });
}

extern "C" int QN_NET_SetLmParam(int32_t camera, const QN_NET_LENS_MODEL* lens)
{
    return send_call("QN_NET_SetLmParam", camera, lens != nullptr,
                     [&](const request_values& v) { return request::set_lens_model(v, camera, Bytes(lens)); });
}

extern "C" int QN_NET_GetLmParam(int32_t camera, QN_NET_LENS_MODEL* lens)
{
    CallReport report("QN_NET_GetLmParam", "cameraid = %d", camera);
    if (!read_record(report, {"get lmparam"}, camera, lens, sizeof *lens,
                     [&](const request_values& v) { return request::get_lens_model(v, camera); })) {
        return 0;
    }
    Trace("QN_NET_GetLmp Success!");
    return 1;
}

extern "C" int QN_NET_SetSwitchAlarm(int32_t camera, const QN_NET_ALARM_SWITCH* alarm)
{
    return send_call("QN_NET_SetSwitchAlarm", camera, alarm != nullptr,
                     [&](const request_values& v) { return request::set_alarm_switch(v, camera, Bytes(alarm)); });
}

extern "C" int QN_NET_GetSwitchAlarm(int32_t camera, QN_NET_ALARM_SWITCH* alarm)
{
    return read_call("QN_NET_GetSwitchAlarm", {"get swalarm"}, camera, alarm, sizeof *alarm,
                     [&](const request_values& v) { return request::get_alarm_switch(v, camera); });
}

extern "C" int QN_NET_SetRecrrdTime(int32_t camera, const QN_NET_RECORD_SCHEDULE* schedule)
{
    return send_call("QN_NET_SetRecrrdTime", camera, schedule != nullptr, [&](const request_values& v) {
        return request::set_record_schedule(v, camera, Bytes(schedule));
    });
}

extern "C" int QN_NET_GetRecrrdTime(int32_t camera, QN_NET_RECORD_SCHEDULE* schedule)
{
    return read_call("QN_NET_GetRecrrdTime", {"get retime"}, camera, schedule, sizeof *schedule,
                     [&](const request_values& v) { return request::get_record_schedule(v, camera); });
}

extern "C" int QN_NET_SetRecordStorageLocation(int32_t camera, const QN_NET_STORAGE_LOCATION* location)
{
    return send_call("QN_NET_SetRecordStorageLocation", camera, location != nullptr, [&](const request_values& v) {
        return request::set_storage_location(v, camera, Bytes(location));
    });
}

extern "C" int QN_NET_GetRecordStorageLocation(int32_t camera, QN_NET_STORAGE_LOCATION* location)
{
    return read_call("QN_NET_GetRecordStorageLocation", {"get restorage"}, camera, location, sizeof *location,
                     [&](const request_values& v) { return request::get_storage_location(v, camera); });
}

extern "C" int QN_NET_SetTrackState(int32_t camera, int32_t state)
{
    return send_call("QN_NET_SetTrackState", camera, true,
                     [&](const request_values& v) { return request::set_track_state(v, camera, state); });
}

extern "C" int QN_NET_GetTrackState(int32_t camera, QN_NET_TRACK_STATE* state)
{
    CallReport report("QN_NET_GetTrackState", "cameraid = %d", camera);
    // The answer's first and third values land in the same places of the
    // record; its second is the user id the request carried.
    QN_NET_TRACK_STATE answer{};
    if (!read_record(report, {"get trackstate"}, camera, state == nullptr ? nullptr : &answer, sizeof answer,
                     [&](const request_values& v) { return request::get_track_state(v, camera); })) {
        return 0;
    }
    state->values[0] = answer.values[0];
    state->values[2] = answer.values[2];
    return report.Succeed();
}

extern "C" int QN_NET_SearchRemote(int32_t camera, const QN_NET_SEARCH_FILE* search)
{
    return send_call("QN_NET_SearchRemote", camera, search != nullptr,
                     [&](const request_values& v) { return request::search_remote(v, camera, Bytes(search)); });
}
