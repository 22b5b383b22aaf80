// A per-user key-value store in place of the system registry: one ini-syntax
// file (mode 0600) with one section per key path, rewritten atomically.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

class RegistryStore {
public:
    explicit RegistryStore(std::string filePath) : path_(std::move(filePath)) {}

    const std::string& FilePath() const { return path_; }

    // `keyPath` names the key as the system would ("Software\\OstrelS\\Client_Ostrel").
    std::optional<std::string> Get(std::string_view keyPath, std::string_view valueName) const;
    // Creates the file, its folder and the key when missing. Any text can be
    // stored, line breaks and surrounding blanks included.
    bool Set(std::string_view keyPath, std::string_view valueName, std::string_view value) const;

private:
    std::string path_;
};

} // namespace platform
