// Date and time texts of the local time, and second counts.
//
// The text functions take a buffer and its capacity; they give 0 for a null
// buffer or a capacity below 24, else clear the buffer, write the text and
// give 1.
#pragma once

#include <cstdint>
#include <ctime>

int QNGetDateText(char* buffer, int capacity);        // "%d%02d%02d"
int QNGetDotDateText(wchar_t* buffer, int capacity);  // "%d.%02d.%02d"
int QNGetDateTimeText(char* buffer, int capacity);    // "%d%02d%02d_%02d%02d%02d"
int QNGetDateTimeText(wchar_t* buffer, int capacity);
int QNGetTimeText(char* buffer, int capacity);        // "%02d:%02d:%02d_%03d"
int QNGetTimeText(wchar_t* buffer, int capacity);

// Seconds since 1970 (UTC), low 32 bits.
uint32_t QNTime();
// The local broken-down time of a second count; the count is unsigned, so
// instants after 2038 stay in the future. Returns 1 (0 for a null record).
int QNLocalTime(uint32_t seconds, std::tm* record);
// "%d%02d%02d_%02d:%02d:%02d" of the local time; 0 for a null buffer or a
// capacity of 23 or less.
int QNTimeToText(uint32_t seconds, char* buffer, int capacity);
