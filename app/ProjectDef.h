// Helpers several parts of the client share: local date-times, resolution
// codes, view-layout template paths, result-code texts, the monitor table,
// and picture turns (from the picture library).
#ifndef OSTRELS_APP_PROJECTDEF_H
#define OSTRELS_APP_PROJECTDEF_H

#include <cstdint>

#include <QString>

#include "yuv_rotate.h"

// Program folder capacity, in characters.
inline constexpr int kProjectPathCapacity = 260;
inline constexpr int kMaxMonitors = 4;
// Resolution code of a size that is not in the table.
inline constexpr int kResolutionUnknown = 0x10020;

struct QN_MONITOR_RECT {
    int32_t left, top, right, bottom;
};
// A monitor is named by its rectangle in desktop coordinates.
using QN_HMONITOR = const QN_MONITOR_RECT*;

// Seconds since 1970 of a local date-time; -1 when it cannot be one.
int64_t LocalDateToTime(int year, int month, int day, int hour, int minute, int second);
// Seconds from the first local date-time to the second.
int64_t DiffLocalTime(int year1, int month1, int day1, int hour1, int minute1, int second1, int year2, int month2,
                      int day2, int hour2, int minute2, int second2);

int GetResolutionCode(int width, int height);

// Mount tilt 0 wall, 90 ceiling, -90 floor; models 0-2. Writes the program
// folder and the template's relative path (the folder alone for other
// values), cut to the capacity and always terminated; 0.
int GetDPTZTemplatePath(int tilt, int model, wchar_t* path, int capacity);

// The translated text of an account or SDK result code; empty for 0.
QString GetLoginErrorText(int code);

// Takes the program folder and empties the monitor table.
void InitProjectDef();
const wchar_t* ProjectExePath();

// Adds the monitor's rectangle to the table (the first four are kept); 1 to
// go on with the enumeration.
int MonitorEnumProc(QN_HMONITOR monitor, void* context, const QN_MONITOR_RECT* clip, intptr_t data);
// Enumerates the display's monitors through MonitorEnumProc; the count seen.
int EnumDisplayMonitors();
int ProjectMonitorCount();
// False for an index outside the table.
bool ProjectMonitorRect(int index, QN_MONITOR_RECT* rect);

#endif
