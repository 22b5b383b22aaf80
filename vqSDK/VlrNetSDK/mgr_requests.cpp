#include "vqSDK/VlrNetSDK/mgr_requests.h"

#include <cstring>

#include "vqSDK/VlrNetSDK/body_writer.h"
#include "vqSDK/VlrNetSDK/camera_command.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"

namespace qn_net {

request_values current_request_values()
{
    request_values v;
    login_values login = last_login();
    v.user = global_set().user_id.load();
    v.login_number = login.login_number;
    v.last_id = last_id();
    v.mgr_ipv4 = login.mgr_ipv4;
    v.login_server_ipv4 = login_server_ipv4();
    v.local_udp_port = static_cast<uint16_t>(global_set().local_udp_port.load());
    std::memcpy(v.token, login.token, sizeof v.token);
    return v;
}

namespace mgr_request {
namespace {

constexpr uint32_t kProtocolMark = 0x00010001u;
constexpr int32_t kNoReply = -1;

uint32_t Cam(int32_t camera) { return static_cast<uint32_t>(camera); }

encoded_request Make(uint32_t msgId, int32_t keyCamera, int32_t kind, body_writer& body)
{
    return encoded_request{msgId, keyCamera, kind, body.take()};
}

// CAM and U, the head of most requests.
body_writer Head(std::size_t size, const request_values& v, int32_t camera)
{
    body_writer body(size);
    body.u32(Cam(camera)).u32(v.user);
    return body;
}

// CAM, U, L and T.
body_writer LongHead(std::size_t size, const request_values& v, int32_t camera)
{
    body_writer body = Head(size, v, camera);
    body.u32(v.login_number).u32(v.last_id);
    return body;
}

// A request of CAM and U alone.
encoded_request Query(uint32_t msgId, std::size_t size, int32_t kind, const request_values& v, int32_t camera)
{
    body_writer body = Head(size, v, camera);
    return Make(msgId, camera, kind, body);
}

encoded_request CameraCommand(uint32_t msgId, uint32_t subCommand, int32_t kind, int32_t camera,
                              const body_writer& inner, bool withCopy = true)
{
    encoded_request request;
    request.msg_id = msgId;
    request.key_camera = camera;
    request.kind = kind;
    const uint8_t* payload = inner.data();
    request.body = camera_command_body(Cam(camera), ReadU32(payload + 4), subCommand, payload, inner.size(), withCopy);
    return request;
}

// The inner payload of a camera command: CAM and U, then what follows.
body_writer Inner(std::size_t size, const request_values& v, int32_t camera) { return Head(size, v, camera); }

// A camera command of CAM and U alone, padded to `size`.
encoded_request CameraQuery(uint32_t msgId, uint32_t subCommand, int32_t kind, std::size_t size, const request_values& v,
                            int32_t camera)
{
    return CameraCommand(msgId, subCommand, kind, camera, Inner(size, v, camera));
}

// A camera command that carries one value after CAM and U.
encoded_request CameraValue(uint32_t msgId, uint32_t subCommand, int32_t kind, const request_values& v, int32_t camera,
                            int32_t value)
{
    body_writer inner = Inner(220, v, camera);
    inner.u32(static_cast<uint32_t>(value));
    return CameraCommand(msgId, subCommand, kind, camera, inner);
}

// A camera command that carries the caller's record of `size` bytes; its
// first 8 (camera and user) are the command's own.
encoded_request CameraRecord(uint32_t subCommand, int32_t kind, const request_values& v, int32_t camera,
                             const uint8_t* record, std::size_t size)
{
    body_writer inner = Inner(size, v, camera);
    inner.bytes(record + 8, size - 8);
    return CameraCommand(20400, subCommand, kind, camera, inner);
}

} // namespace

encoded_request bright_ctrl(const request_values& v, int32_t camera, int32_t brightness, int32_t control)
{
    body_writer body = Head(16, v, camera);
    body.u32(static_cast<uint32_t>(brightness)).u32(static_cast<uint32_t>(control));
    return Make(20249, camera, kNoReply, body);
}

encoded_request brightness(const request_values& v, int32_t camera) { return Query(20282, 16, 2, v, camera); }
encoded_request get_install_state(const request_values& v, int32_t camera) { return Query(20333, 8, 13, v, camera); }

encoded_request set_install_state(const request_values& v, int32_t camera, int32_t type)
{
    body_writer body = Head(16, v, camera);
    body.u32(static_cast<uint32_t>(type));
    return Make(20334, camera, kNoReply, body);
}

encoded_request get_lan_type(const request_values& v, int32_t camera) { return Query(20335, 8, 14, v, camera); }

encoded_request set_lan_type(const request_values& v, int32_t camera, int32_t type)
{
    body_writer body = Head(12, v, camera);
    body.u32(static_cast<uint32_t>(type));
    return Make(20336, camera, kNoReply, body);
}

encoded_request set_zone_type(const request_values& v, int32_t camera, int32_t zone, int32_t value)
{
    body_writer body = Head(20, v, camera);
    body.u32(static_cast<uint32_t>(zone)).u32(static_cast<uint32_t>(value));
    return Make(20338, camera, kNoReply, body);
}

encoded_request get_zone_type(const request_values& v, int32_t camera) { return Query(20337, 8, 15, v, camera); }
encoded_request get_volume(const request_values& v, int32_t camera) { return Query(20324, 8, 10, v, camera); }

encoded_request set_stream_type(const request_values& v, int32_t camera, int32_t type)
{
    body_writer body = Head(24, v, camera);
    body.u32(2).u32(static_cast<uint32_t>(type));
    return Make(20317, camera, kNoReply, body);
}

encoded_request upgrade(const request_values& v, int32_t mode, int32_t camera, const uint8_t* data16)
{
    body_writer body(36);
    body.u32(Cam(camera)).u32(v.login_number).u32(static_cast<uint32_t>(mode));
    if (mode == 2 && data16 != nullptr) body.bytes(data16, 16);
    return Make(20314, camera, kNoReply, body);
}

encoded_request stop_upgrade(const request_values& v, int32_t camera)
{
    body_writer body(12);
    body.u32(Cam(camera)).u32(v.login_number);
    return Make(20342, camera, kNoReply, body);
}

encoded_request get_talk_state(const request_values& v, int32_t camera)
{
    body_writer body = Head(24, v, camera);
    body.u32(1);
    return Make(20275, camera, 5, body);
}

encoded_request set_volume(const request_values& v, int32_t camera, const uint8_t* record16)
{
    body_writer body = Head(24, v, camera);
    body.bytes(record16, 16);
    return Make(20329, camera, kNoReply, body);
}

encoded_request get_motion_dt(const request_values& v, int32_t camera) { return Query(20250, 8, 16, v, camera); }

encoded_request set_motion_dt(const request_values& v, int32_t camera, const uint8_t* record68)
{
    body_writer body = Head(76, v, camera);
    body.bytes(record68, 68);
    return Make(20252, camera, kNoReply, body);
}

encoded_request get_wifi(const request_values& v, int32_t camera) { return Query(20326, 8, 11, v, camera); }
encoded_request get_tf_info(const request_values& v, int32_t camera) { return Query(20330, 8, 12, v, camera); }

encoded_request ptz_get_dev_status(const request_values& v, int32_t camera, const uint8_t* record12)
{
    body_writer body = Head(20, v, camera);
    body.bytes(record12, 12);
    return Make(20344, camera, 17, body);
}

encoded_request ptz_set_position(const request_values& v, int32_t camera, const uint8_t* record20)
{
    body_writer body = Head(52, v, camera);
    body.bytes(record20, 20);
    return Make(20343, camera, ReadU32(record20) == 2 ? 6 : kNoReply, body);
}

encoded_request get_alarm_pic(const request_values& v, int32_t camera, int32_t a2, int32_t a3, int32_t a4, int32_t a5,
                              int32_t a6)
{
    body_writer body = LongHead(44, v, camera);
    body.u32(0)
        .u32(static_cast<uint32_t>(a2))
        .u32(static_cast<uint32_t>(a5))
        .u32(static_cast<uint32_t>(a6))
        .u32(1)
        .u32(static_cast<uint32_t>(a3))
        .u32(static_cast<uint32_t>(a4));
    return Make(20322, camera, 6, body);
}

encoded_request heartbeat(const request_values& v)
{
    body_writer body(8);
    body.u32(v.user);
    return Make(1, 0, kNoReply, body);
}

encoded_request search_remote_file(const request_values& v, int32_t camera, const uint8_t* search52)
{
    body_writer body = LongHead(68, v, camera);
    body.bytes(search52, 52);
    return Make(20226, camera, 3, body);
}

encoded_request playback(const request_values& v, int32_t camera, const playback_record& record, int32_t command,
                         int32_t playbackValue, int32_t controlValue)
{
    uint8_t bytes[164];
    for (std::size_t i = 0; i < record.size(); ++i) WriteU32(bytes + 4 * i, static_cast<uint32_t>(record[i]));
    body_writer body = LongHead(188, v, camera);
    body.u32(static_cast<uint32_t>(wire_playback_command(command)))
        .u32(0)
        .bytes(bytes + 4, 108)
        .bytes(bytes + 116, 48)
        .u32(static_cast<uint32_t>(playbackValue))
        .u32(static_cast<uint32_t>(controlValue));
    return Make(20241, camera, kNoReply, body);
}

std::optional<encoded_request> playback_control(const request_values& v, int32_t camera, const playback_record& record,
                                                int32_t playbackValue, int32_t control, int32_t value)
{
    switch (control) {
    case 0:
    case 1:
        return playback(v, camera, record, control == 0 ? 0 : 1, playbackValue, 0);
    case 2:
    case 3:
        return playback(v, camera, record, control, playbackValue, value);
    case 4:
        return playback(v, camera, seek_playback_record(record, value), 4, playbackValue, 0);
    default:
        return std::nullopt;
    }
}

encoded_request record_message(const request_values& v, int32_t camera, const uint8_t* record108)
{
    body_writer body = LongHead(124, v, camera);
    body.bytes(record108, 108);
    return Make(0, camera, kNoReply, body);
}

encoded_request set_alarm_state(const request_values& v, int32_t camera, int32_t value, const uint8_t* record16)
{
    body_writer body = LongHead(40, v, camera);
    body.u32(static_cast<uint32_t>(value)).seek(24).bytes(record16, 16);
    return Make(20304, camera, kNoReply, body);
}

encoded_request get_sys_time(const request_values& v, int32_t camera) { return Query(20346, 8, 18, v, camera); }

encoded_request get_alarm_state(const request_values& v, int32_t camera, int32_t value)
{
    body_writer body = LongHead(24, v, camera);
    body.u32(static_cast<uint32_t>(value));
    return Make(20305, camera, 4, body);
}

encoded_request get_config(const request_values& v, int32_t camera, int32_t value)
{
    body_writer body = Head(12, v, camera);
    body.u32(static_cast<uint32_t>(value));
    return Make(20352, camera, 19, body);
}

encoded_request set_config(const request_values& v, int32_t camera, const uint8_t* record116)
{
    body_writer body = Head(124, v, camera);
    body.bytes(record116, 116);
    return Make(20348, camera, 20, body);
}

encoded_request set_tf_info(const request_values& v, int32_t camera, const uint8_t* record16)
{
    body_writer body = Head(16, v, camera);
    body.bytes(record16 + 8, 8);
    return Make(20350, camera, kNoReply, body);
}

encoded_request set_unit(const request_values& v, int32_t camera, const uint8_t* record20)
{
    body_writer body = Head(20, v, camera);
    body.bytes(record20 + 8, 12);
    return Make(20354, camera, kNoReply, body);
}

encoded_request talk_ctrl(const request_values& v, int32_t camera, uint8_t control)
{
    body_writer body = Head(24, v, camera);
    body.u32(1).u32(control);
    return Make(20277, camera, kNoReply, body);
}

encoded_request local_connect(const request_values&, int32_t camera)
{
    body_writer body(20);
    body.u32(Cam(camera));
    return Make(20364, camera, kNoReply, body);
}

encoded_request reboot(const request_values& v, int32_t camera) { return Query(20274, 8, kNoReply, v, camera); }

encoded_request set_ap_password(const request_values&, int32_t camera, const uint8_t* record72)
{
    body_writer body(72);
    body.u32(Cam(camera)).bytes(record72 + 4, 68);
    return Make(20368, camera, 21, body);
}

encoded_request get_fw_params(const request_values& v, int32_t camera, int32_t value)
{
    body_writer body = Head(12, v, camera);
    body.u32(static_cast<uint32_t>(value));
    return Make(20357, camera, 33, body);
}

encoded_request get_guard(const request_values& v, int32_t camera)
{
    return CameraCommand(20400, 20371, 22, camera, Inner(8, v, camera), false);
}

encoded_request set_guard(const request_values& v, int32_t camera, const uint8_t* record156)
{
    return CameraRecord(20370, 23, v, camera, record156, 124);
}

encoded_request cloud_get_sign(const request_values& v, int32_t camera, int32_t value)
{
    return CameraValue(20402, 90001, 24, v, camera, value);
}

encoded_request search_remote(const request_values& v, int32_t camera, const uint8_t* search52)
{
    body_writer inner = Inner(68, v, camera);
    inner.u32(v.login_number).u32(v.last_id).bytes(search52, 52);
    return CameraCommand(20400, 20373, kNoReply, camera, inner);
}

encoded_request cloud_get_time(const request_values& v, int32_t camera, int32_t value)
{
    return CameraValue(20402, 90004, 26, v, camera, value);
}

encoded_request cloud_get_time_from_camera(const request_values& v, int32_t camera)
{
    return CameraQuery(20400, 93001, 27, 220, v, camera);
}

encoded_request cloud_set_state(const request_values& v, int32_t camera, int32_t value)
{
    return CameraValue(20400, 93003, 29, v, camera, value);
}

encoded_request set_lens_model(const request_values& v, int32_t camera, const uint8_t* record100)
{
    // Only the first 28 bytes of the lens record go to the camera.
    body_writer inner = Inner(100, v, camera);
    inner.bytes(record100 + 8, 28);
    return CameraCommand(20400, 20381, kNoReply, camera, inner);
}

encoded_request get_lens_model(const request_values& v, int32_t camera)
{
    return CameraQuery(20400, 20382, 30, 8, v, camera);
}

encoded_request set_alarm_switch(const request_values& v, int32_t camera, const uint8_t* record152)
{
    return CameraRecord(20375, kNoReply, v, camera, record152, 152);
}

encoded_request get_alarm_switch(const request_values& v, int32_t camera)
{
    return CameraQuery(20400, 20376, 31, 8, v, camera);
}

encoded_request set_record_schedule(const request_values& v, int32_t camera, const uint8_t* record84)
{
    return CameraRecord(20378, kNoReply, v, camera, record84, 84);
}

encoded_request get_record_schedule(const request_values& v, int32_t camera)
{
    return CameraQuery(20400, 20379, 32, 8, v, camera);
}

encoded_request set_storage_location(const request_values& v, int32_t camera, const uint8_t* record16)
{
    return CameraRecord(94001, kNoReply, v, camera, record16, 16);
}

encoded_request get_storage_location(const request_values& v, int32_t camera)
{
    return CameraQuery(20400, 94002, 34, 16, v, camera);
}

encoded_request get_track_state(const request_values& v, int32_t camera)
{
    return CameraQuery(20400, 20391, 35, 8, v, camera);
}

encoded_request set_track_state(const request_values& v, int32_t camera, int32_t state)
{
    body_writer inner = Inner(12, v, camera);
    inner.u32(static_cast<uint32_t>(state));
    return CameraCommand(20400, 20390, kNoReply, camera, inner);
}

encoded_request sign_in(const request_values& v)
{
    body_writer body(148);
    body.u32(kProtocolMark).u32(v.login_number).u32(v.user).u32(0).bytes(&v.mgr_ipv4, 4).bytes(v.token, 128);
    return Make(20200, 20200, 0, body);
}

encoded_request sign_out(const uint8_t* body144)
{
    body_writer body(144);
    body.bytes(body144, 144);
    return Make(20201, 0, kNoReply, body);
}

encoded_request online_query(const request_values& v, int32_t camera)
{
    body_writer body(16);
    body.u32(Cam(camera)).bytes(&v.mgr_ipv4, 4).u32(1).u32(10);
    return Make(20202, camera, kNoReply, body);
}

encoded_request video_address(const request_values& v, int32_t camera, int32_t connectionValue)
{
    body_writer body(40);
    body.u32(kProtocolMark)
        .u32(Cam(camera))
        .u32(static_cast<uint32_t>(connectionValue))
        .u32(v.user)
        .u32(0)
        .u16_network(v.local_udp_port)
        .skip(2)
        .bytes(&v.login_server_ipv4, 4)
        .u16_network(v.local_udp_port)
        .skip(2)
        .bytes(&v.mgr_ipv4, 4);
    return Make(20203, 20203, 7, body);
}

encoded_request camera_disconnect(const request_values& v, int32_t camera)
{
    return Query(20309, 8, kNoReply, v, camera);
}

encoded_request acknowledge(uint32_t replyId)
{
    body_writer body(8);
    body.u32(replyId).u32(1);
    return Make(20321, 0, kNoReply, body);
}

encoded_request upgrade_notice(const uint8_t* record32)
{
    body_writer body(36);
    body.bytes(record32, 8).u32(0).bytes(record32 + 8, 16).bytes(record32 + 24, 8);
    return Make(20314, static_cast<int32_t>(ReadU32(record32)), kNoReply, body);
}

} // namespace mgr_request
} // namespace qn_net
