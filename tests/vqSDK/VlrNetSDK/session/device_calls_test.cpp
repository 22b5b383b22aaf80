// Every device call against the simulated management server: the request it
// sends (checked with the server's own tables), the answer it hands over,
// refusals the camera gives, and the checks that send nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/session/device_call.h"
#include "device_session.h"

namespace {

using namespace device_test;

template <class Record>
Record* As(std::vector<uint8_t>& bytes)
{
    return reinterpret_cast<Record*>(bytes.data());
}

// What the call leaves in the caller's record (the test record before).
using expectation = std::function<void(std::vector<uint8_t>& record)>;

// `count` answer bytes from `from` at the start of the record.
expectation Copied(std::vector<uint8_t> answer, std::size_t from, std::size_t count)
{
    return [=](std::vector<uint8_t>& record) { std::memcpy(record.data(), answer.data() + from, count); };
}

expectation Untouched() { return [](std::vector<uint8_t>&) {}; }

struct device_case {
    const char* request;  // the server's request name, with arguments that differ from the checker's
    std::function<int(std::vector<uint8_t>& record)> call;
    int result;
    expectation record;
};

std::vector<device_case> AnsweredCases()
{
    const int32_t c = kCamera;
    const auto* p = kPictureArgs;
    std::vector<uint8_t> accessPoint = AnswerBody(92);
    PutU32(accessPoint, 0, 0);  // the answer hands over a zero in place of the camera
    std::vector<uint8_t> config(sizeof(QN_NET_CONFIG), 0);
    config[0] = 1;   // section type 1
    config[2] = 28;  // of 28 bytes
    for (int i = 0; i < 28; ++i) config[28 + i] = static_cast<uint8_t>(i + 1);
    const std::vector<uint8_t> track = AnswerBody(kCommandTotal, 20392);

    return {
        {"bright_ctrl b=2", [=](auto&) { return QN_NET_BrightCtrl(c, kArgA, 2); }, 1, Untouched()},
        {"brightness", [=](auto& r) { return QN_NET_Brightness(c, As<int32_t>(r), As<int32_t>(r) + 1); }, 1,
         Copied(AnswerBody(36), 8, 8)},
        {"get_install_state", [=](auto&) { return QN_NET_GetInstallState(c); },
         static_cast<int>(GetU32(AnswerBody(36), 8)), Untouched()},
        {"set_install_state", [=](auto&) { return QN_NET_SetInstallState(c, kArgA); }, 1, Untouched()},
        {"get_lan_type", [=](auto&) { return QN_NET_GetLanType(c); }, static_cast<int>(GetU32(AnswerBody(32), 8)),
         Untouched()},
        {"set_lan_type a=32", [=](auto&) { return QN_NET_SetLanType(c, 32); }, 1, Untouched()},
        {"get_zone_type", [=](auto&) { return QN_NET_GetZoneType(c); }, static_cast<int>(GetU32(AnswerBody(32), 8)),
         Untouched()},
        {"set_zone_type a=0", [=](auto&) { return QN_NET_SetZoneType(c, 0, kArgB); }, 1, Untouched()},
        {"get_volume", [=](auto& r) { return QN_NET_GetVolume(c, As<QN_NET_VOLUME>(r)); }, 1,
         Copied(AnswerBody(44), 8, 16)},
        {"set_volume", [=](auto& r) { return QN_NET_SetVolume(c, As<QN_NET_VOLUME>(r)); }, 1, Untouched()},
        {"set_stream_type", [=](auto&) { return QN_NET_SetStreamType(c, kArgA); }, 1, Untouched()},
        {"upgrade_mode2", [=](auto& r) { return QN_NET_Upgrade(2, c, As<QN_NET_UPGRADE>(r)); }, 1, Untouched()},
        {"upgrade_mode1", [=](auto& r) { return QN_NET_Upgrade(1, c, As<QN_NET_UPGRADE>(r)); }, 1, Untouched()},
        {"stop_upgrade", [=](auto&) { return QN_NET_StopUpgrade(c); }, 1, Untouched()},
        {"get_talk_state", [=](auto&) { return QN_NET_GetTalkState(c); },
         static_cast<int>(GetU32(AnswerBody(44), 12)), Untouched()},
        {"get_motion_dt", [=](auto& r) { return QN_NET_GetMotionDT(c, As<QN_NET_MOTION_DETECTION>(r)); }, 1,
         Copied(AnswerBody(96), 8, 68)},
        {"set_motion_dt", [=](auto& r) { return QN_NET_SetMotionDT(c, As<QN_NET_MOTION_DETECTION>(r)); }, 1,
         Untouched()},
        {"get_wifi", [=](auto& r) { return QN_NET_GetWifiValue(c, As<QN_NET_WIFI>(r)); }, 1,
         Copied(AnswerBody(136), 0, 116)},
        {"get_tf_info", [=](auto& r) { return QN_NET_GetTfinfo(c, As<QN_NET_TF_INFO>(r)); }, 1,
         Copied(AnswerBody(60), 8, 28)},
        {"set_tf_info", [=](auto& r) { return QN_NET_SetTfinfo(c, As<QN_NET_TF_INFO>(r)); }, 1, Untouched()},
        {"set_unit", [=](auto& r) { return QN_NET_SetUnit(c, As<QN_NET_UNIT>(r)); }, 1, Untouched()},
        {"ptz_get_dev_status",
         [=](auto& r) { return QN_NET_PTZ_GetDevStatus(c, 1, As<QN_NET_PTZ_STATUS>(r), 0); }, 1,
         Copied(AnswerBody(52), 8, 20)},
        {"ptz_set_position", [=](auto& r) { return QN_NET_PTZ_SetPosition(c, As<QN_NET_PTZ_POSITION>(r), 0); }, 1,
         Untouched()},
        {"get_alarm_state", [=](auto& r) { return QN_NET_GetAlarmState(c, kArgA, As<QN_NET_ALARM_STATE>(r)); }, 1,
         Copied(AnswerBody(60), 24, 16)},
        {"set_alarm_state", [=](auto& r) { return QN_NET_SetAlarmState(c, kArgA, As<QN_NET_ALARM_STATE>(r)); }, 1,
         Untouched()},
        {"get_sys_time", [=](auto& r) { return QN_NET_GetSysTime(c, As<QN_NET_DEVICE_TIME>(r)); }, 1,
         Copied(AnswerBody(40), 0, 20)},
        {"get_config", [=](auto& r) { return QN_NET_GetConfigMsg(c, kArgA, As<QN_NET_CONFIG>(r)); }, 1,
         Copied(config, 0, config.size())},
        {"set_config", [=](auto& r) { return QN_NET_SetConfigMsg(c, As<QN_NET_CONFIG>(r)); }, 1, Untouched()},
        {"get_fw_params", [=](auto& r) { return QN_NET_GetFwParams(c, kArgA, As<QN_NET_FW_PARAMS>(r)); }, 1,
         Copied(AnswerBody(36), 0, 16)},
        {"reboot", [=](auto&) { return QN_NET_RebootCamera(c); }, 1, Untouched()},
        {"set_ap_password", [=](auto& r) { return QN_NET_SetApPasswd(c, As<QN_NET_ACCESS_POINT>(r)); }, 1,
         Copied(accessPoint, 0, 64)},
        {"get_guard", [=](auto& r) { return QN_NET_GetIpcGuard(c, As<QN_NET_GUARD>(r)); }, 1,
         Copied(AnswerBody(kCommandTotal, 20372), kInner + 8, 156)},
        {"set_guard", [=](auto& r) { return QN_NET_SetIpcGuard(c, As<QN_NET_GUARD>(r)); }, 1, Untouched()},
        {"set_lens_model", [=](auto& r) { return QN_NET_SetLmParam(c, As<QN_NET_LENS_MODEL>(r)); }, 1, Untouched()},
        {"get_lens_model", [=](auto& r) { return QN_NET_GetLmParam(c, As<QN_NET_LENS_MODEL>(r)); }, 1,
         Copied(AnswerBody(kCommandTotal, 20383), kInner, 100)},
        {"set_alarm_switch", [=](auto& r) { return QN_NET_SetSwitchAlarm(c, As<QN_NET_ALARM_SWITCH>(r)); }, 1,
         Untouched()},
        {"get_alarm_switch", [=](auto& r) { return QN_NET_GetSwitchAlarm(c, As<QN_NET_ALARM_SWITCH>(r)); }, 1,
         Copied(AnswerBody(kCommandTotal, 20377), kInner, 152)},
        {"set_record_schedule", [=](auto& r) { return QN_NET_SetRecrrdTime(c, As<QN_NET_RECORD_SCHEDULE>(r)); }, 1,
         Untouched()},
        {"get_record_schedule", [=](auto& r) { return QN_NET_GetRecrrdTime(c, As<QN_NET_RECORD_SCHEDULE>(r)); }, 1,
         Copied(AnswerBody(kCommandTotal, 20380), kInner, 84)},
        {"set_storage_location",
         [=](auto& r) { return QN_NET_SetRecordStorageLocation(c, As<QN_NET_STORAGE_LOCATION>(r)); }, 1,
         Untouched()},
        {"get_storage_location",
         [=](auto& r) { return QN_NET_GetRecordStorageLocation(c, As<QN_NET_STORAGE_LOCATION>(r)); }, 1,
         Copied(AnswerBody(kCommandTotal, 94003), kInner, 16)},
        {"set_track_state", [=](auto&) { return QN_NET_SetTrackState(c, kArgA); }, 1, Untouched()},
        // The first and third values; the second stays the caller's.
        {"get_track_state", [=](auto& r) { return QN_NET_GetTrackState(c, As<QN_NET_TRACK_STATE>(r)); }, 1,
         [=](std::vector<uint8_t>& r) {
             std::memcpy(r.data(), track.data() + kInner, 4);
             std::memcpy(r.data() + 8, track.data() + kInner + 8, 4);
         }},
        {"search_remote", [=](auto& r) { return QN_NET_SearchRemote(c, As<QN_NET_SEARCH_FILE>(r)); }, 1, Untouched()},
        {"cloud_set_state", [=](auto&) { return QN_NET_Clond_Storage_SetState(c, kArgA); }, 1, Untouched()},
        {"cloud_get_time",
         [=](auto& r) { return QN_NET_Clond_Storage_GetServerTime(c, kArgA, As<QN_NET_CLOUD_TIME>(r)); }, 1,
         Copied(AnswerBody(kCommandTotal, 90005), kInner, 220)},
        {"cloud_get_time_from_camera",
         [=](auto& r) { return QN_NET_Clond_Storage_GetServerTime_From_Ipc(c, As<QN_NET_CLOUD_TIME>(r)); }, 1,
         Copied(AnswerBody(kCommandTotal, 93002), kInner, 220)},
        // Without a picture to send the camera answers "no picture".
        {"get_alarm_pic", [=](auto&) { return QN_NET_GetAlarmPic(c, p[0], p[1], p[2], p[3], p[4]); }, 0,
         Untouched()},
    };
}

// The SDK's trace lines, without their time prefix.
std::mutex g_traceMutex;
std::vector<std::string> g_traces;

void KeepTrace(const char* text)
{
    std::string line(text);
    const std::size_t prefix = line.find("  ");
    if (prefix != std::string::npos) line.erase(0, prefix + 2);
    while (!line.empty() && line.back() == '\n') line.pop_back();
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_traces.push_back(line);
}

bool Traced(const std::string& line)
{
    std::lock_guard<std::mutex> lock(g_traceMutex);
    for (const std::string& traced : g_traces) {
        if (traced == line) return true;
    }
    return false;
}

class DeviceCalls : public DeviceSession {
protected:
    void SetUp() override
    {
        std::lock_guard<std::mutex> lock(g_traceMutex);
        g_traces.clear();
    }
    void TearDown() override
    {
        QN_NET_SetDebugCallBack(nullptr);
        DeviceSession::TearDown();
    }
};

TEST_F(DeviceCalls, EachSendsItsRequestAndHandsOverItsAnswer)
{
    Start();
    std::vector<std::string> sent;
    for (const device_case& row : AnsweredCases()) {
        SCOPED_TRACE(row.request);
        std::vector<uint8_t> record = TestRecord();
        std::vector<uint8_t> expected = TestRecord();
        row.record(expected);
        EXPECT_EQ(row.call(record), row.result);
        EXPECT_EQ(record, expected);
        sent.push_back(row.request);
    }
    EXPECT_EQ(CheckRequests(sent), "");
}

TEST_F(DeviceCalls, TheSignRecordIsHandedOverWhole)
{
    Start();
    std::vector<uint8_t> record = TestRecord();
    record.resize(sizeof(QN_NET_CLOUD_SIGN));
    auto* sign = As<QN_NET_CLOUD_SIGN>(record);
    ASSERT_EQ(QN_NET_Clond_Storage_GetServerSign(kCamera, kArgA, sign), 1);
    EXPECT_EQ(std::string(sign->object_path), "bucket/cam" + std::to_string(kCamera));
    EXPECT_EQ(std::string(sign->host), "127.0.0.1:5055");
    for (int piece = 0; piece < 10; ++piece) EXPECT_EQ(sign->session_token[piece * 200 + 199], 'a' + piece);
    EXPECT_EQ(CheckRequests({"cloud_get_sign"}), "");
}

TEST_F(DeviceCalls, IllegalArgumentsSendNothing)
{
    Start();
    std::vector<uint8_t> record = TestRecord();
    const struct {
        const char* name;
        std::function<int()> call;
    } rows[] = {
        {"brightness 101", [] { return QN_NET_BrightCtrl(kCamera, 101, 0); }},
        {"brightness -1", [] { return QN_NET_BrightCtrl(kCamera, -1, 0); }},
        {"control 3", [] { return QN_NET_BrightCtrl(kCamera, 50, 3); }},
        {"network type 33", [] { return QN_NET_SetLanType(kCamera, 33); }},
        {"zone 33", [] { return QN_NET_SetZoneType(kCamera, 33, 0); }},
        {"negative mounting type", [] { return QN_NET_SetInstallState(kCamera, -1); }},
        {"no volume record", [] { return QN_NET_SetVolume(kCamera, nullptr); }},
        {"no upgrade record", [] { return QN_NET_Upgrade(2, kCamera, nullptr); }},
        {"no status record", [] { return QN_NET_PTZ_GetDevStatus(kCamera, 1, nullptr, 0); }},
        {"status value 0", [&] { return QN_NET_PTZ_GetDevStatus(kCamera, 0, As<QN_NET_PTZ_STATUS>(record), 0); }},
        {"no position", [] { return QN_NET_PTZ_SetPosition(kCamera, nullptr, 0); }},
        {"no configuration", [] { return QN_NET_SetConfigMsg(kCamera, nullptr); }},
        {"no out record", [] { return QN_NET_GetIpcGuard(kCamera, nullptr); }},
        {"no brightness", [] { return QN_NET_Brightness(kCamera, nullptr, nullptr); }},
        {"no cloud state", [] { return QN_NET_Clond_Storage_GetState(kCamera, nullptr); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        qn_net::SetLastError(0);
        EXPECT_EQ(row.call(), 0);
        EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);
    }
    // A request after them shows that none went before it.
    ASSERT_EQ(QN_NET_GetVolume(kCamera, As<QN_NET_VOLUME>(record)), 1);
    EXPECT_EQ(CheckRequests({"get_volume"}), "");
}

TEST_F(DeviceCalls, TheCameraCheckComesFirstAndIntegerCallsFailWithMinusOne)
{
    const struct {
        const char* name;
        std::function<int()> call;
        int failed;
    } rows[] = {
        {"GetInstallState", [] { return QN_NET_GetInstallState(kCamera); }, -1},
        {"GetLanType", [] { return QN_NET_GetLanType(kCamera); }, -1},
        {"GetZoneType", [] { return QN_NET_GetZoneType(kCamera); }, -1},
        {"GetTalkState", [] { return QN_NET_GetTalkState(kCamera); }, -1},
        {"GetAlarmPic", [] { return QN_NET_GetAlarmPic(kCamera, 0, 0, 0, 0, 0); }, -1},
        {"RebootCamera", [] { return QN_NET_RebootCamera(kCamera); }, 0},
        {"GetState", [] {
             int32_t state[4];
             return QN_NET_Clond_Storage_GetState(kCamera, state);
         }, 0},
    };
    auto expectAll = [&](int32_t code, const char* when) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) + " " + when);
            EXPECT_EQ(row.call(), row.failed);
            EXPECT_EQ(LastError(), code);
        }
    };
    expectAll(QN_NET_ERR_NOT_INIT, "before the SDK starts");
    Start({}, false);
    expectAll(QN_NET_ERR_NO_LINK, "without a connection");
    ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
    EXPECT_EQ(QN_NET_GetInstallState(-1), -1);
    EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);
    EXPECT_EQ(QN_NET_GetAlarmPic(-1, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);
    EXPECT_EQ(CheckRequests({}), "");
}

TEST_F(DeviceCalls, StateOfTheCloudStorageFailsAtOnceWithoutAsking)
{
    Start();
    // A long answer time, so that a busy machine cannot blur "at once" and "after it".
    qn_net::global_set().camera_timeout_ms.store(2 * testing_support::kEventBoundMs);
    int32_t state[4] = {7, 7, 7, 7};
    const int64_t started = platform::MonotonicMs();
    EXPECT_EQ(QN_NET_Clond_Storage_GetState(kCamera, state), 0);
    EXPECT_LT(platform::MonotonicMs() - started, testing_support::kEventBoundMs) << "well before the answer time";
    EXPECT_EQ(LastError(), QN_NET_ERR_TIMEOUT);
    EXPECT_EQ(state[0], 7);
    EXPECT_EQ(CheckRequests({}), "");
}

TEST_F(DeviceCalls, RequestsTheCameraDoesNotSupportLeaveTheRecord)
{
    Start("--fault error:20352 --fault error:20357 --fault error:20368 --fault error:20371 --fault error:20348");
    const struct {
        const char* request;
        std::function<int(std::vector<uint8_t>&)> call;
    } rows[] = {
        {"get_config", [](auto& r) { return QN_NET_GetConfigMsg(kCamera, kArgA, As<QN_NET_CONFIG>(r)); }},
        {"get_fw_params", [](auto& r) { return QN_NET_GetFwParams(kCamera, kArgA, As<QN_NET_FW_PARAMS>(r)); }},
        {"set_ap_password", [](auto& r) { return QN_NET_SetApPasswd(kCamera, As<QN_NET_ACCESS_POINT>(r)); }},
        {"get_guard", [](auto& r) { return QN_NET_GetIpcGuard(kCamera, As<QN_NET_GUARD>(r)); }},
        {"set_config", [](auto& r) { return QN_NET_SetConfigMsg(kCamera, As<QN_NET_CONFIG>(r)); }},
    };
    QN_NET_SetDebugCallBack(&KeepTrace);
    std::vector<std::string> sent;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.request);
        std::vector<uint8_t> record = TestRecord();
        EXPECT_EQ(row.call(record), 0);
        EXPECT_EQ(LastError(), QN_NET_ERR_NOT_SUPPORTED);
        EXPECT_EQ(record, TestRecord());
        sent.push_back(row.request);
    }
    EXPECT_EQ(CheckRequests(sent), "");
    EXPECT_TRUE(Traced("QN_NET_GetConfigMsg NonSupport"));
    EXPECT_TRUE(Traced("QN_NET_SetConfigMsg failed==(timeout)"));
}

TEST_F(DeviceCalls, StatusValuesOfTheAnswerDecide)
{
    // A configuration the camera refuses in its answer, a storage state it
    // could not set, and a status of 0, which is a status like any other.
    Start("--fault status:20348:-1 --fault status:93003:1 --fault status:20333:0");
    QN_NET_SetDebugCallBack(&KeepTrace);
    std::vector<uint8_t> record = TestRecord();
    EXPECT_EQ(QN_NET_SetConfigMsg(kCamera, As<QN_NET_CONFIG>(record)), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_NOT_SUPPORTED);
    EXPECT_EQ(QN_NET_Clond_Storage_SetState(kCamera, kArgA), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_NOT_SUPPORTED);
    EXPECT_EQ(QN_NET_GetInstallState(kCamera), 0);
    EXPECT_EQ(CheckRequests({"set_config", "cloud_set_state", "get_install_state"}), "");
    EXPECT_TRUE(Traced("QN_NET_SetConfigMsg failed===(timeout)"));
    EXPECT_TRUE(Traced("QN_NET_Clond_Storage_SetState failed"));
    EXPECT_TRUE(Traced("QN_NET_GetInstallState start cameraid = " + std::to_string(kCamera)));
}

// Cameras with values of their own (camsim's camera file): the calls read
// back what each camera's answers hold, and a camera that does not answer
// fails the call with the time-out.
struct camera_values {
    int32_t camera;
    const char* firmware;
    const char* wifi;  // nullptr: the camera leaves the Wi-Fi query unanswered
    int32_t level;
    const char* address;
    std::vector<int32_t> card;  // empty: the camera leaves the card query unanswered
    int32_t storage;            // -1: the camera leaves the storage query unanswered
    bool online;
};

const std::vector<camera_values>& FileCameras()
{
    static const std::vector<camera_values> cameras = {
        {1001, "X_V3.8.10", "HomeNet", 3, "192.168.1.20", {1, 0, 30000, 12000, 1, 0, 0}, 3, true},
        {1002, "X_V4.5.71", "B\u00fcro 5G", -1, "10.0.0.7", {1, 0, 64000, 100, 0, 32000, 5000}, 1, false},
        {1003, "X_V3.7.10", "", 0, "172.16.9.1", {0, 0, 0, 0, 0, 0, 0}, 0, true},
        {1004, "X_V1.0.0", nullptr, 0, "0.0.0.0", {}, -1, true},
    };
    return cameras;
}

std::string Quoted(const char* text) { return text ? "\"" + std::string(text) + "\"" : "null"; }

std::string CameraFileJson()
{
    std::string json = "[";
    for (const camera_values& c : FileCameras()) {
        std::string card = "null";
        if (!c.card.empty()) {
            card.clear();
            for (int32_t value : c.card) card += (card.empty() ? "[" : ",") + std::to_string(value);
            card += "]";
        }
        json += std::string(json.size() > 1 ? "," : "") + "{\"camera\": " + std::to_string(c.camera) +
                ", \"firmware\": " + Quoted(c.firmware) + ", \"wifi\": " + Quoted(c.wifi) +
                ", \"level\": " + std::to_string(c.level) + ", \"address\": " + Quoted(c.address) +
                ", \"card\": " + card +
                ", \"storage\": " + (c.storage < 0 ? std::string("\"fail\"") : std::to_string(c.storage)) +
                ", \"online\": " + (c.online ? "true" : "false") + "}";
    }
    return json + "]";
}

// A zero-ended text of the Wi-Fi record.
std::string RecordText(const QN_NET_WIFI& wifi, std::size_t at, std::size_t size)
{
    const char* text = reinterpret_cast<const char*>(wifi.bytes + at);
    return std::string(text, strnlen(text, size));
}

TEST_F(DeviceCalls, CameraFileValuesReachTheCaller)
{
    testing_support::TempFolder folder;
    const std::string path = folder.Path() + "/cameras.json";
    {
        std::ofstream file(path);
        file << CameraFileJson();
    }
    Start("--camera-file " + path);
    for (const camera_values& c : FileCameras()) {
        SCOPED_TRACE(c.camera);
        // Only the silent camera's calls run out; the others answer in time.
        qn_net::global_set().camera_timeout_ms.store(c.wifi == nullptr ? 300 : 3000);
        QN_NET_WIFI wifi{};
        if (c.wifi == nullptr) {
            EXPECT_EQ(QN_NET_GetWifiValue(c.camera, &wifi), 0);
            EXPECT_EQ(LastError(), QN_NET_ERR_TIMEOUT);
        } else {
            ASSERT_EQ(QN_NET_GetWifiValue(c.camera, &wifi), 1);
            int32_t words[4];
            std::memcpy(words, wifi.bytes, sizeof words);
            EXPECT_EQ(words[0], c.camera);
            EXPECT_EQ(words[2], c.level);
            uint32_t address = 0;
            ASSERT_TRUE(platform::TextToIPv4(c.address, &address));
            EXPECT_EQ(static_cast<uint32_t>(words[3]), address);
            EXPECT_EQ(RecordText(wifi, 16, 32), c.firmware);
            EXPECT_EQ(RecordText(wifi, 48, 64), c.wifi);
        }

        QN_NET_TF_INFO card{};
        std::fill(std::begin(card.values), std::end(card.values), 0x7777);
        if (c.card.empty()) {
            EXPECT_EQ(QN_NET_GetTfinfo(c.camera, &card), 0);
            EXPECT_EQ(LastError(), QN_NET_ERR_TIMEOUT);
        } else {
            ASSERT_EQ(QN_NET_GetTfinfo(c.camera, &card), 1);
            // Without a card the answer hands over seven zeros.
            const std::vector<int32_t> expected = c.card[0] != 0 ? c.card : std::vector<int32_t>(7, 0);
            EXPECT_EQ(std::vector<int32_t>(std::begin(card.values), std::end(card.values)), expected);
        }

        QN_NET_STORAGE_LOCATION location{};
        location.values[0] = 0x7777;
        if (c.storage < 0) {
            EXPECT_EQ(QN_NET_GetRecordStorageLocation(c.camera, &location), 0);
            EXPECT_EQ(LastError(), QN_NET_ERR_TIMEOUT);
            EXPECT_EQ(location.values[0], 0x7777);
        } else {
            ASSERT_EQ(QN_NET_GetRecordStorageLocation(c.camera, &location), 1);
            EXPECT_EQ(location.values[0], c.storage);
        }

        const int32_t state = c.online ? QN_NET_EVENT_CAMERA_ONLINE : QN_NET_EVENT_CAMERA_OFFLINE;
        const std::size_t before = events_.Events(state).size();
        QN_NET_OnLineState(c.camera);
        ASSERT_TRUE(events_.WaitFor(state, before + 1, std::chrono::milliseconds(testing_support::kEventBoundMs)));
        EXPECT_EQ(events_.Events(state).back().value1, c.camera);
    }
    EXPECT_EQ(events_.Events(QN_NET_EVENT_CAMERA_OFFLINE).size(), 1u);
}

// An answer that does not hold what a call copies: nothing is copied.
TEST(DeviceAnswerCopy, AShortAnswerCopiesNothing)
{
    const struct {
        const char* name;
        int32_t held;
        std::size_t offset, count;
        bool copied;
    } rows[] = {
        {"no answer body", 0, 0, 4, false},
        {"one byte short", 15, 0, 16, false},
        {"exactly enough", 16, 0, 16, true},
        {"enough from an offset", 16, 8, 8, true},
        {"past the end from an offset", 16, 12, 8, false},
        {"offset beyond the answer", 16, 20, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        qn_net::pending_request record("test");
        if (row.held > 0) {
            record.data.reset(new uint8_t[static_cast<std::size_t>(row.held)]);
            std::memset(record.data.get(), 0x11, static_cast<std::size_t>(row.held));
            record.length = row.held;
        }
        qn_net::SetLastError(0);
        qn_net::CallReport report("QN_NET_Test");
        std::vector<uint8_t> out(32, 0x77);
        EXPECT_EQ(qn_net::device_call::copy_answer(report, record, out.data(), row.count, row.offset), row.copied);
        EXPECT_EQ(LastError(), row.copied ? 0 : QN_NET_ERR_NO_DATA);
        for (std::size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(out[i], row.copied && i < row.count ? 0x11 : 0x77) << "byte " << i;
        }
    }
}

} // namespace
