// The bodies of the requests that go to the management server, and through it
// to cameras. Each encoder gives the message id, the body, and the key under
// which a pending request waits for the reply (kind -1: no reply awaited).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "vqSDK/VlrNetSDK/playback_request.h"

namespace qn_net {

// The SDK-wide values that the bodies carry.
struct request_values {
    uint32_t user = 0xFFFFFFFFu;   // U
    uint32_t login_number = 0;     // L
    uint32_t last_id = 0;          // T
    uint32_t mgr_ipv4 = 0;         // M, network order
    uint32_t login_server_ipv4 = 0;  // S, network order
    uint16_t local_udp_port = 0;   // P
    uint8_t token[128] = {};       // the login answer's block
};
request_values current_request_values();

struct encoded_request {
    uint32_t msg_id = 0;
    int32_t key_camera = 0;
    int32_t kind = -1;
    std::vector<uint8_t> body;
};

namespace mgr_request {

encoded_request bright_ctrl(const request_values& v, int32_t camera, int32_t brightness, int32_t control);
encoded_request brightness(const request_values& v, int32_t camera);
encoded_request get_install_state(const request_values& v, int32_t camera);
encoded_request set_install_state(const request_values& v, int32_t camera, int32_t type);
encoded_request get_lan_type(const request_values& v, int32_t camera);
encoded_request set_lan_type(const request_values& v, int32_t camera, int32_t type);
encoded_request set_zone_type(const request_values& v, int32_t camera, int32_t zone, int32_t value);
encoded_request get_zone_type(const request_values& v, int32_t camera);
encoded_request get_volume(const request_values& v, int32_t camera);
encoded_request set_stream_type(const request_values& v, int32_t camera, int32_t type);
// The 16 bytes go along only with mode 2.
encoded_request upgrade(const request_values& v, int32_t mode, int32_t camera, const uint8_t* data16);
encoded_request stop_upgrade(const request_values& v, int32_t camera);
encoded_request get_talk_state(const request_values& v, int32_t camera);
encoded_request set_volume(const request_values& v, int32_t camera, const uint8_t* record16);
encoded_request get_motion_dt(const request_values& v, int32_t camera);
encoded_request set_motion_dt(const request_values& v, int32_t camera, const uint8_t* record68);
encoded_request get_wifi(const request_values& v, int32_t camera);
encoded_request get_tf_info(const request_values& v, int32_t camera);
encoded_request ptz_get_dev_status(const request_values& v, int32_t camera, const uint8_t* record12);
// Awaits the panorama picture (kind 6) only when the record's first value is 2.
encoded_request ptz_set_position(const request_values& v, int32_t camera, const uint8_t* record20);
encoded_request get_alarm_pic(const request_values& v, int32_t camera, int32_t a2, int32_t a3, int32_t a4, int32_t a5,
                              int32_t a6);
encoded_request heartbeat(const request_values& v);
// The caller's 52-byte search record.
encoded_request search_remote_file(const request_values& v, int32_t camera, const uint8_t* search52);
encoded_request playback(const request_values& v, int32_t camera, const playback_record& record, int32_t command,
                         int32_t playbackValue, int32_t controlValue);
// A playback control on the running playback's record: 0 pause, 1 resume,
// 2 and 3 step by `value`, 4 seek to `value` percent. Empty for any other
// control (nothing is sent).
std::optional<encoded_request> playback_control(const request_values& v, int32_t camera, const playback_record& record,
                                                int32_t playbackValue, int32_t control, int32_t value);
encoded_request record_message(const request_values& v, int32_t camera, const uint8_t* record108);
encoded_request set_alarm_state(const request_values& v, int32_t camera, int32_t value, const uint8_t* record16);
encoded_request get_sys_time(const request_values& v, int32_t camera);
encoded_request get_alarm_state(const request_values& v, int32_t camera, int32_t value);
encoded_request get_config(const request_values& v, int32_t camera, int32_t value);
encoded_request set_config(const request_values& v, int32_t camera, const uint8_t* record116);
encoded_request set_tf_info(const request_values& v, int32_t camera, const uint8_t* record16);
encoded_request set_unit(const request_values& v, int32_t camera, const uint8_t* record20);
encoded_request talk_ctrl(const request_values& v, int32_t camera, uint8_t control);
encoded_request local_connect(const request_values& v, int32_t camera);
encoded_request reboot(const request_values& v, int32_t camera);
encoded_request set_ap_password(const request_values& v, int32_t camera, const uint8_t* record72);
encoded_request get_fw_params(const request_values& v, int32_t camera, int32_t value);

// Camera commands (20400 / 20402 with a sub-command).
encoded_request get_guard(const request_values& v, int32_t camera);
encoded_request set_guard(const request_values& v, int32_t camera, const uint8_t* record156);
encoded_request cloud_get_sign(const request_values& v, int32_t camera, int32_t value);
encoded_request search_remote(const request_values& v, int32_t camera, const uint8_t* search52);
encoded_request cloud_get_time(const request_values& v, int32_t camera, int32_t value);
encoded_request cloud_get_time_from_camera(const request_values& v, int32_t camera);
encoded_request cloud_set_state(const request_values& v, int32_t camera, int32_t value);
encoded_request set_lens_model(const request_values& v, int32_t camera, const uint8_t* record100);
encoded_request get_lens_model(const request_values& v, int32_t camera);
encoded_request set_alarm_switch(const request_values& v, int32_t camera, const uint8_t* record152);
encoded_request get_alarm_switch(const request_values& v, int32_t camera);
encoded_request set_record_schedule(const request_values& v, int32_t camera, const uint8_t* record84);
encoded_request get_record_schedule(const request_values& v, int32_t camera);
encoded_request set_storage_location(const request_values& v, int32_t camera, const uint8_t* record16);
encoded_request get_storage_location(const request_values& v, int32_t camera);
encoded_request get_track_state(const request_values& v, int32_t camera);
encoded_request set_track_state(const request_values& v, int32_t camera, int32_t state);

// Messages of the management connection itself.
encoded_request sign_in(const request_values& v);
encoded_request sign_out(const uint8_t* body144);
encoded_request online_query(const request_values& v, int32_t camera);
encoded_request video_address(const request_values& v, int32_t camera, int32_t connectionValue);
encoded_request camera_disconnect(const request_values& v, int32_t camera);
encoded_request acknowledge(uint32_t replyId);
// The 32-byte record of an upgrade-progress reply.
encoded_request upgrade_notice(const uint8_t* record32);

} // namespace mgr_request
} // namespace qn_net
