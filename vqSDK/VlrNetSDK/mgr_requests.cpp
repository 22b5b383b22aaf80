#include "vqSDK/VlrNetSDK/mgr_requests.h"

#include <cstring>

#include "vqSDK/VlrNetSDK/body_writer.h"
#include "vqSDK/VlrNetSDK/camera_command.h"
#include "vqSDK/VlrNetSDK/mgr_messages.h"
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

uint32_t Cam(int32_t camera) { return static_cast<uint32_t>(camera); }

// The request of `id` as its row says, awaited under `kind`.
encoded_request Make(mgr_msg id, int32_t keyCamera, body_writer& body, pending_kind kind)
{
    return encoded_request{sent_id(mgr_row(id)), keyCamera, kind_value(kind), body.take()};
}

encoded_request Make(mgr_msg id, int32_t keyCamera, body_writer& body)
{
    return Make(id, keyCamera, body, mgr_row(id).kind);
}

// A body of the row's size.
body_writer Body(mgr_msg id) { return body_writer(mgr_row(id).body_size); }

// CAM and U, the head of most requests.
body_writer Head(mgr_msg id, const request_values& v, int32_t camera)
{
    body_writer body = Body(id);
    body.u32(Cam(camera)).u32(v.user);
    return body;
}

// CAM, U, L and T.
body_writer LongHead(mgr_msg id, const request_values& v, int32_t camera)
{
    body_writer body = Head(id, v, camera);
    body.u32(v.login_number).u32(v.last_id);
    return body;
}

// A request of CAM and U alone.
encoded_request Query(mgr_msg id, const request_values& v, int32_t camera)
{
    body_writer body = Head(id, v, camera);
    return Make(id, camera, body);
}

encoded_request CameraCommand(mgr_msg sub, int32_t camera, const body_writer& inner, bool withCopy = true)
{
    const mgr_message& row = mgr_row(sub);
    encoded_request request;
    request.msg_id = sent_id(row);
    request.key_camera = camera;
    request.kind = kind_value(row.kind);
    const uint8_t* payload = inner.data();
    request.body =
        camera_command_body(Cam(camera), ReadU32(payload + 4), wire_id(sub), payload, inner.size(), withCopy);
    return request;
}

// A camera command of CAM and U alone, padded to the row's size.
encoded_request CameraQuery(mgr_msg sub, const request_values& v, int32_t camera)
{
    return CameraCommand(sub, camera, Head(sub, v, camera));
}

// A camera command that carries one value after CAM and U.
encoded_request CameraValue(mgr_msg sub, const request_values& v, int32_t camera, int32_t value)
{
    body_writer inner = Head(sub, v, camera);
    inner.u32(static_cast<uint32_t>(value));
    return CameraCommand(sub, camera, inner);
}

// A camera command that carries the caller's record, as long as the row's
// payload; its first 8 bytes (camera and user) are the command's own.
encoded_request CameraRecord(mgr_msg sub, const request_values& v, int32_t camera, const uint8_t* record)
{
    body_writer inner = Head(sub, v, camera);
    inner.bytes(record + 8, mgr_row(sub).body_size - 8);
    return CameraCommand(sub, camera, inner);
}

} // namespace

using m = mgr_msg;

encoded_request bright_ctrl(const request_values& v, int32_t camera, int32_t brightness, int32_t control)
{
    body_writer body = Head(m::bright_ctrl, v, camera);
    body.u32(static_cast<uint32_t>(brightness)).u32(static_cast<uint32_t>(control));
    return Make(m::bright_ctrl, camera, body);
}

encoded_request brightness(const request_values& v, int32_t camera) { return Query(m::brightness, v, camera); }

encoded_request get_install_state(const request_values& v, int32_t camera)
{
    return Query(m::get_install_state, v, camera);
}

encoded_request set_install_state(const request_values& v, int32_t camera, int32_t type)
{
    body_writer body = Head(m::set_install_state, v, camera);
    body.u32(static_cast<uint32_t>(type));
    return Make(m::set_install_state, camera, body);
}

encoded_request get_lan_type(const request_values& v, int32_t camera) { return Query(m::get_lan_type, v, camera); }

encoded_request set_lan_type(const request_values& v, int32_t camera, int32_t type)
{
    body_writer body = Head(m::set_lan_type, v, camera);
    body.u32(static_cast<uint32_t>(type));
    return Make(m::set_lan_type, camera, body);
}

encoded_request set_zone_type(const request_values& v, int32_t camera, int32_t zone, int32_t value)
{
    body_writer body = Head(m::set_zone_type, v, camera);
    body.u32(static_cast<uint32_t>(zone)).u32(static_cast<uint32_t>(value));
    return Make(m::set_zone_type, camera, body);
}

encoded_request get_zone_type(const request_values& v, int32_t camera) { return Query(m::get_zone_type, v, camera); }
encoded_request get_volume(const request_values& v, int32_t camera) { return Query(m::get_volume, v, camera); }

encoded_request set_stream_type(const request_values& v, int32_t camera, int32_t type)
{
    body_writer body = Head(m::set_stream_type, v, camera);
    body.u32(2).u32(static_cast<uint32_t>(type));
    return Make(m::set_stream_type, camera, body);
}

encoded_request upgrade(const request_values& v, int32_t mode, int32_t camera, const uint8_t* data16)
{
    body_writer body = Body(m::upgrade);
    body.u32(Cam(camera)).u32(v.login_number).u32(static_cast<uint32_t>(mode));
    if (mode == 2 && data16 != nullptr) body.bytes(data16, 16);
    return Make(m::upgrade, camera, body);
}

encoded_request stop_upgrade(const request_values& v, int32_t camera)
{
    body_writer body = Body(m::stop_upgrade);
    body.u32(Cam(camera)).u32(v.login_number);
    return Make(m::stop_upgrade, camera, body);
}

encoded_request get_talk_state(const request_values& v, int32_t camera)
{
    body_writer body = Head(m::get_talk_state, v, camera);
    body.u32(1);
    return Make(m::get_talk_state, camera, body);
}

encoded_request set_volume(const request_values& v, int32_t camera, const uint8_t* record16)
{
    body_writer body = Head(m::set_volume, v, camera);
    body.bytes(record16, 16);
    return Make(m::set_volume, camera, body);
}

encoded_request get_motion_dt(const request_values& v, int32_t camera) { return Query(m::get_motion_dt, v, camera); }

encoded_request set_motion_dt(const request_values& v, int32_t camera, const uint8_t* record68)
{
    body_writer body = Head(m::set_motion_dt, v, camera);
    body.bytes(record68, 68);
    return Make(m::set_motion_dt, camera, body);
}

encoded_request get_wifi(const request_values& v, int32_t camera) { return Query(m::get_wifi, v, camera); }
encoded_request get_tf_info(const request_values& v, int32_t camera) { return Query(m::get_tf_info, v, camera); }

encoded_request ptz_get_dev_status(const request_values& v, int32_t camera, const uint8_t* record12)
{
    body_writer body = Head(m::ptz_get_dev_status, v, camera);
    body.bytes(record12, 12);
    return Make(m::ptz_get_dev_status, camera, body);
}

encoded_request ptz_set_position(const request_values& v, int32_t camera, const uint8_t* record20)
{
    body_writer body = Head(m::ptz_set_position, v, camera);
    body.bytes(record20, 20);
    const bool panorama = ReadU32(record20) == 2;
    return Make(m::ptz_set_position, camera, body, panorama ? mgr_row(m::ptz_set_position).kind : pending_kind::none);
}

encoded_request get_alarm_pic(const request_values& v, int32_t camera, int32_t a2, int32_t a3, int32_t a4, int32_t a5,
                              int32_t a6)
{
    body_writer body = LongHead(m::get_alarm_pic, v, camera);
    body.u32(0)
        .u32(static_cast<uint32_t>(a2))
        .u32(static_cast<uint32_t>(a5))
        .u32(static_cast<uint32_t>(a6))
        .u32(1)
        .u32(static_cast<uint32_t>(a3))
        .u32(static_cast<uint32_t>(a4));
    return Make(m::get_alarm_pic, camera, body);
}

encoded_request heartbeat(const request_values& v)
{
    body_writer body = Body(m::heartbeat);
    body.u32(v.user);
    return Make(m::heartbeat, 0, body);
}

encoded_request search_remote_file(const request_values& v, int32_t camera, const uint8_t* search52)
{
    body_writer body = LongHead(m::search_remote_file, v, camera);
    body.bytes(search52, 52);
    return Make(m::search_remote_file, camera, body);
}

encoded_request playback(const request_values& v, int32_t camera, const playback_record& record, int32_t command,
                         int32_t playbackValue, int32_t controlValue)
{
    uint8_t bytes[164];
    for (std::size_t i = 0; i < record.size(); ++i) WriteU32(bytes + 4 * i, static_cast<uint32_t>(record[i]));
    body_writer body = LongHead(m::playback, v, camera);
    body.u32(static_cast<uint32_t>(wire_playback_command(command)))
        .u32(0)
        .bytes(bytes + 4, 108)
        .bytes(bytes + 116, 48)
        .u32(static_cast<uint32_t>(playbackValue))
        .u32(static_cast<uint32_t>(controlValue));
    return Make(m::playback, camera, body);
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
    body_writer body = LongHead(m::record, v, camera);
    body.bytes(record108, 108);
    return Make(m::record, camera, body);
}

encoded_request set_alarm_state(const request_values& v, int32_t camera, int32_t value, const uint8_t* record16)
{
    body_writer body = LongHead(m::set_alarm_state, v, camera);
    body.u32(static_cast<uint32_t>(value)).seek(24).bytes(record16, 16);
    return Make(m::set_alarm_state, camera, body);
}

encoded_request get_sys_time(const request_values& v, int32_t camera) { return Query(m::get_sys_time, v, camera); }

encoded_request get_alarm_state(const request_values& v, int32_t camera, int32_t value)
{
    body_writer body = LongHead(m::get_alarm_state, v, camera);
    body.u32(static_cast<uint32_t>(value));
    return Make(m::get_alarm_state, camera, body);
}

encoded_request get_config(const request_values& v, int32_t camera, int32_t value)
{
    body_writer body = Head(m::get_config, v, camera);
    body.u32(static_cast<uint32_t>(value));
    return Make(m::get_config, camera, body);
}

encoded_request set_config(const request_values& v, int32_t camera, const uint8_t* record116)
{
    body_writer body = Head(m::set_config, v, camera);
    body.bytes(record116, 116);
    return Make(m::set_config, camera, body);
}

encoded_request set_tf_info(const request_values& v, int32_t camera, const uint8_t* record16)
{
    body_writer body = Head(m::set_tf_info, v, camera);
    body.bytes(record16 + 8, 8);
    return Make(m::set_tf_info, camera, body);
}

encoded_request set_unit(const request_values& v, int32_t camera, const uint8_t* record20)
{
    body_writer body = Head(m::set_unit, v, camera);
    body.bytes(record20 + 8, 12);
    return Make(m::set_unit, camera, body);
}

encoded_request talk_ctrl(const request_values& v, int32_t camera, uint8_t control)
{
    body_writer body = Head(m::talk_ctrl, v, camera);
    body.u32(1).u32(control);
    return Make(m::talk_ctrl, camera, body);
}

encoded_request local_connect(const request_values&, int32_t camera)
{
    body_writer body = Body(m::local_connect);
    body.u32(Cam(camera));
    return Make(m::local_connect, camera, body);
}

encoded_request reboot(const request_values& v, int32_t camera) { return Query(m::reboot, v, camera); }

encoded_request set_ap_password(const request_values&, int32_t camera, const uint8_t* record72)
{
    body_writer body = Body(m::set_ap_password);
    body.u32(Cam(camera)).bytes(record72 + 4, 68);
    return Make(m::set_ap_password, camera, body);
}

encoded_request get_fw_params(const request_values& v, int32_t camera, int32_t value)
{
    body_writer body = Head(m::get_fw_params, v, camera);
    body.u32(static_cast<uint32_t>(value));
    return Make(m::get_fw_params, camera, body);
}

encoded_request get_guard(const request_values& v, int32_t camera)
{
    return CameraCommand(m::get_guard, camera, Head(m::get_guard, v, camera), false);
}

encoded_request set_guard(const request_values& v, int32_t camera, const uint8_t* record156)
{
    return CameraRecord(m::set_guard, v, camera, record156);
}

encoded_request cloud_get_sign(const request_values& v, int32_t camera, int32_t value)
{
    return CameraValue(m::cloud_get_sign, v, camera, value);
}

encoded_request search_remote(const request_values& v, int32_t camera, const uint8_t* search52)
{
    body_writer inner = Head(m::search_remote, v, camera);
    inner.u32(v.login_number).u32(v.last_id).bytes(search52, 52);
    return CameraCommand(m::search_remote, camera, inner);
}

encoded_request cloud_get_time(const request_values& v, int32_t camera, int32_t value)
{
    return CameraValue(m::cloud_get_time, v, camera, value);
}

encoded_request cloud_get_time_from_camera(const request_values& v, int32_t camera)
{
    return CameraQuery(m::camera_time_query, v, camera);
}

encoded_request cloud_set_state(const request_values& v, int32_t camera, int32_t value)
{
    return CameraValue(m::set_cloud_state, v, camera, value);
}

encoded_request set_lens_model(const request_values& v, int32_t camera, const uint8_t* record100)
{
    // Only the first 28 bytes of the lens record go to the camera.
    body_writer inner = Head(m::set_lens_model, v, camera);
    inner.bytes(record100 + 8, 28);
    return CameraCommand(m::set_lens_model, camera, inner);
}

encoded_request get_lens_model(const request_values& v, int32_t camera)
{
    return CameraQuery(m::get_lens_model, v, camera);
}

encoded_request set_alarm_switch(const request_values& v, int32_t camera, const uint8_t* record152)
{
    return CameraRecord(m::set_alarm_switch, v, camera, record152);
}

encoded_request get_alarm_switch(const request_values& v, int32_t camera)
{
    return CameraQuery(m::get_alarm_switch, v, camera);
}

encoded_request set_record_schedule(const request_values& v, int32_t camera, const uint8_t* record84)
{
    return CameraRecord(m::set_record_schedule, v, camera, record84);
}

encoded_request get_record_schedule(const request_values& v, int32_t camera)
{
    return CameraQuery(m::get_record_schedule, v, camera);
}

encoded_request set_storage_location(const request_values& v, int32_t camera, const uint8_t* record16)
{
    return CameraRecord(m::set_storage_location, v, camera, record16);
}

encoded_request get_storage_location(const request_values& v, int32_t camera)
{
    return CameraQuery(m::get_storage_location, v, camera);
}

encoded_request get_track_state(const request_values& v, int32_t camera)
{
    return CameraQuery(m::get_track_state, v, camera);
}

encoded_request set_track_state(const request_values& v, int32_t camera, int32_t state)
{
    body_writer inner = Head(m::set_track_state, v, camera);
    inner.u32(static_cast<uint32_t>(state));
    return CameraCommand(m::set_track_state, camera, inner);
}

encoded_request sign_in(const request_values& v)
{
    body_writer body = Body(m::sign_in);
    body.u32(kProtocolMark).u32(v.login_number).u32(v.user).u32(0).bytes(&v.mgr_ipv4, 4).bytes(v.token, 128);
    // One sign-in at a time: the message id stands for the camera in its key.
    return Make(m::sign_in, static_cast<int32_t>(wire_id(m::sign_in)), body);
}

encoded_request sign_out(const uint8_t* body144)
{
    body_writer body = Body(m::sign_out);
    body.bytes(body144, mgr_row(m::sign_out).body_size);
    return Make(m::sign_out, 0, body);
}

encoded_request online_query(const request_values& v, int32_t camera)
{
    body_writer body = Body(m::online_query);
    body.u32(Cam(camera)).bytes(&v.mgr_ipv4, 4).u32(1).u32(10);
    // Sent twice; base_conn::send_twice files the waiter itself.
    return Make(m::online_query, camera, body, pending_kind::none);
}

encoded_request video_address(const request_values& v, int32_t camera, int32_t connectionValue)
{
    body_writer body = Body(m::video_address);
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
    return Make(m::video_address, static_cast<int32_t>(wire_id(m::video_address)), body);
}

encoded_request camera_disconnect(const request_values& v, int32_t camera)
{
    return Query(m::camera_disconnect, v, camera);
}

encoded_request acknowledge(uint32_t replyId)
{
    body_writer body = Body(m::acknowledge);
    body.u32(replyId).u32(1);
    return Make(m::acknowledge, 0, body);
}

encoded_request upgrade_notice(const uint8_t* record32)
{
    body_writer body = Body(m::upgrade);
    body.bytes(record32, 8).u32(0).bytes(record32 + 8, 16).bytes(record32 + 24, 8);
    return Make(m::upgrade, static_cast<int32_t>(ReadU32(record32)), body);
}

} // namespace mgr_request
} // namespace qn_net
