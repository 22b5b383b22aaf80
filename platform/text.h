// Text encodings. Narrow text is UTF-8 throughout the program; "wide" text is
// wchar_t (UTF-32 here); files that hold UTF-16 get UTF-16LE.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Malformed UTF-8 sequences decode to U+FFFD, one per offending byte.
std::wstring Utf8ToWide(std::string_view text);
// Code points outside Unicode (or surrogates) encode as U+FFFD.
std::string WideToUtf8(std::wstring_view text);

// UTF-16LE bytes without a byte-order mark; characters above U+FFFF become
// surrogate pairs.
std::string WideToUtf16Le(std::wstring_view text);
// A trailing odd byte is dropped; unpaired surrogates decode to U+FFFD.
std::wstring Utf16LeToWide(std::string_view bytes);

bool IsValidUtf8(std::string_view text);

// Length of the longest prefix of `text` that is at most `maxBytes` long and
// does not end inside a UTF-8 sequence.
std::size_t Utf8PrefixLength(std::string_view text, std::size_t maxBytes);

// Bounded copies into caller buffers of `capacity` elements (terminator
// included). They always terminate when capacity > 0, cut UTF-8 on a character
// boundary, and return true only when the whole text fit.
bool CopyBounded(char* dst, std::size_t capacity, std::string_view src);
bool CopyBounded(wchar_t* dst, std::size_t capacity, std::wstring_view src);

// Copies only when the whole text fits; otherwise leaves `dst` untouched.
bool CopyIfFits(char* dst, std::size_t capacity, std::string_view src);
bool CopyIfFits(wchar_t* dst, std::size_t capacity, std::wstring_view src);

} // namespace platform
