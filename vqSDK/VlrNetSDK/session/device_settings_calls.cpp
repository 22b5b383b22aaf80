// Settings and state of one camera: picture, mounting, network, time zone,
// volume, stream, firmware, talk, motion detection, Wi-Fi, TF card, alarms,
// clock and configuration. Each call is one request over the current
// connection; the reads wait for their named answer.
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

constexpr int32_t kMaxBrightness = 100;
constexpr int32_t kMaxBrightControl = 2;
constexpr int32_t kMaxNetworkType = 32;
constexpr int32_t kMaxZone = 32;
// The answer to a configuration write: its third value -1 is a refusal.
constexpr std::size_t kConfigRefusalAt = 8;

} // namespace

extern "C" int QN_NET_BrightCtrl(int32_t camera, int32_t brightness, int32_t control)
{
    const bool valid = brightness >= 0 && brightness <= kMaxBrightness && control >= 0 && control <= kMaxBrightControl;
    return send_call("QN_NET_BrightCtrl", camera, valid,
                     [&](const request_values& v) { return request::bright_ctrl(v, camera, brightness, control); });
}

extern "C" int QN_NET_Brightness(int32_t camera, int32_t* brightness, int32_t* value)
{
    CallReport report("QN_NET_Brightness", "cameraid = %d", camera);
    const session_conn conn = checked_conn(report, camera, brightness != nullptr && value != nullptr);
    if (conn == nullptr) return 0;
    pending_request record("brightness");
    if (!exchange(report, *conn, request::brightness(current_request_values(), camera), record, kCameraTimeout)) {
        return 0;
    }
    // The answer's third and fourth values.
    int32_t values[2];
    if (!copy_answer(report, record, values, sizeof values, 8, "QN_NET_Brightness hBright.str==NULL  ")) return 0;
    *brightness = values[0];
    *value = values[1];
    return report.Succeed();
}

extern "C" int QN_NET_GetInstallState(int32_t camera)
{
    return status_call("QN_NET_GetInstallState", "installtype", camera,
                       [&](const request_values& v) { return request::get_install_state(v, camera); });
}

extern "C" int QN_NET_SetInstallState(int32_t camera, int32_t type)
{
    return send_call("QN_NET_SetInstallState", camera, type >= 0,
                     [&](const request_values& v) { return request::set_install_state(v, camera, type); });
}

extern "C" int QN_NET_GetLanType(int32_t camera)
{
    return status_call("QN_NET_GetLanType", "getlan", camera,
                       [&](const request_values& v) { return request::get_lan_type(v, camera); });
}

extern "C" int QN_NET_SetLanType(int32_t camera, int32_t type)
{
    return send_call("QN_NET_SetLanType", camera, type >= 0 && type <= kMaxNetworkType,
                     [&](const request_values& v) { return request::set_lan_type(v, camera, type); });
}

extern "C" int QN_NET_GetZoneType(int32_t camera)
{
    return status_call("QN_NET_GetZoneType", "getzone", camera,
                       [&](const request_values& v) { return request::get_zone_type(v, camera); });
}

extern "C" int QN_NET_SetZoneType(int32_t camera, int32_t zone, int32_t value)
{
    return send_call("QN_NET_SetZoneType", camera, zone >= 0 && zone <= kMaxZone,
                     [&](const request_values& v) { return request::set_zone_type(v, camera, zone, value); });
}

extern "C" int QN_NET_GetVolume(int32_t camera, QN_NET_VOLUME* volume)
{
    return read_call("QN_NET_GetVolume", {"getvolume"}, camera, volume, sizeof *volume,
                     [&](const request_values& v) { return request::get_volume(v, camera); });
}

extern "C" int QN_NET_SetVolume(int32_t camera, const QN_NET_VOLUME* volume)
{
    return send_call("QN_NET_SetVolume", camera, volume != nullptr,
                     [&](const request_values& v) { return request::set_volume(v, camera, Bytes(volume)); });
}

extern "C" int QN_NET_SetStreamType(int32_t camera, int32_t type)
{
    CallReport report("QN_NET_SetStreamType", "cameraid = %d,nType = %d", camera, type);
    return send_request(report, camera, true,
                        [&](const request_values& v) { return request::set_stream_type(v, camera, type); });
}

extern "C" int QN_NET_Upgrade(int32_t mode, int32_t camera, const QN_NET_UPGRADE* upgrade)
{
    return send_call("QN_NET_Upgrade", camera, upgrade != nullptr, [&](const request_values& v) {
        return request::upgrade(v, mode, camera, upgrade->data);
    });
}

extern "C" int QN_NET_StopUpgrade(int32_t camera)
{
    return send_call("QN_NET_StopUpgrade", camera, true,
                     [&](const request_values& v) { return request::stop_upgrade(v, camera); });
}

extern "C" int QN_NET_GetTalkState(int32_t camera)
{
    CallReport report("QN_NET_GetTalkState", "cameraid = %d", camera);
    int32_t state = 0;
    if (!read_status(report, "talkstate", camera, &state,
                     [&](const request_values& v) { return request::get_talk_state(v, camera); })) {
        return -1;
    }
    Trace("QN_NET_GetTalkState success state = %ld", static_cast<long>(state));
    return state;
}

extern "C" int QN_NET_GetMotionDT(int32_t camera, QN_NET_MOTION_DETECTION* motion)
{
    return read_call("QN_NET_GetMotionDT", {"getmotiondetection"}, camera, motion, sizeof *motion,
                     [&](const request_values& v) { return request::get_motion_dt(v, camera); });
}

extern "C" int QN_NET_SetMotionDT(int32_t camera, const QN_NET_MOTION_DETECTION* motion)
{
    return send_call("QN_NET_SetMotionDT", camera, motion != nullptr,
                     [&](const request_values& v) { return request::set_motion_dt(v, camera, Bytes(motion)); });
}

extern "C" int QN_NET_GetWifiValue(int32_t camera, QN_NET_WIFI* wifi)
{
    return read_call("QN_NET_GetWifiValue", {"getwifi"}, camera, wifi, sizeof *wifi,
                     [&](const request_values& v) { return request::get_wifi(v, camera); });
}

extern "C" int QN_NET_GetTfinfo(int32_t camera, QN_NET_TF_INFO* info)
{
    // The seven values of the card state, as the answer hands them over.
    return read_call("QN_NET_GetTfinfo", {"tfinfo"}, camera, info, sizeof *info,
                     [&](const request_values& v) { return request::get_tf_info(v, camera); });
}

extern "C" int QN_NET_SetTfinfo(int32_t camera, const QN_NET_TF_INFO* info)
{
    return send_call(
        "QN_NET_SetTfinfo", camera, info != nullptr,
        [&](const request_values& v) { return request::set_tf_info(v, camera, Bytes(info)); },
        "QN_NET_SetTfinfo false");
}

extern "C" int QN_NET_SetUnit(int32_t camera, const QN_NET_UNIT* unit)
{
    return send_call(
        "QN_NET_SetUnit", camera, unit != nullptr,
        [&](const request_values& v) { return request::set_unit(v, camera, Bytes(unit)); }, "QN_NET_SetUnit false");
}

extern "C" int QN_NET_GetAlarmState(int32_t camera, int32_t alarm_type, QN_NET_ALARM_STATE* state)
{
    CallReport report("QN_NET_GetAlarmState", "cameraid = %d alarmtype= %d", camera, alarm_type);
    if (!read_record(report, {"alarmstate"}, camera, state, sizeof *state,
                     [&](const request_values& v) { return request::get_alarm_state(v, camera, alarm_type); })) {
        return 0;
    }
    Trace("QN_NET_GetAlarmState success  state = %d reserver: %d  nCamera_id:%d", state->values[0], state->values[1],
          camera);
    return 1;
}

extern "C" int QN_NET_SetAlarmState(int32_t camera, int32_t alarm_type, const QN_NET_ALARM_STATE* state)
{
    return send_call("QN_NET_SetAlarmState", camera, state != nullptr, [&](const request_values& v) {
        return request::set_alarm_state(v, camera, alarm_type, Bytes(state));
    });
}

extern "C" int QN_NET_GetSysTime(int32_t camera, QN_NET_DEVICE_TIME* time)
{
    return read_call("QN_NET_GetSysTime", {"devicetime", kLongWaitMs}, camera, time, sizeof *time,
                     [&](const request_values& v) { return request::get_sys_time(v, camera); });
}

extern "C" int QN_NET_GetConfigMsg(int32_t camera, int32_t value, QN_NET_CONFIG* config)
{
    return read_call("QN_NET_GetConfigMsg", {"getconfigmsg", kCameraTimeout, true}, camera, config, sizeof *config,
                     [&](const request_values& v) { return request::get_config(v, camera, value); });
}

extern "C" int QN_NET_SetConfigMsg(int32_t camera, const QN_NET_CONFIG* config)
{
    CallReport report("QN_NET_SetConfigMsg", "cameraid = %d", camera);
    const session_conn conn = checked_conn(report, camera, config != nullptr);
    if (conn == nullptr) return 0;
    pending_request record("setconfigmsg");
    switch (send_and_wait(*conn, request::set_config(current_request_values(), camera, Bytes(config)), record,
                          kCameraTimeout)) {
    case exchange_result::not_sent:
        return report.Fail(QN_NET_ERR_SEND, "send data failed");
    case exchange_result::timed_out:
        SetLastError(QN_NET_ERR_TIMEOUT);
        Trace("QN_NET_SetConfigMsg failed=(timeout)");
        return 0;
    case exchange_result::refused:
        SetLastError(QN_NET_ERR_NOT_SUPPORTED);
        Trace("QN_NET_SetConfigMsg failed==(timeout)");
        return 0;
    case exchange_result::answered:
        break;
    }
    uint8_t answer[kConfigRefusalAt + 4];
    if (!copy_answer(report, record, answer, sizeof answer)) return 0;
    if (answer_value(record, kConfigRefusalAt) == -1) {
        SetLastError(QN_NET_ERR_NOT_SUPPORTED);
        Trace("QN_NET_SetConfigMsg failed===(timeout)");
        return 0;
    }
    return report.Succeed();
}

extern "C" int QN_NET_GetFwParams(int32_t camera, int32_t value, QN_NET_FW_PARAMS* params)
{
    return read_call("QN_NET_GetFwParams", {"get fwparam", kCameraTimeout, true}, camera, params, sizeof *params,
                     [&](const request_values& v) { return request::get_fw_params(v, camera, value); });
}

extern "C" int QN_NET_RebootCamera(int32_t camera)
{
    return send_call("QN_NET_RebootCamera", camera, true,
                     [&](const request_values& v) { return request::reboot(v, camera); });
}

extern "C" int QN_NET_SetApPasswd(int32_t camera, QN_NET_ACCESS_POINT* access_point)
{
    // The camera's answer replaces the first 64 bytes of the record it was sent.
    constexpr std::size_t kAnswerBytes = 64;
    return read_call("QN_NET_SetApPasswd", {"set ApPassed", kCameraTimeout, true}, camera, access_point, kAnswerBytes,
                     [&](const request_values& v) { return request::set_ap_password(v, camera, Bytes(access_point)); });
}
