#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <utility>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/temp_folder.h"
#include "vqSDK/VlrNetSDK/camera_command.h"
#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/playback_request.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace {

using namespace qn_net;

TEST(NetSdkPlayback, CommandsOnTheWire)
{
    const struct {
        int32_t command, wire;
    } cases[] = {{99, 0}, {999, 1}, {0, 2}, {1, 3}, {2, 10}, {3, 11}, {4, 4}, {5, 0}, {-1, 0}};
    for (const auto& c : cases) EXPECT_EQ(wire_playback_command(c.command), c.wire) << c.command;
}

playback_record Span(int y, int mo, int d, int h, int mi, int s, int eh, int em, int es)
{
    playback_record record{};
    for (int i = 0; i < 41; ++i) record[i] = 1000 + i;  // recognisable values elsewhere
    record[kStartYear] = y;
    record[kStartMonth] = mo;
    record[kStartDay] = d;
    record[kStartHour] = h;
    record[kStartMinute] = mi;
    record[kStartSecond] = s;
    record[kEndHour] = eh;
    record[kEndMinute] = em;
    record[kEndSecond] = es;
    return record;
}

TEST(NetSdkPlayback, SeekCrossesMidnightMonthsAndYears)
{
    playback_record moved = seek_playback_record(Span(2024, 12, 31, 23, 30, 0, 0, 30, 0), 50);
    EXPECT_EQ(moved[kStartYear], 2025);
    EXPECT_EQ(moved[kStartMonth], 1);
    EXPECT_EQ(moved[kStartDay], 1);
    EXPECT_EQ(moved[kStartHour], 0);
    EXPECT_EQ(moved[kStartMinute], 0);
    EXPECT_EQ(moved[kStartSecond], 0);
    // Everything but the start stays.
    EXPECT_EQ(moved[0], 1000);
    EXPECT_EQ(moved[28], 1028);
    EXPECT_EQ(moved[35], 1035);
    EXPECT_EQ(moved[37], 1037);
    EXPECT_EQ(moved[kEndHour], 0);
    EXPECT_EQ(moved[kEndMinute], 30);
    EXPECT_EQ(playback_span_seconds(Span(2024, 1, 1, 10, 0, 0, 10, 0, 0)), 0) << "an empty span stays empty";
    EXPECT_EQ(days_in_month(2000, 2), 29);
    EXPECT_EQ(days_in_month(1900, 2), 28);
    EXPECT_EQ(days_in_month(2024, 13), 30);
}

// Random spans against Python's datetime: start + (percent x span) // 100
// seconds, the span taken across midnight when the end lies before the start.
TEST(NetSdkPlayback, SeekAgreesWithPythonDatetime)
{
    testing_support::TempFolder folder;
    std::mt19937 random(2024);
    std::vector<playback_record> records;
    std::vector<int> percents;
    std::ofstream cases(folder.Path() + "/cases.txt");
    for (int i = 0; i < 400; ++i) {
        int year = 1999 + static_cast<int>(random() % 30);
        int month = 1 + static_cast<int>(random() % 12);
        int day = 1 + static_cast<int>(random() % days_in_month(year, month));
        playback_record record = Span(year, month, day, static_cast<int>(random() % 24),
                                      static_cast<int>(random() % 60), static_cast<int>(random() % 60),
                                      static_cast<int>(random() % 24), static_cast<int>(random() % 60),
                                      static_cast<int>(random() % 60));
        int percent = static_cast<int>(random() % 101);
        records.push_back(record);
        percents.push_back(percent);
        cases << year << ' ' << month << ' ' << day << ' ' << record[kStartHour] << ' ' << record[kStartMinute] << ' '
              << record[kStartSecond] << ' ' << record[kEndHour] << ' ' << record[kEndMinute] << ' '
              << record[kEndSecond] << ' ' << percent << '\n';
    }
    cases.close();
    std::ofstream(folder.Path() + "/oracle.py") << R"PY(
import datetime, sys
for line in open(sys.argv[1]):
    y, mo, d, h, mi, s, eh, em, es, p = map(int, line.split())
    start = datetime.datetime(y, mo, d, h, mi, s)
    span = (eh - h) * 3600 + (em - mi) * 60 + (es - s)
    if span < 0:
        span += 86400
    t = start + datetime.timedelta(seconds=(p * span) // 100)
    print(t.year, t.month, t.day, t.hour, t.minute, t.second)
)PY";
    auto oracle = testing_support::RunCommand("/usr/bin/python3 " + folder.Path() + "/oracle.py " + folder.Path() +
                                              "/cases.txt");
    ASSERT_EQ(oracle.exitCode, 0);
    std::istringstream lines(oracle.output);
    for (std::size_t i = 0; i < records.size(); ++i) {
        int y, mo, d, h, mi, s;
        ASSERT_TRUE(lines >> y >> mo >> d >> h >> mi >> s);
        playback_record moved = seek_playback_record(records[i], percents[i]);
        EXPECT_EQ((std::vector<int>{moved[kStartYear], moved[kStartMonth], moved[kStartDay], moved[kStartHour],
                                    moved[kStartMinute], moved[kStartSecond]}),
                  (std::vector<int>{y, mo, d, h, mi, s}))
            << "case " << i;
    }
}

TEST(NetSdkCameraCommand, InnerPayloadAndItsCopy)
{
    const uint8_t guard[124] = {7, 8, 9};
    std::vector<uint8_t> body = camera_command_body(11, 22, 20370, guard, sizeof guard, true);
    ASSERT_EQ(body.size(), 360u);
    EXPECT_EQ(ReadU32(body.data()), 11u);
    EXPECT_EQ(ReadU32(body.data() + 4), 22u);
    EXPECT_EQ(ReadU32(body.data() + 8), 124u);
    EXPECT_EQ(ReadU32(body.data() + 12), 20370u);
    EXPECT_EQ(body[16], 7);
    EXPECT_EQ(body[16 + 123], 0);
    EXPECT_EQ(body[140], 0) << "zero between the payload and its copy";
    EXPECT_EQ(body[236], 7);
    EXPECT_EQ(body[238], 9);

    const uint8_t query[8] = {1};
    EXPECT_EQ(camera_command_body(1, 2, 20371, query, sizeof query, false).size(), 236u);
    const uint8_t tooBig[221] = {};
    EXPECT_TRUE(camera_command_body(1, 2, 1, tooBig, sizeof tooBig, true).empty());
}

// The values the transcription's checker expects (tools/camsim check_requests).
request_values TestValues()
{
    request_values v;
    v.user = 0x05060708;
    v.login_number = 0x090A0B0C;
    v.last_id = 0x0D0E0F10;
    const uint8_t mgr[] = {192, 168, 0, 1};
    const uint8_t server[] = {10, 0, 0, 2};
    std::memcpy(&v.mgr_ipv4, mgr, 4);
    std::memcpy(&v.login_server_ipv4, server, 4);
    v.local_udp_port = 18055;
    for (int i = 0; i < 128; ++i) v.token[i] = static_cast<uint8_t>(i * 3 + 1);
    return v;
}

std::string Hex(const std::vector<uint8_t>& bytes)
{
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : bytes) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

// Every request body against a transcription of the request tables written
// in Python from the wire format, byte for byte.
TEST(NetSdkMgrRequests, EveryBodyMatchesTheTranscribedTables)
{
    namespace r = mgr_request;
    const request_values v = TestValues();
    const int32_t cam = 0x01020304;
    uint8_t rec[256];
    for (int i = 0; i < 256; ++i) rec[i] = static_cast<uint8_t>(0x40 + i);
    const int32_t a = 0x21, b = 0x22;
    const std::vector<std::pair<std::string, encoded_request>> requests = {
        {"bright_ctrl", r::bright_ctrl(v, cam, a, b)},
        {"brightness", r::brightness(v, cam)},
        {"get_install_state", r::get_install_state(v, cam)},
        {"set_install_state", r::set_install_state(v, cam, a)},
        {"get_lan_type", r::get_lan_type(v, cam)},
        {"set_lan_type", r::set_lan_type(v, cam, a)},
        {"set_zone_type", r::set_zone_type(v, cam, a, b)},
        {"get_zone_type", r::get_zone_type(v, cam)},
        {"get_volume", r::get_volume(v, cam)},
        {"set_stream_type", r::set_stream_type(v, cam, a)},
        {"upgrade_mode2", r::upgrade(v, 2, cam, rec)},
        {"upgrade_mode1", r::upgrade(v, 1, cam, rec)},
        {"stop_upgrade", r::stop_upgrade(v, cam)},
        {"get_talk_state", r::get_talk_state(v, cam)},
        {"set_volume", r::set_volume(v, cam, rec)},
        {"get_motion_dt", r::get_motion_dt(v, cam)},
        {"set_motion_dt", r::set_motion_dt(v, cam, rec)},
        {"get_wifi", r::get_wifi(v, cam)},
        {"get_tf_info", r::get_tf_info(v, cam)},
        {"ptz_get_dev_status", r::ptz_get_dev_status(v, cam, rec)},
        {"ptz_set_position", r::ptz_set_position(v, cam, rec)},
        {"get_alarm_pic", r::get_alarm_pic(v, cam, 0x32, 0x33, 0x34, 0x35, 0x36)},
        {"heartbeat", r::heartbeat(v)},
        {"search_remote_file", r::search_remote_file(v, cam, rec)},
        {"record_message", r::record_message(v, cam, rec)},
        {"set_alarm_state", r::set_alarm_state(v, cam, a, rec)},
        {"get_sys_time", r::get_sys_time(v, cam)},
        {"get_alarm_state", r::get_alarm_state(v, cam, a)},
        {"get_config", r::get_config(v, cam, a)},
        {"set_config", r::set_config(v, cam, rec)},
        {"set_tf_info", r::set_tf_info(v, cam, rec)},
        {"set_unit", r::set_unit(v, cam, rec)},
        {"talk_ctrl", r::talk_ctrl(v, cam, static_cast<uint8_t>(a))},
        {"local_connect", r::local_connect(v, cam)},
        {"reboot", r::reboot(v, cam)},
        {"set_ap_password", r::set_ap_password(v, cam, rec)},
        {"get_fw_params", r::get_fw_params(v, cam, a)},
        {"get_guard", r::get_guard(v, cam)},
        {"set_guard", r::set_guard(v, cam, rec)},
        {"cloud_get_sign", r::cloud_get_sign(v, cam, a)},
        {"search_remote", r::search_remote(v, cam, rec)},
        {"cloud_get_time", r::cloud_get_time(v, cam, a)},
        {"cloud_get_time_from_camera", r::cloud_get_time_from_camera(v, cam)},
        {"cloud_set_state", r::cloud_set_state(v, cam, a)},
        {"set_lens_model", r::set_lens_model(v, cam, rec)},
        {"get_lens_model", r::get_lens_model(v, cam)},
        {"set_alarm_switch", r::set_alarm_switch(v, cam, rec)},
        {"get_alarm_switch", r::get_alarm_switch(v, cam)},
        {"set_record_schedule", r::set_record_schedule(v, cam, rec)},
        {"get_record_schedule", r::get_record_schedule(v, cam)},
        {"set_storage_location", r::set_storage_location(v, cam, rec)},
        {"get_storage_location", r::get_storage_location(v, cam)},
        {"get_track_state", r::get_track_state(v, cam)},
        {"set_track_state", r::set_track_state(v, cam, a)},
        {"sign_in", r::sign_in(v)},
        {"sign_out", r::sign_out(rec)},
        {"online_query", r::online_query(v, cam)},
        {"video_address", r::video_address(v, cam, a)},
        {"camera_disconnect", r::camera_disconnect(v, cam)},
        {"acknowledge", r::acknowledge(static_cast<uint32_t>(a))},
        {"upgrade_notice", r::upgrade_notice(rec)},
    };
    testing_support::TempFolder folder;
    const std::string path = folder.Path() + "/requests.txt";
    {
        std::ofstream out(path);
        for (const auto& [name, request] : requests) {
            out << name << ' ' << request.msg_id << ' ' << request.key_camera << ' ' << request.kind << ' '
                << Hex(request.body) << '\n';
        }
    }
    auto checked = testing_support::RunCommand(
        "PYTHONPATH=" OSTRELS_SOURCE_DIR "/tools/camsim /usr/bin/python3 -m camsim.check_requests " + path);
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_EQ(checked.output, "");
}

TEST(NetSdkMgrRequests, PlaybackControlsPickTheirWireCommands)
{
    const request_values v = TestValues();
    playback_record record = Span(2024, 3, 1, 10, 0, 0, 11, 0, 0);
    const struct {
        int32_t control, value;
        uint32_t wire, sentValue;
    } cases[] = {{0, 9, 2, 0}, {1, 9, 3, 0}, {2, 5, 10, 5}, {3, 5, 11, 5}, {4, 50, 4, 0}};
    for (const auto& c : cases) {
        auto request = mgr_request::playback_control(v, 3, record, 77, c.control, c.value);
        ASSERT_TRUE(request.has_value()) << c.control;
        EXPECT_EQ(request->msg_id, 20241u);
        ASSERT_EQ(request->body.size(), 188u);
        EXPECT_EQ(ReadU32(request->body.data() + 16), c.wire) << c.control;
        EXPECT_EQ(ReadU32(request->body.data() + 180), 77u);
        EXPECT_EQ(ReadU32(request->body.data() + 184), c.sentValue);
    }
    // The seek sends the start moved half an hour on; values from 29 on lie
    // at body 16 + 4 x value.
    auto seek = mgr_request::playback_control(v, 3, record, 77, 4, 50);
    EXPECT_EQ(ReadU32(seek->body.data() + 16 + 4 * kStartMinute), 30u);
    EXPECT_EQ(ReadU32(seek->body.data() + 16 + 4 * kStartHour), 10u);
    EXPECT_FALSE(mgr_request::playback_control(v, 3, record, 77, 5, 0).has_value());
}

TEST(NetSdkMgrRequests, ThePanoramaPictureIsAwaitedOnlyInModeTwo)
{
    const request_values v = TestValues();
    uint8_t position[20] = {2};
    EXPECT_EQ(mgr_request::ptz_set_position(v, 5, position).kind, 6);
    position[0] = 1;
    EXPECT_EQ(mgr_request::ptz_set_position(v, 5, position).kind, -1);
}

} // namespace
