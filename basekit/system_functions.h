/*
 * basekit's free functions for the system root, the process name, system
 * error texts, short waits, character replacement and disk space.
 */
#ifndef BASEKIT_SYSTEM_FUNCTIONS_H
#define BASEKIT_SYSTEM_FUNCTIONS_H

#include <stddef.h>
#include <stdint.h>

#include "basekit/export.h"

#pragma pack(push, 1)
// One mounted file system as GetDiskInfo reports it.
typedef struct DISK_INFO {
    char drive[32];       // mount point, cut to 31 characters
    uint32_t freeKiB;     // free space in KiB, 0xFFFFFFFF at 4 TiB and above
    char usedPercent[8];  // used space as a whole percentage, decimal text
} DISK_INFO;
#pragma pack(pop)
#ifdef __cplusplus
static_assert(sizeof(DISK_INFO) == 44, "DISK_INFO is 44 bytes");
#endif

BASEKIT_C_BEGIN

// LENTIX_ROOT with one trailing separator removed; 1, or 0 when the variable
// is not set. The unbounded form assumes room for 256 characters and refuses
// longer roots; the _s form takes the capacity of the text.
BASEKIT_API int GetSystemRoot(char *text);
BASEKIT_API int GetSystemRoot_s(char *text, size_t capacity);

// The program's file name without its folder and its last extension.
BASEKIT_API int GetCurProcName(char *text, int size);

// Prints "message\nsystem text" of the calling thread's last error, or only
// the system text when there is no message.
BASEKIT_API void LastErrDisp(const char *message);
BASEKIT_API int GetErrNo(void);

// Sleeps the given number of microseconds.
BASEKIT_API void delay(int microseconds);

// Replaces every occurrence of a character: an empty or missing replacement
// removes it, a longer one widens the text. The unbounded form trusts the
// caller for room; the _s form takes the capacity and returns 0, leaving the
// text as it was, when the result would not fit.
BASEKIT_API void ReplaceChar(char *text, char character, const char *replacement);
BASEKIT_API int ReplaceChar_s(char *text, size_t capacity, char character, const char *replacement);

// Fills at most `count` records with the real mounted file systems; returns
// the number filled. The current directory is left alone.
BASEKIT_API int GetDiskInfo(DISK_INFO *records, int count);

BASEKIT_C_END

#endif
