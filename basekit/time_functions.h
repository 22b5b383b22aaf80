/*
 * Local-time conversions on SYS_TIME. Seconds count from 1970-01-01 UTC;
 * calendar fields are local time, daylight saving decided by the system.
 */
#ifndef BASEKIT_TIME_FUNCTIONS_H
#define BASEKIT_TIME_FUNCTIONS_H

#include <stddef.h>
#include <stdint.h>

#include "basekit/export.h"
#include "basekit/sys_time.h"

// Seconds and microseconds of the wall clock. Named apart from libc's
// gettimeofday so that loading the library never interposes on it.
typedef struct bk_timeval {
    int64_t tv_sec;
    int64_t tv_usec;
} bk_timeval;

BASEKIT_C_BEGIN

// Now plus `dayOffset` days of 86,400 seconds, with milliseconds.
BASEKIT_API void GetTime(SYS_TIME *time, int dayOffset);
// Sets the computer's local time; 1 on success, 0 when a field is out of
// range, the time does not exist, or the process may not set the clock.
BASEKIT_API int SetTime(const SYS_TIME *time);
BASEKIT_API void GetSeconds(int64_t *seconds, int *milliseconds);
// Microseconds are whole milliseconds x 1000; the zone is ignored. Returns 0.
BASEKIT_API int bk_gettimeofday(bk_timeval *now, void *zone);

BASEKIT_API void SecondToSystime(int64_t seconds, SYS_TIME *time);
// 1 with the seconds of the record's local time (milliseconds ignored), or 0
// when it names no representable time.
BASEKIT_API int SystimeToSecond(const SYS_TIME *time, int64_t *seconds);
// Date as yyyymmdd and time as hhmmss numbers.
BASEKIT_API void SystimeToFormTime(const SYS_TIME *time, int *date, int *clock);
BASEKIT_API void SecondToFormTime(int64_t seconds, int *date, int *clock);
// "yyyymmddhhmmss". The unbounded form needs 15 characters of room; the _s
// form returns 0 and writes nothing when the capacity is too small.
BASEKIT_API void SecondToFormStr(int64_t seconds, char *text);
BASEKIT_API int SecondToFormStr_s(int64_t seconds, char *text, size_t capacity);
// Date from the first 8 characters, time from characters 9 to 14; a text
// shorter than 14 characters gives 0 for both.
BASEKIT_API void StrTimeToFormTime(const char *text, int *date, unsigned *clock);
BASEKIT_API int MakeHHMMSSXXX(int hour, int minute, int second, int millisecond);
// 0 = Sunday.
BASEKIT_API int GetWeekDay(int year, int month, int day);
// first - second in seconds; a missing first means now, a missing second 0.
BASEKIT_API int64_t GetDifferSecondsNums(const SYS_TIME *first, const SYS_TIME *second);
BASEKIT_API void GetTimeAddSeconds(SYS_TIME *time, int64_t seconds);
// yyyymmdd plus a number of days, as yyyymmdd.
BASEKIT_API int YYMMDD_addval(int date, int days);
// Days of the month, or -1 for a month outside 1-12.
BASEKIT_API int GetDaysInMonth(int year, int month);

BASEKIT_C_END

#endif
