#include "ProjectDef.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <mutex>

#include <QCoreApplication>

#include "Depend/qn_folders.h"
#include "platform/clock.h"
#include "x11_display.h"

namespace {

struct SharedTables {
    std::mutex mutex;
    wchar_t exePath[kProjectPathCapacity] = {};
    QN_MONITOR_RECT monitors[kMaxMonitors] = {};
    int monitorCount = 0;
};

SharedTables& Tables()
{
    static SharedTables tables;
    return tables;
}

struct ResolutionClass {
    int width, height, code;
};

constexpr ResolutionClass kResolutions[] = {
    {640, 480, 0x1020},   {704, 576, 0x1020},   {768, 576, 0x1020},   {1280, 1024, 0x2020}, {1280, 1080, 0x2020},
    {1792, 1536, 0x3020}, {2048, 1536, 0x3020}, {1280, 960, 0x4020},  {2448, 2048, 0x5020}, {1920, 1080, 0x6020},
    {1024, 1024, 0x7020}, {1536, 1536, 0x8020}, {2560, 1920, 0x9020}, {4000, 3000, 0xA020}};

// Templates by mount (wall 0, ceiling 90, floor -90) and layout model.
const wchar_t* const kTemplates[3][3] = {
    {L"/DPTZtemplate/wall/1L.txt", L"/DPTZtemplate/wall/1L3P.txt", L"/DPTZtemplate/wall/4P1L.txt"},
    {L"/DPTZtemplate/top/4P1O.txt", L"/DPTZtemplate/top/1O4P.txt", L"/DPTZtemplate/top/1O3P.txt"},
    {L"/DPTZtemplate/floor/4P1O.txt", L"/DPTZtemplate/floor/1O4P.txt", L"/DPTZtemplate/floor/1O3P.txt"}};

struct CodeText {
    int first, last;
    const char* text;
};

const char* const kConnectFailure = QT_TRANSLATE_NOOP("ProjectDef", "Connect failure!");

constexpr CodeText kCodeTexts[] = {
    {100, 100, QT_TRANSLATE_NOOP("ProjectDef", "The account has been registered.")},
    {102, 102, QT_TRANSLATE_NOOP("ProjectDef", "The account does not exist.")},
    {104, 104, QT_TRANSLATE_NOOP("ProjectDef", "Incorrect password.")},
    {110, 110, QT_TRANSLATE_NOOP("ProjectDef", "Incorrect password.")},
    {105, 105, QT_TRANSLATE_NOOP("ProjectDef", "Failed to get camera list!")},
    {106, 107, QT_TRANSLATE_NOOP("ProjectDef", "No more demo account is available.")},
    {302, 302, QT_TRANSLATE_NOOP("ProjectDef", "Login failed,Please check the network settings and try again!")},
    {401, 401, QT_TRANSLATE_NOOP("ProjectDef", "Failed to add!")},
    {403, 403, QT_TRANSLATE_NOOP("ProjectDef", "Failed to delete the camera!")},
    {416, 416, QT_TRANSLATE_NOOP("ProjectDef", "Can not share to yourself.")},
    {417, 417, QT_TRANSLATE_NOOP("ProjectDef", "You can't share to more account.")},
    {800, 800, QT_TRANSLATE_NOOP("ProjectDef", "Obtain failed!")},
    {801, 802, QT_TRANSLATE_NOOP("ProjectDef", "Incorrect code.")},
    {1201, 1201, QT_TRANSLATE_NOOP("ProjectDef", "The account is already signed in on another phone or pad.")},
    {11500, 11500, QT_TRANSLATE_NOOP("ProjectDef", "Failed to initialize!")},
    {11501, 11501, QT_TRANSLATE_NOOP("ProjectDef", "Server is offline, reconnecting...")},
    {11503, 11503, QT_TRANSLATE_NOOP("ProjectDef", "Camera Offline!")},
    {12005, 12005, QT_TRANSLATE_NOOP("ProjectDef", "Camera Offline!")},
    {11507, 11507, QT_TRANSLATE_NOOP("ProjectDef", "Connect failed!")},
    {12000, 12003, QT_TRANSLATE_NOOP("ProjectDef", "Connect failed!")},
    {11509, 11509,
     QT_TRANSLATE_NOOP("ProjectDef",
                       "This firmware does not support the function,please upgrade to the latest firmware.")},
    {14000, 14000, QT_TRANSLATE_NOOP("ProjectDef", "Improper parameter.")},
    {15000, 15000, QT_TRANSLATE_NOOP("ProjectDef", "Connect timeout!")},
    {1, 2, kConnectFailure},         {101, 101, kConnectFailure},     {103, 103, kConnectFailure},
    {108, 109, kConnectFailure},     {111, 113, kConnectFailure},     {200, 204, kConnectFailure},
    {300, 301, kConnectFailure},     {400, 400, kConnectFailure},     {402, 402, kConnectFailure},
    {404, 415, kConnectFailure},     {418, 419, kConnectFailure},     {500, 501, kConnectFailure},
    {600, 603, kConnectFailure},     {700, 700, kConnectFailure},     {803, 807, kConnectFailure},
    {900, 900, kConnectFailure},     {1000, 1008, kConnectFailure},   {1100, 1109, kConnectFailure},
    {1200, 1200, kConnectFailure},   {1202, 1202, kConnectFailure},   {1300, 1301, kConnectFailure},
    {1303, 1310, kConnectFailure},   {1400, 1400, kConnectFailure},   {1500, 1500, kConnectFailure},
    {11502, 11502, kConnectFailure}, {11504, 11506, kConnectFailure}, {11508, 11508, kConnectFailure},
    {12004, 12004, kConnectFailure}, {13000, 13000, kConnectFailure}, {16000, 16001, kConnectFailure}};

}  // namespace

int64_t LocalDateToTime(int year, int month, int day, int hour, int minute, int second)
{
    platform::CivilTime civil;
    civil.year = year;
    civil.month = month;
    civil.day = day;
    civil.hour = hour;
    civil.minute = minute;
    civil.second = second;
    civil.isDst = -1;
    return platform::FromLocalTime(civil).value_or(-1);
}

int64_t DiffLocalTime(int year1, int month1, int day1, int hour1, int minute1, int second1, int year2, int month2,
                      int day2, int hour2, int minute2, int second2)
{
    return LocalDateToTime(year2, month2, day2, hour2, minute2, second2) -
           LocalDateToTime(year1, month1, day1, hour1, minute1, second1);
}

int GetResolutionCode(int width, int height)
{
    for (const auto& r : kResolutions)
        if (r.width == width && r.height == height) return r.code;
    return kResolutionUnknown;
}

int GetDPTZTemplatePath(int tilt, int model, wchar_t* path, int capacity)
{
    if (!path || capacity <= 0) return 0;
    const int mount = tilt == 0 ? 0 : tilt == 90 ? 1 : tilt == -90 ? 2 : -1;
    std::wstring text = ProjectExePath();
    if (mount >= 0 && model >= 0 && model <= 2) text += kTemplates[mount][model];
    const size_t length = std::min(text.size(), size_t(capacity - 1));
    std::wmemcpy(path, text.data(), length);
    path[length] = L'\0';
    return 0;
}

QString GetLoginErrorText(int code)
{
    if (code == 0) return QString();
    for (const auto& entry : kCodeTexts)
        if (code >= entry.first && code <= entry.last) return QCoreApplication::translate("ProjectDef", entry.text);
    return QCoreApplication::translate("ProjectDef", "Error Code:") + QLatin1Char(' ') + QString::number(code);
}

void InitProjectDef()
{
    SharedTables& t = Tables();
    std::lock_guard<std::mutex> lock(t.mutex);
    std::wmemset(t.exePath, L'\0', kProjectPathCapacity);
    QNGetExePath(t.exePath, kProjectPathCapacity);
    t.exePath[kProjectPathCapacity - 1] = L'\0';
    t.monitorCount = 0;
}

const wchar_t* ProjectExePath() { return Tables().exePath; }

int MonitorEnumProc(QN_HMONITOR monitor, void*, const QN_MONITOR_RECT*, intptr_t)
{
    SharedTables& t = Tables();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (monitor && t.monitorCount < kMaxMonitors) t.monitors[t.monitorCount++] = *monitor;
    return 1;
}

int EnumDisplayMonitors()
{
    auto display = ostrels::x11::Display::open();
    if (!display) return 0;
    const auto monitors = display->monitors();
    for (const auto& m : monitors) {
        const QN_MONITOR_RECT rect{m.bounds.left, m.bounds.top, m.bounds.right, m.bounds.bottom};
        if (!MonitorEnumProc(&rect, nullptr, &rect, 0)) break;
    }
    return int(monitors.size());
}

int ProjectMonitorCount()
{
    SharedTables& t = Tables();
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.monitorCount;
}

bool ProjectMonitorRect(int index, QN_MONITOR_RECT* rect)
{
    SharedTables& t = Tables();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (!rect || index < 0 || index >= t.monitorCount) return false;
    *rect = t.monitors[index];
    return true;
}
