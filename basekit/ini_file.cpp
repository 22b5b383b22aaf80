#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "basekit/file_manage.h"
#include "platform/text.h"

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trimRight(std::string_view text) {
    const size_t end = text.find_last_not_of(kBlanks);
    return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

std::string_view trimLeft(std::string_view text) {
    const size_t start = text.find_first_not_of(kBlanks);
    return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

// A section line holds "[" and, after it, "]"; names shorter than two
// characters never match.
bool isSectionLine(std::string_view line, std::string_view section) {
    const size_t open = line.find('[');
    if (open == std::string_view::npos)
        return false;
    const size_t close = line.find(']', open + 1);
    if (close == std::string_view::npos)
        return false;
    const std::string_view name = line.substr(open + 1, close - open - 1);
    return name.size() >= 2 && name == section;
}

// Whole lines are read, however long, so that the tail of a long line is
// never taken for a line of its own.
std::optional<std::string> findValue(const char *path, std::string_view section, std::string_view key) {
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    std::string raw;
    bool inSection = false;
    while (std::getline(in, raw)) {
        std::string_view line = raw;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!inSection) {
            inSection = isSectionLine(line, section);
            continue;
        }
        if (line.find("[END]") != std::string_view::npos)
            return std::nullopt;
        line = trimLeft(line);
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos || trimRight(line.substr(0, equals)) != key)
            continue;
        std::string_view value = trimLeft(line.substr(equals + 1));
        const size_t comment = value.find("//");
        if (comment != std::string_view::npos)
            value = value.substr(0, comment);
        return std::string(trimRight(value));
    }
    return std::nullopt;
}

}  // namespace

IniFile::~IniFile() = default;

int IniFile::ReadKeyValue(const char *section, const char *key, char *value, size_t capacity) {
    if (section == nullptr || key == nullptr || value == nullptr || capacity == 0 || fullName_[0] == '\0')
        return 0;
    const std::optional<std::string> found = findValue(fullName_, section, key);
    if (!found)
        return 0;
    platform::CopyBounded(value, capacity < kValueCapacity ? capacity : kValueCapacity, *found);
    return 1;
}

int IniFile::ReadKeyValue(const char *section, const char *key, char *value) {
    return ReadKeyValue(section, key, value, kValueCapacity);
}

int IniFile::ReadKeyStringValue(const char *section, const char *key, char *value) {
    return ReadKeyValue(section, key, value, kValueCapacity);
}

int IniFile::ReadKeyIntValue(const char *section, const char *key, int *value) {
    char text[kValueCapacity];
    if (value == nullptr || !ReadKeyValue(section, key, text, sizeof text))
        return 0;
    return std::sscanf(text, "%d", value) == 1 ? 1 : 0;
}

int IniFile::ReadKeyFloatValue(const char *section, const char *key, float *value) {
    char text[kValueCapacity];
    if (value == nullptr || !ReadKeyValue(section, key, text, sizeof text))
        return 0;
    return std::sscanf(text, "%f", value) == 1 ? 1 : 0;
}
