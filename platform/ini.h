// Ini files with the private-profile rules the program's stored files rely on:
// section and key names compare without regard to case and are trimmed, as are
// values; one pair of surrounding quotes is stripped on reading; the first
// matching section and key win; a write changes one line in place and keeps
// every other line byte for byte, appends a missing section, creates a missing
// file, and replaces the file atomically. Lines starting with ";" or "#" are
// comments. A file that starts with a UTF-16LE byte-order mark is read and
// rewritten as UTF-16LE; every other file is UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The same rules on the bytes of a file held in memory: the value, or the new
// bytes of the file after the write (empty when the write is refused).
std::optional<std::string> FindIniValue(std::string_view fileBytes, std::string_view section, std::string_view key);
std::optional<std::string> UpdateIniValue(std::string_view fileBytes, std::string_view section, std::string_view key,
                                          std::string_view value);

// Empty when the file, the section or the key is missing. A key line without
// "=" reads as an empty value.
std::optional<std::string> ReadIniValue(const std::string& path, std::string_view section, std::string_view key);

// False when the file cannot be written, when it exists but cannot be read,
// when a text is not UTF-8, or when a name is empty or holds a line break, a key holds "=" or starts
// like a section or a comment, or a value holds a line break (any of which
// would change the file's structure). A new file gets `newFileMode`.
bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value, unsigned newFileMode = 0644);

} // namespace platform
