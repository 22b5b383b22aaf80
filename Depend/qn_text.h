// Text conversions. The "ANSI" side is UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Both clear the whole buffer first and give the number of elements written,
// terminator included, or 0 when the text does not fit (or an argument is
// missing).
int QNAnsiToWide(const char* text, wchar_t* buffer, int count);
int QNWideToAnsi(const wchar_t* text, char* buffer, int size);

// "0"-"9" for 0-9, "A"-"F" for 10-15; "?" for anything else.
char QNHexDigit(int value);

// The pieces between occurrences of `delimiter`, in order: adjacent delimiters
// give empty pieces, a trailing delimiter an empty last piece, and an empty
// text no pieces.
std::vector<std::string> QNSplitString(std::string_view text, char delimiter);
