// String values of the program's per-user key "Software\OstrelS\<sub-key>",
// kept in "registry.ini" in the data folder.
#pragma once

// Values are at most this many characters long when read back.
constexpr int kQNRegValueLimit = 128;

// Copies the value into the destination, cut to capacity - 1 characters and
// always terminated; 1 when found, 0 when the key or value is missing or the
// value is longer than kQNRegValueLimit.
int QNGetRegString(const wchar_t* subKey, const wchar_t* valueName, wchar_t* destination, int capacity);
// Stores the value, creating the key as needed; 1 on success.
int QNSetRegString(const wchar_t* subKey, const wchar_t* valueName, const wchar_t* text);
