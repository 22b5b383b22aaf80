// What the file play module's parts share.
#pragma once

#include <cstddef>
#include <cstring>

namespace fileplay {

// What a reset of a source clears.
inline const char* const kClearOnReset[] = {"all_que", "pano_info", "v0_que", "v1_que", "au_que", "data_que"};
constexpr std::size_t kRecordPathBytes = 256;

inline bool Is(const char* text, const char* expected)
{
    return text != nullptr && std::strcmp(text, expected) == 0;
}

// A path of a record: not empty and ending within its 256 bytes.
inline bool Terminated(const char* path)
{
    return std::memchr(path, '\0', kRecordPathBytes) != nullptr && path[0] != '\0';
}

} // namespace fileplay
