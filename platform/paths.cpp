#include "platform/paths.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

std::string NormalizePath(std::string_view path)
{
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '\\') c = '/';
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out.push_back(c);
    }
    return out;
}

std::string ParentFolder(std::string_view path)
{
    std::size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut));
}

std::string FileNamePart(std::string_view path)
{
    std::size_t cut = path.find_last_of("/\\");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string ExecutablePath()
{
    std::string buffer(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return {};
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

std::optional<std::string> GetEnv(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::string UserDataHome()
{
    for (const char* name : {"APPDATA", "XDG_DATA_HOME"}) {
        auto value = GetEnv(name);
        if (value && !value->empty()) return NormalizePath(*value);
    }
    auto home = GetEnv("HOME");
    if (home && !home->empty()) return NormalizePath(*home + "/.local/share");
    return {};
}

std::string ExpandEnvironment(std::string_view text)
{
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t open = text.find('%', i);
        if (open == std::string_view::npos) break;
        std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) break;
        out.append(text.substr(i, open - i));
        std::string name(text.substr(open + 1, close - open - 1));
        std::optional<std::string> value;
        if (name == "APPDATA") {
            std::string home = UserDataHome();
            if (!home.empty()) value = home;
        } else if (!name.empty()) {
            value = GetEnv(name.c_str());
        }
        if (value) {
            out.append(*value);
            i = close + 1;
        } else {
            // Left as written; the closing mark may open the next name.
            out.append(text.substr(open, close - open));
            i = close;
        }
    }
    out.append(text.substr(i));
    return out;
}

bool ChangeDirectory(const std::string& folder) { return ::chdir(folder.c_str()) == 0; }

bool PathExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectory(const std::string& folder) { return ::mkdir(folder.c_str(), 0755) == 0; }

bool MakeDirectories(const std::string& folder)
{
    std::string path = NormalizePath(folder);
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') {
            std::string part = path.substr(0, pos);
            if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    return IsDirectory(path);
}

bool AnyPathMatches(const std::string& pathOrPattern)
{
    std::string path = NormalizePath(pathOrPattern);
    std::string name = FileNamePart(path);
    if (name.find_first_of("*?") == std::string::npos) return PathExists(path);

    std::string folder = ParentFolder(path);
    if (folder.empty()) folder.assign(1, path.front() == '/' ? '/' : '.');
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return false;
    // Only "*" and "?" are wild, as in the system's own file search.
    std::string pattern;
    for (char c : name) {
        if (c == '[' || c == ']' || c == '\\') pattern.push_back('\\');
        pattern.push_back(c);
    }
    bool found = false;
    while (dirent* entry = ::readdir(dir)) {
        std::string entryName = entry->d_name;
        if (entryName == "." || entryName == "..") continue;
        if (::fnmatch(pattern.c_str(), entryName.c_str(), 0) == 0) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

} // namespace platform
