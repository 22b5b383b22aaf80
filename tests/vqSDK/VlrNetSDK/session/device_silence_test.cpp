// Waiting device calls against a camera that does not answer, or answers
// short: the call fails with the time-out or the no-data code after its wait
// and the caller's record stays as it was.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "device_session.h"

namespace {

using namespace device_test;

template <class Record>
Record* As(std::vector<uint8_t>& bytes)
{
    return reinterpret_cast<Record*>(bytes.data());
}

constexpr int32_t kShortWaitMs = 150;

struct waiting_case {
    int32_t asked;  // the request id, or the sub-command of a camera command
    const char* name;
    std::function<int(std::vector<uint8_t>& record)> call;
    int failed;
};

// The calls that wait the camera time-out of the settings.
const std::vector<waiting_case>& WaitingCases()
{
    const int32_t c = kCamera;
    static const std::vector<waiting_case> cases = {
        {20282, "Brightness", [=](auto& r) { return QN_NET_Brightness(c, As<int32_t>(r), As<int32_t>(r) + 1); }, 0},
        {20333, "GetInstallState", [=](auto&) { return QN_NET_GetInstallState(c); }, -1},
        {20335, "GetLanType", [=](auto&) { return QN_NET_GetLanType(c); }, -1},
        {20337, "GetZoneType", [=](auto&) { return QN_NET_GetZoneType(c); }, -1},
        {20324, "GetVolume", [=](auto& r) { return QN_NET_GetVolume(c, As<QN_NET_VOLUME>(r)); }, 0},
        {20275, "GetTalkState", [=](auto&) { return QN_NET_GetTalkState(c); }, -1},
        {20250, "GetMotionDT", [=](auto& r) { return QN_NET_GetMotionDT(c, As<QN_NET_MOTION_DETECTION>(r)); }, 0},
        {20326, "GetWifiValue", [=](auto& r) { return QN_NET_GetWifiValue(c, As<QN_NET_WIFI>(r)); }, 0},
        {20330, "GetTfinfo", [=](auto& r) { return QN_NET_GetTfinfo(c, As<QN_NET_TF_INFO>(r)); }, 0},
        {20305, "GetAlarmState", [=](auto& r) { return QN_NET_GetAlarmState(c, 1, As<QN_NET_ALARM_STATE>(r)); }, 0},
        {20352, "GetConfigMsg", [=](auto& r) { return QN_NET_GetConfigMsg(c, 125, As<QN_NET_CONFIG>(r)); }, 0},
        {20348, "SetConfigMsg", [=](auto& r) { return QN_NET_SetConfigMsg(c, As<QN_NET_CONFIG>(r)); }, 0},
        {20357, "GetFwParams", [=](auto& r) { return QN_NET_GetFwParams(c, 1, As<QN_NET_FW_PARAMS>(r)); }, 0},
        {20368, "SetApPasswd", [=](auto& r) { return QN_NET_SetApPasswd(c, As<QN_NET_ACCESS_POINT>(r)); }, 0},
        {20371, "GetIpcGuard", [=](auto& r) { return QN_NET_GetIpcGuard(c, As<QN_NET_GUARD>(r)); }, 0},
        {20382, "GetLmParam", [=](auto& r) { return QN_NET_GetLmParam(c, As<QN_NET_LENS_MODEL>(r)); }, 0},
        {20376, "GetSwitchAlarm", [=](auto& r) { return QN_NET_GetSwitchAlarm(c, As<QN_NET_ALARM_SWITCH>(r)); }, 0},
        {20379, "GetRecrrdTime", [=](auto& r) { return QN_NET_GetRecrrdTime(c, As<QN_NET_RECORD_SCHEDULE>(r)); }, 0},
        {94002, "GetRecordStorageLocation",
         [=](auto& r) { return QN_NET_GetRecordStorageLocation(c, As<QN_NET_STORAGE_LOCATION>(r)); }, 0},
        {20391, "GetTrackState", [=](auto& r) { return QN_NET_GetTrackState(c, As<QN_NET_TRACK_STATE>(r)); }, 0},
        {93003, "SetState", [=](auto&) { return QN_NET_Clond_Storage_SetState(c, 1); }, 0},
        {90004, "GetServerTime",
         [=](auto& r) { return QN_NET_Clond_Storage_GetServerTime(c, 1, As<QN_NET_CLOUD_TIME>(r)); }, 0},
        {93001, "GetServerTime_From_Ipc",
         [=](auto& r) { return QN_NET_Clond_Storage_GetServerTime_From_Ipc(c, As<QN_NET_CLOUD_TIME>(r)); }, 0},
        {90001, "GetServerSign",
         [=](auto& r) { return QN_NET_Clond_Storage_GetServerSign(c, 1, As<QN_NET_CLOUD_SIGN>(r)); }, 0},
    };
    return cases;
}

std::string Faults(const char* kind, const std::vector<waiting_case>& cases)
{
    std::string faults;
    for (const waiting_case& row : cases) faults += std::string(" --fault ") + kind + ":" + std::to_string(row.asked);
    return faults;
}

class DeviceSilence : public DeviceSession {
protected:
    // Every case against its fault: the code left, and the record untouched.
    void ExpectEach(const std::vector<waiting_case>& cases, const std::function<int32_t(int32_t asked)>& code)
    {
        for (const waiting_case& row : cases) {
            SCOPED_TRACE(row.name);
            std::vector<uint8_t> record = TestRecord();
            record.resize(sizeof(QN_NET_CLOUD_SIGN), 0);
            const std::vector<uint8_t> before = record;
            EXPECT_EQ(row.call(record), row.failed);
            EXPECT_EQ(LastError(), code(row.asked));
            EXPECT_EQ(record, before);
        }
    }
};

TEST_F(DeviceSilence, UnansweredCallsTimeOutAfterTheCameraTimeOut)
{
    Start(Faults("stall", WaitingCases()));
    qn_net::global_set().camera_timeout_ms.store(kShortWaitMs);
    const int64_t started = platform::MonotonicMs();
    ExpectEach(WaitingCases(), [](int32_t) { return QN_NET_ERR_TIMEOUT; });
    EXPECT_GE(platform::MonotonicMs() - started, kShortWaitMs * static_cast<int64_t>(WaitingCases().size()));
}

TEST_F(DeviceSilence, ShortAnswersAreDroppedOrReportedAsWithoutData)
{
    // A configuration answer may be of any length up to its record; the
    // card state too, and a cut one cannot give the seven values.
    std::vector<waiting_case> cases, cutByFour;
    for (const waiting_case& row : WaitingCases()) {
        if (row.asked != 20352) cases.push_back(row);
        if (row.asked != 20352 && row.asked != 20330) cutByFour.push_back(row);
    }
    // Four bytes off the card state's answer still leave the seven values.
    Start(Faults("short", cutByFour) + " --fault short:20330:12");
    qn_net::global_set().camera_timeout_ms.store(kShortWaitMs);
    ExpectEach(cases, [](int32_t asked) { return asked == 20330 ? QN_NET_ERR_NO_DATA : QN_NET_ERR_TIMEOUT; });
}

// The calls that wait 4000 ms whatever the settings say.
TEST_F(DeviceSilence, TheClockWaitsFourSeconds)
{
    Start("--fault stall:20346");
    qn_net::global_set().camera_timeout_ms.store(kShortWaitMs);
    std::vector<uint8_t> record = TestRecord();
    const int64_t started = platform::MonotonicMs();
    EXPECT_EQ(QN_NET_GetSysTime(kCamera, As<QN_NET_DEVICE_TIME>(record)), 0);
    EXPECT_GE(platform::MonotonicMs() - started, 3900);
    EXPECT_EQ(LastError(), QN_NET_ERR_TIMEOUT);
    EXPECT_EQ(record, TestRecord());
}

TEST_F(DeviceSilence, ThePanTiltStatusWaitsFourSeconds)
{
    Start("--fault stall:20344");
    qn_net::global_set().camera_timeout_ms.store(kShortWaitMs);
    std::vector<uint8_t> record = TestRecord();
    const int64_t started = platform::MonotonicMs();
    EXPECT_EQ(QN_NET_PTZ_GetDevStatus(kCamera, 1, As<QN_NET_PTZ_STATUS>(record), 0), 0);
    EXPECT_GE(platform::MonotonicMs() - started, 3900);
    EXPECT_EQ(LastError(), QN_NET_ERR_TIMEOUT);
    EXPECT_EQ(record, TestRecord());
}

} // namespace
