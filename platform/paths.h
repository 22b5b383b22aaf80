// Paths and folders. Paths are stored and returned with "/"; NormalizePath
// accepts the "\\" forms callers still build ("%s\\User\\%s").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// "\\" becomes "/" and runs of separators collapse to one.
std::string NormalizePath(std::string_view path);

// Everything before the last separator (no trailing separator); "" when none.
std::string ParentFolder(std::string_view path);
// Everything after the last separator.
std::string FileNamePart(std::string_view path);

// Full path of the running executable, from /proc/self/exe; "" when unreadable.
std::string ExecutablePath();

std::optional<std::string> GetEnv(const char* name);

// The per-user folder "%APPDATA%" stands for: $APPDATA, else $XDG_DATA_HOME,
// else $HOME/.local/share. Empty when none of them names a folder.
std::string UserDataHome();

// Expands every %NAME% from the environment ("%APPDATA%" through UserDataHome).
// A name that is not set stays as written, "%%" stays "%%".
std::string ExpandEnvironment(std::string_view text);

bool ChangeDirectory(const std::string& folder);
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
// One level, mode 0755. True when the folder was created.
bool MakeDirectory(const std::string& folder);
// Creates every missing folder along the path. True when it exists afterwards.
bool MakeDirectories(const std::string& folder);

// True when the path exists, or, when its last component holds "*" or "?",
// when some entry of its folder matches that pattern ("[" is literal).
bool AnyPathMatches(const std::string& pathOrPattern);

} // namespace platform
