#include "platform/registry.h"

#include "platform/ini.h"
#include "platform/paths.h"

#include <cstdio>

namespace platform {
namespace {

// Values are stored quoted, with "%", quotes and control characters as %XX, so
// that the ini rules (trimming, line structure) never change them.
std::string Escape(std::string_view value)
{
    std::string out = "\"";
    for (unsigned char c : value) {
        if (c < 0x20 || c == '%' || c == '"' || c == 0x7F) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out + "\"";
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Unescape(std::string_view stored)
{
    std::string out;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '%' && i + 2 < stored.size() + 0 && HexValue(stored[i + 1]) >= 0 &&
            HexValue(stored[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(stored[i + 1]) * 16 + HexValue(stored[i + 2])));
            i += 2;
        } else {
            out.push_back(stored[i]);
        }
    }
    return out;
}

} // namespace

std::optional<std::string> RegistryStore::Get(std::string_view keyPath, std::string_view valueName) const
{
    auto stored = ReadIniValue(path_, keyPath, valueName);
    if (!stored) return std::nullopt;
    return Unescape(*stored);
}

bool RegistryStore::Set(std::string_view keyPath, std::string_view valueName, std::string_view value) const
{
    std::string folder = ParentFolder(path_);
    if (!folder.empty() && !IsDirectory(folder) && !MakeDirectories(folder)) return false;
    return WriteIniValue(path_, keyPath, valueName, Escape(value), 0600);
}

} // namespace platform
