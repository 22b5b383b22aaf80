// Key texts: 20 characters of the alphabet 0-9, A-V made from a text and a
// label by two interleaved MD5 digests. The key slots derive their three key
// texts this way, and the cameras derive theirs the same way.
#pragma once

#include <cstddef>

namespace streams {

constexpr std::size_t kKeyTextLength = 20;
constexpr std::size_t kKeyTextInputLimit = 256; // texts and labels stay shorter

// Writes the 20 characters and a terminating zero into `output`. 0 on
// success; 1 when an argument is missing or `outputSize` leaves no room for
// 20 characters and the zero; 2 when `text` is 256 characters or longer; 3
// when `label` is; 4 when the digest library fails.
int qnDeriveKeyText(const char* text, const char* label, char* output, std::size_t outputSize);

} // namespace streams
