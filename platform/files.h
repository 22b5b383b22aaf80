// Whole-file reads and writes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

std::optional<std::string> ReadWholeFile(const std::string& path);

// Creates or truncates the file and writes the bytes.
bool WriteWholeFile(const std::string& path, std::string_view bytes);

// Writes a temporary file beside `path` and renames it over `path`, so readers
// see either the old or the new content. New files get `mode`; an existing
// file keeps its own mode.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, unsigned mode = 0644);

// Appends with one write() on an O_APPEND descriptor, so lines from several
// threads or processes never tear.
bool AppendToFile(const std::string& path, std::string_view bytes);

bool RemoveFile(const std::string& path);

} // namespace platform
