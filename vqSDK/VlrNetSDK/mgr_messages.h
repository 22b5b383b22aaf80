// The management protocol in one table: every message the SDK sends to the
// management server (or through it to one camera), the size of its body, the
// reply that answers it and how that reply completes the waiting request. The
// request builders and the reply handler both read from here, so a new device
// call is one row here and one builder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace qn_net {

enum class mgr_msg : uint32_t {
    record = 0,
    heartbeat = 1,
    sign_in = 20200,
    sign_out = 20201,
    online_query = 20202,  // and its answer
    video_address = 20203,
    video_address_answer = 20204,
    camera_offline = 20206,
    camera_online = 20207,
    search_remote_file = 20226,
    remote_files = 20227,
    pushed_message = 20240,
    playback = 20241,
    bright_ctrl = 20249,
    get_motion_dt = 20250,
    motion_dt = 20251,
    set_motion_dt = 20252,
    reboot = 20274,
    get_talk_state = 20275,
    talk_state = 20276,
    talk_ctrl = 20277,
    brightness = 20282,
    brightness_answer = 20283,
    set_alarm_state = 20304,
    get_alarm_state = 20305,
    alarm_state = 20306,
    camera_disconnect = 20309,
    // Never sent: the key under which the camera's local address, the second
    // answer to the video address, is awaited.
    local_address = 20311,
    local_address_answer = 20312,
    upgrade_progress = 20313,
    upgrade = 20314,
    upgrade_state = 20316,
    set_stream_type = 20317,
    notice = 20320,
    acknowledge = 20321,
    get_alarm_pic = 20322,
    alarm_pic_block = 20323,
    get_volume = 20324,
    volume = 20325,
    get_wifi = 20326,
    wifi = 20327,
    set_volume = 20329,
    get_tf_info = 20330,
    tf_info = 20331,
    get_install_state = 20333,
    set_install_state = 20334,
    get_lan_type = 20335,
    set_lan_type = 20336,
    get_zone_type = 20337,
    set_zone_type = 20338,
    install_state = 20339,
    lan_type = 20340,
    zone_type = 20341,
    stop_upgrade = 20342,
    ptz_set_position = 20343,
    ptz_get_dev_status = 20344,
    ptz_status = 20345,
    get_sys_time = 20346,
    sys_time = 20347,
    set_config = 20348,
    set_config_answer = 20349,
    set_tf_info = 20350,
    refusal = 20351,
    get_config = 20352,
    config = 20353,
    set_unit = 20354,
    get_fw_params = 20357,
    fw_params = 20358,
    local_connect = 20364,
    set_ap_password = 20368,
    ap_password = 20369,
    // The carriers of camera commands and their answers: the message names a
    // sub-command, and the answer's sub-command says what it answers.
    camera_command = 20400,
    camera_answer = 20401,
    cloud_command = 20402,
    cloud_answer = 20403,
    // Sub-commands.
    set_guard = 20370,
    get_guard = 20371,
    guard = 20372,
    search_remote = 20373,
    camera_notice = 20374,
    set_alarm_switch = 20375,
    get_alarm_switch = 20376,
    alarm_switch = 20377,
    set_record_schedule = 20378,
    get_record_schedule = 20379,
    record_schedule = 20380,
    set_lens_model = 20381,
    get_lens_model = 20382,
    lens_model = 20383,
    set_track_state = 20390,
    get_track_state = 20391,
    track_state = 20392,
    cloud_get_sign = 90001,
    cloud_sign_head = 90002,
    cloud_sign_token = 90003,
    cloud_get_time = 90004,
    cloud_time = 90005,
    cloud_sign_tail = 90006,
    camera_time_query = 93001,
    camera_time = 93002,
    set_cloud_state = 93003,
    cloud_state = 93004,
    set_storage_location = 94001,
    get_storage_location = 94002,
    storage_location = 94003,
    no_message = 0xFFFFFFFFu,
};

constexpr uint32_t wire_id(mgr_msg id) { return static_cast<uint32_t>(id); }

// What a waiting request is filed under, next to its camera.
enum class pending_kind : int32_t {
    none = -1,  // no reply awaited
    sign_in = 0,
    online = 1,
    brightness = 2,
    remote_files = 3,
    alarm_state = 4,
    talk_state = 5,
    picture = 6,
    video_address = 7,
    local_address = 8,
    volume = 10,
    wifi = 11,
    tf_info = 12,
    install_state = 13,
    lan_type = 14,
    zone_type = 15,
    motion_dt = 16,
    ptz_status = 17,
    sys_time = 18,
    config = 19,
    set_config = 20,
    ap_password = 21,
    guard = 22,
    set_guard = 23,
    cloud_sign = 24,
    cloud_time = 26,
    camera_time = 27,
    cloud_state = 29,
    lens_model = 30,
    alarm_switch = 31,
    record_schedule = 32,
    fw_params = 33,
    storage_location = 34,
    track_state = 35,
};

constexpr int32_t kind_value(pending_kind kind) { return static_cast<int32_t>(kind); }

struct mgr_message {
    mgr_msg id;
    // The camera command a sub-command travels in; no_message: sent as itself.
    mgr_msg carrier;
    // The request body; for a sub-command, its inner payload.
    std::size_t body_size;
    // The reply that completes the waiting request (for a sub-command, the
    // answer's sub-command); no_message when only a time-out or a refusal ends it.
    mgr_msg reply;
    uint32_t reply_total;  // the reply's exact total; 0: checked by its own handler
    int result_at;         // reply body offset of the result; -1: the result is 1
    pending_kind kind;
    // What the caller receives of the reply body (for a sub-command, of the
    // answer's inner payload); length 0: nothing, or the handler's own.
    std::size_t data_at;
    std::size_t data_length;
};

namespace mgr_table_detail {

using m = mgr_msg;
using k = pending_kind;
constexpr m kNone = m::no_message;
constexpr m kCamera = m::camera_command;
constexpr m kCloud = m::cloud_command;

// A request answered by nothing.
constexpr mgr_message SendOnly(m id, std::size_t size, m carrier = kNone)
{
    return {id, carrier, size, kNone, 0, -1, k::none, 0, 0};
}

// A request answered by `reply`, which hands over [dataAt, dataAt + dataLength).
constexpr mgr_message Asked(m id, std::size_t size, m reply, uint32_t total, int resultAt, k kind,
                            std::size_t dataAt = 0, std::size_t dataLength = 0)
{
    return {id, kNone, size, reply, total, resultAt, kind, dataAt, dataLength};
}

// A camera command answered by the sub-command `reply` within the carrier's answer.
constexpr mgr_message Command(m id, m carrier, std::size_t innerSize, m reply, k kind, std::size_t dataAt = 0,
                              std::size_t dataLength = 0)
{
    return {id, carrier, innerSize, reply, 0, -1, kind, dataAt, dataLength};
}

inline constexpr mgr_message kMessages[] = {
    SendOnly(m::record, 124),
    SendOnly(m::heartbeat, 8),
    Asked(m::sign_in, 148, m::sign_in, 152, 0, k::sign_in),
    SendOnly(m::sign_out, 144),
    // Sent twice, and awaited under the online kind, which its answer completes.
    Asked(m::online_query, 16, m::online_query, 0, -1, k::online),
    Asked(m::video_address, 40, m::video_address_answer, 60, -1, k::video_address),
    Asked(m::local_address, 0, m::local_address_answer, 76, -1, k::local_address),
    Asked(m::search_remote_file, 68, m::remote_files, 0, -1, k::remote_files),
    SendOnly(m::playback, 188),
    SendOnly(m::bright_ctrl, 16),
    Asked(m::get_motion_dt, 8, m::motion_dt, 96, -1, k::motion_dt, 8, 68),
    SendOnly(m::set_motion_dt, 76),
    SendOnly(m::reboot, 8),
    Asked(m::get_talk_state, 24, m::talk_state, 44, 12, k::talk_state),
    SendOnly(m::talk_ctrl, 24),
    Asked(m::brightness, 16, m::brightness_answer, 36, 8, k::brightness, 0, 16),
    SendOnly(m::set_alarm_state, 40),
    Asked(m::get_alarm_state, 24, m::alarm_state, 60, 24, k::alarm_state, 24, 16),
    SendOnly(m::camera_disconnect, 8),
    SendOnly(m::upgrade, 36),
    SendOnly(m::set_stream_type, 24),
    SendOnly(m::acknowledge, 8),
    Asked(m::get_alarm_pic, 44, m::alarm_pic_block, 0, -1, k::picture),
    Asked(m::get_volume, 8, m::volume, 44, -1, k::volume, 8, 16),
    Asked(m::get_wifi, 8, m::wifi, 136, -1, k::wifi, 0, 116),
    SendOnly(m::set_volume, 24),
    Asked(m::get_tf_info, 8, m::tf_info, 0, -1, k::tf_info),
    Asked(m::get_install_state, 8, m::install_state, 36, 8, k::install_state),
    SendOnly(m::set_install_state, 16),
    Asked(m::get_lan_type, 8, m::lan_type, 32, 8, k::lan_type),
    SendOnly(m::set_lan_type, 12),
    Asked(m::get_zone_type, 8, m::zone_type, 32, 8, k::zone_type),
    SendOnly(m::set_zone_type, 20),
    SendOnly(m::stop_upgrade, 12),
    // Awaits the panorama picture only in mode 2.
    Asked(m::ptz_set_position, 52, m::alarm_pic_block, 0, -1, k::picture),
    Asked(m::ptz_get_dev_status, 20, m::ptz_status, 52, -1, k::ptz_status, 8, 24),
    Asked(m::get_sys_time, 8, m::sys_time, 40, -1, k::sys_time, 0, 20),
    Asked(m::set_config, 124, m::set_config_answer, 32, -1, k::set_config, 0, 12),
    SendOnly(m::set_tf_info, 16),
    Asked(m::get_config, 12, m::config, 0, -1, k::config),
    SendOnly(m::set_unit, 20),
    Asked(m::get_fw_params, 12, m::fw_params, 36, -1, k::fw_params, 0, 16),
    SendOnly(m::local_connect, 20),
    Asked(m::set_ap_password, 72, m::ap_password, 92, -1, k::ap_password, 0, 72),

    // The guard query's body ends before the payload's copy.
    Command(m::get_guard, kCamera, 8, m::guard, k::guard, 8, 156),
    // Ended only by a refusal or the time-out.
    Command(m::set_guard, kCamera, 124, kNone, k::set_guard),
    SendOnly(m::search_remote, 68, kCamera),
    SendOnly(m::set_lens_model, 100, kCamera),
    Command(m::get_lens_model, kCamera, 8, m::lens_model, k::lens_model, 0, 100),
    SendOnly(m::set_alarm_switch, 152, kCamera),
    Command(m::get_alarm_switch, kCamera, 8, m::alarm_switch, k::alarm_switch, 0, 152),
    SendOnly(m::set_record_schedule, 84, kCamera),
    Command(m::get_record_schedule, kCamera, 8, m::record_schedule, k::record_schedule, 0, 84),
    SendOnly(m::set_track_state, 12, kCamera),
    Command(m::get_track_state, kCamera, 8, m::track_state, k::track_state, 0, 12),
    Command(m::camera_time_query, kCamera, 220, m::camera_time, k::camera_time, 0, 220),
    Command(m::set_cloud_state, kCamera, 220, m::cloud_state, k::cloud_state, 0, 216),
    SendOnly(m::set_storage_location, 16, kCamera),
    Command(m::get_storage_location, kCamera, 16, m::storage_location, k::storage_location, 0, 16),
    // Answered in three parts (head, token pieces, tail); the tail completes it.
    Command(m::cloud_get_sign, kCloud, 220, m::cloud_sign_tail, k::cloud_sign),
    Command(m::cloud_get_time, kCloud, 220, m::cloud_time, k::cloud_time, 0, 220),
};

} // namespace mgr_table_detail

// The row of a request; naming a message that has no row does not compile
// where the row is a constant, and throws elsewhere.
constexpr const mgr_message& mgr_row(mgr_msg id)
{
    for (const mgr_message& row : mgr_table_detail::kMessages) {
        if (row.id == id) return row;
    }
    throw std::logic_error("management message without a row");
}

// The message id a request goes out under.
constexpr uint32_t sent_id(const mgr_message& row)
{
    return wire_id(row.carrier == mgr_msg::no_message ? row.id : row.carrier);
}

// The row whose request `reply` answers: a message of its own (carrier
// no_message), or a sub-command in the answer to `carrier`; null if none.
constexpr const mgr_message* mgr_row_answered_by(mgr_msg reply, mgr_msg carrier = mgr_msg::no_message)
{
    for (const mgr_message& row : mgr_table_detail::kMessages) {
        if (row.reply == reply && row.reply != mgr_msg::no_message && row.carrier == carrier) return &row;
    }
    return nullptr;
}

// A reply completes one kind of request: two rows that it answers must wait
// under the same kind, or the second would never be completed.
constexpr bool EveryReplyAnswersOneKind()
{
    for (const mgr_message& a : mgr_table_detail::kMessages) {
        for (const mgr_message& b : mgr_table_detail::kMessages) {
            if (a.reply != mgr_msg::no_message && a.reply == b.reply && a.carrier == b.carrier && a.kind != b.kind) {
                return false;
            }
        }
    }
    return true;
}
static_assert(EveryReplyAnswersOneKind());

} // namespace qn_net
