// Small text helpers of the stream engine.
#pragma once

namespace streams {

// Occurrences of `c` in `text` (0 for no text).
int CountChar(const char* text, char c);
// Lower-cases the ASCII letters of `text` in place; other bytes stay.
void LowerAscii(char* text);
// Called by reader threads as they start; does nothing.
int StreamThreadHook();

} // namespace streams
