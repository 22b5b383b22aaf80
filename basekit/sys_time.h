/*
 * SYS_TIME: the 14-byte packed local time record of basekit's time functions,
 * the log ring and file times.
 */
#ifndef BASEKIT_SYS_TIME_H
#define BASEKIT_SYS_TIME_H

#include <stddef.h>
#include <stdint.h>

#pragma pack(push, 1)
typedef struct SYS_TIME {
    uint16_t year;         // four digits
    uint8_t month;         // 1-12
    uint8_t day;           // 1-31
    uint8_t hour;          // 0-23
    uint8_t minute;        // 0-59
    uint8_t second;        // 0-59
    uint8_t spare1;
    uint16_t millisecond;  // 0-999
    uint8_t weekday;       // 0 = Sunday
    uint8_t spare2;
    uint16_t yearday;      // 0-365
} SYS_TIME;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(SYS_TIME) == 14, "SYS_TIME is 14 bytes");
static_assert(offsetof(SYS_TIME, millisecond) == 8, "milliseconds at offset 8");
static_assert(offsetof(SYS_TIME, weekday) == 10, "day of the week at offset 10");
static_assert(offsetof(SYS_TIME, yearday) == 12, "day of the year at offset 12");
#endif

#endif
