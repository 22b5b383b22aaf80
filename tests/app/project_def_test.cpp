// The project helpers: date-times across day-light saving, the code tables,
// template paths and the monitor table.
#include <gtest/gtest.h>

#include <string>

#include "ProjectDef.h"
#include "support/scoped_env.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

namespace {

TEST(ProjectDef, LocalDatesFollowTheTimeZone)
{
    {
        testing_support::ScopedEnv tz("TZ", "UTC");
        EXPECT_EQ(LocalDateToTime(2020, 1, 1, 0, 0, 0), 1577836800);
        EXPECT_EQ(LocalDateToTime(1970, 1, 1, 0, 0, 1), 1);
        EXPECT_EQ(DiffLocalTime(2021, 12, 31, 23, 59, 59, 2022, 1, 1, 0, 0, 0), 1);
        EXPECT_EQ(DiffLocalTime(2022, 1, 1, 0, 0, 0, 2021, 12, 31, 23, 59, 59), -1);
    }
    testing_support::ScopedEnv tz("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    // Summer time, without the caller saying so: 12:00 CEST is 10:00 UTC.
    EXPECT_EQ(LocalDateToTime(2021, 7, 1, 12, 0, 0), 1625133600);
    // The night the clocks go forward has 23 hours, the one they go back 25.
    EXPECT_EQ(DiffLocalTime(2021, 3, 28, 0, 0, 0, 2021, 3, 29, 0, 0, 0), 23 * 3600);
    EXPECT_EQ(DiffLocalTime(2021, 10, 31, 0, 0, 0, 2021, 11, 1, 0, 0, 0), 25 * 3600);
}

TEST(ProjectDef, ResolutionCodes)
{
    const struct {
        int w, h, code;
    } cases[] = {{640, 480, 0x1020},   {704, 576, 0x1020},   {768, 576, 0x1020},   {1280, 1024, 0x2020},
                 {1280, 1080, 0x2020}, {1792, 1536, 0x3020}, {2048, 1536, 0x3020}, {1280, 960, 0x4020},
                 {2448, 2048, 0x5020}, {1920, 1080, 0x6020}, {1024, 1024, 0x7020}, {1536, 1536, 0x8020},
                 {2560, 1920, 0x9020}, {4000, 3000, 0xA020}, {640, 576, 65568},    {480, 640, 65568},
                 {0, 0, 65568}};
    for (const auto& c : cases) EXPECT_EQ(GetResolutionCode(c.w, c.h), c.code) << c.w << "x" << c.h;
}

TEST(ProjectDef, TemplatePaths)
{
    InitProjectDef();
    const std::wstring folder = ProjectExePath();
    const struct {
        int tilt, model;
        const wchar_t* tail;
    } cases[] = {{0, 0, L"/DPTZtemplate/wall/1L.txt"},     {0, 1, L"/DPTZtemplate/wall/1L3P.txt"},
                 {0, 2, L"/DPTZtemplate/wall/4P1L.txt"},   {90, 0, L"/DPTZtemplate/top/4P1O.txt"},
                 {90, 1, L"/DPTZtemplate/top/1O4P.txt"},   {90, 2, L"/DPTZtemplate/top/1O3P.txt"},
                 {-90, 0, L"/DPTZtemplate/floor/4P1O.txt"}, {-90, 1, L"/DPTZtemplate/floor/1O4P.txt"},
                 {-90, 2, L"/DPTZtemplate/floor/1O3P.txt"}, {45, 0, L""},
                 {0, 3, L""},                               {90, -1, L""}};
    for (const auto& c : cases) {
        wchar_t path[kProjectPathCapacity];
        EXPECT_EQ(GetDPTZTemplatePath(c.tilt, c.model, path, kProjectPathCapacity), 0);
        EXPECT_EQ(std::wstring(path), folder + c.tail) << c.tilt << " " << c.model;
    }
    wchar_t small[8];
    std::fill(std::begin(small), std::end(small), L'x');
    GetDPTZTemplatePath(0, 0, small, 8);
    EXPECT_EQ(std::wstring(small), (folder + L"/DPTZtemplate/wall/1L.txt").substr(0, 7)) << "cut and terminated";
}

TEST(ProjectDef, ResultCodeTexts)
{
    const struct {
        int code;
        const char* text;
    } cases[] = {
        {0, ""},
        {100, "The account has been registered."},
        {110, "Incorrect password."},
        {107, "No more demo account is available."},
        {802, "Incorrect code."},
        {1201, "The account is already signed in on another phone or pad."},
        {QN_NET_ERR_NOT_INIT, "Failed to initialize!"},
        {QN_NET_ERR_NO_LINK, "Server is offline, reconnecting..."},
        {QN_NET_ERR_IPC_NO_LINK, "Camera Offline!"},
        {QN_NET_ERR_CAMERA_OFFLINE, "Camera Offline!"},
        {QN_NET_ERR_LOGIN_CONNECT, "Connect failed!"},
        {QN_NET_ERR_SOCKET, "Connect failed!"},
        {QN_NET_ERR_SEND, "Connect failed!"},
        {QN_NET_ERR_NOT_SUPPORTED,
         "This firmware does not support the function,please upgrade to the latest firmware."},
        {QN_NET_ERR_ILLEGAL_PARAM, "Improper parameter."},
        {QN_NET_ERR_TIMEOUT, "Connect timeout!"},
        {QN_NET_ERR_VIDEO_NO_LINK, "Connect failure!"},
        {QN_NET_ERR_LOCAL_CONNECT, "Connect failure!"},
        {QN_NET_ERR_NO_DATA, "Connect failure!"},
        {QN_NET_ERR_ALARM_PIC_BUSY, "Connect failure!"},
        {1310, "Connect failure!"},
        {1, "Connect failure!"},
        {QN_NET_ERR_MGR_CONNECT, "Error Code: 11510"},
        {QN_NET_ERR_SIGN_IN, "Error Code: 1203"},
        {1302, "Error Code: 1302"},
        {-5, "Error Code: -5"},
    };
    for (const auto& c : cases) EXPECT_EQ(GetLoginErrorText(c.code).toStdString(), c.text) << c.code;
}

TEST(ProjectDef, FiveMonitorsKeepFour)
{
    InitProjectDef();
    EXPECT_EQ(ProjectMonitorCount(), 0);
    for (int i = 0; i < 5; ++i) {
        const QN_MONITOR_RECT rect{i * 1920, 0, (i + 1) * 1920, 1080};
        EXPECT_EQ(MonitorEnumProc(&rect, nullptr, &rect, 0), 1) << "the enumeration goes on";
    }
    ASSERT_EQ(ProjectMonitorCount(), 4);
    QN_MONITOR_RECT last{};
    ASSERT_TRUE(ProjectMonitorRect(3, &last));
    EXPECT_EQ(last.left, 3 * 1920);
    EXPECT_EQ(last.right, 4 * 1920);
    EXPECT_FALSE(ProjectMonitorRect(4, &last));
    InitProjectDef();
    EXPECT_EQ(ProjectMonitorCount(), 0);
}

}  // namespace
