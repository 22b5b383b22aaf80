#include "platform/ini.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <mutex>
#include <vector>

namespace platform {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

enum class Encoding { Utf8, Utf8WithBom, Utf16Le };

struct Line {
    std::string text; // without the line end
    bool crlf = false;
    bool terminated = true;
};

struct IniText {
    Encoding encoding = Encoding::Utf8;
    std::vector<Line> lines;
    bool crlfStyle = false; // how new lines end
};

std::string_view Trim(std::string_view s)
{
    std::size_t b = s.find_first_not_of(" \t\r\n\f\v");
    if (b == std::string_view::npos) return {};
    std::size_t e = s.find_last_not_of(" \t\r\n\f\v");
    return s.substr(b, e - b + 1);
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

IniText Parse(std::string bytes)
{
    IniText ini;
    std::string text;
    if (bytes.compare(0, kUtf16LeBom.size(), kUtf16LeBom) == 0) {
        ini.encoding = Encoding::Utf16Le;
        text = WideToUtf8(Utf16LeToWide(std::string_view(bytes).substr(kUtf16LeBom.size())));
    } else if (bytes.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0) {
        ini.encoding = Encoding::Utf8WithBom;
        text = bytes.substr(kUtf8Bom.size());
    } else {
        text = std::move(bytes);
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        Line line;
        if (end == std::string::npos) {
            line.text = text.substr(start);
            line.terminated = false;
            start = text.size();
        } else {
            line.text = text.substr(start, end - start);
            start = end + 1;
        }
        if (!line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.crlf = true;
        }
        ini.lines.push_back(std::move(line));
    }
    ini.crlfStyle = !ini.lines.empty() && ini.lines.front().crlf;
    return ini;
}

std::string Serialise(const IniText& ini)
{
    std::string text;
    for (const Line& line : ini.lines) {
        text += line.text;
        if (line.terminated) text += line.crlf ? "\r\n" : "\n";
    }
    switch (ini.encoding) {
    case Encoding::Utf16Le: return std::string(kUtf16LeBom) + WideToUtf16Le(Utf8ToWide(text));
    case Encoding::Utf8WithBom: return std::string(kUtf8Bom) + text;
    case Encoding::Utf8: break;
    }
    return text;
}

// The name of a section header line, or nothing for other lines.
std::optional<std::string_view> SectionName(std::string_view line)
{
    std::string_view t = Trim(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    std::size_t close = t.find(']');
    return Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

bool IsComment(std::string_view line)
{
    std::string_view t = Trim(line);
    return !t.empty() && (t.front() == ';' || t.front() == '#');
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> KeyOf(std::string_view line)
{
    std::string_view t = Trim(line);
    if (t.empty() || IsComment(t) || SectionName(t)) return std::nullopt;
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return KeyLine{t, {}};
    return KeyLine{Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

struct Position {
    std::size_t header = 0;           // line of the section header
    std::size_t end = 0;              // one past the section's last line
    std::optional<std::size_t> key;   // line of the key, when present
};

std::optional<Position> Find(const IniText& ini, std::string_view section, std::string_view key)
{
    std::optional<Position> found;
    for (std::size_t i = 0; i < ini.lines.size(); ++i) {
        auto name = SectionName(ini.lines[i].text);
        if (!found) {
            if (name && SameName(*name, section)) found = Position{i, ini.lines.size(), std::nullopt};
            continue;
        }
        if (name) {
            found->end = i;
            break;
        }
        auto line = KeyOf(ini.lines[i].text);
        if (line && !found->key && SameName(line->key, key)) found->key = i;
    }
    return found;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

std::mutex& WriteMutex()
{
    static std::mutex mutex; // read-modify-write of one file from two threads
    return mutex;
}

} // namespace

std::optional<std::string> FindIniValue(std::string_view fileBytes, std::string_view section, std::string_view key)
{
    IniText ini = Parse(std::string(fileBytes));
    auto pos = Find(ini, Trim(section), Trim(key));
    if (!pos || !pos->key) return std::nullopt;
    std::string_view value = KeyOf(ini.lines[*pos->key].text)->value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::optional<std::string> UpdateIniValue(std::string_view fileBytes, std::string_view section, std::string_view key,
                                          std::string_view value)
{
    section = Trim(section);
    key = Trim(key);
    // A key that reads as a section or a comment could be written but never read.
    bool unreadableKey = !key.empty() && (key.front() == '[' || key.front() == ';' || key.front() == '#');
    if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) || unreadableKey ||
        key.find('=') != std::string_view::npos || section.find(']') != std::string_view::npos ||
        HasLineBreak(value) || !IsValidUtf8(section) || !IsValidUtf8(key) || !IsValidUtf8(value))
        return std::nullopt;

    IniText ini = Parse(std::string(fileBytes));
    auto pos = Find(ini, section, key);
    auto newLine = [&](std::string text) { return Line{std::move(text), ini.crlfStyle, true}; };

    if (pos && pos->key) {
        Line& line = ini.lines[*pos->key];
        std::string keptKey(KeyOf(line.text)->key);
        // Keep the line's indentation as it was.
        std::size_t indent = line.text.find_first_not_of(" \t");
        line.text = line.text.substr(0, indent) + keptKey + "=" + std::string(value);
    } else {
        if (!ini.lines.empty() && !ini.lines.back().terminated) {
            ini.lines.back().terminated = true;
            ini.lines.back().crlf = ini.crlfStyle;
        }
        std::string entry = std::string(key) + "=" + std::string(value);
        if (pos) {
            std::size_t at = pos->end;
            while (at > pos->header + 1 && Trim(ini.lines[at - 1].text).empty()) --at;
            ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(at), newLine(entry));
        } else {
            ini.lines.push_back(newLine("[" + std::string(section) + "]"));
            ini.lines.push_back(newLine(entry));
        }
    }
    return Serialise(ini);
}

std::optional<std::string> ReadIniValue(const std::string& path, std::string_view section, std::string_view key)
{
    auto bytes = ReadWholeFile(path);
    if (!bytes) return std::nullopt;
    return FindIniValue(*bytes, section, key);
}

bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value, unsigned newFileMode)
{
    std::lock_guard lock(WriteMutex());
    auto bytes = ReadWholeFile(path);
    // A file that is there but cannot be read must not be replaced by one
    // holding only the new value.
    if (!bytes && PathExists(path)) return false;
    auto updated = UpdateIniValue(bytes ? *bytes : std::string(), section, key, value);
    if (!updated) return false;
    return ReplaceFileAtomically(path, *updated, bytes ? 0644 : newFileMode);
}

} // namespace platform
