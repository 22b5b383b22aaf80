// A fresh folder under the system's temporary folder, removed with everything
// in it at the end of the scope.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testing_support {

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ostrels-XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        if (made == nullptr) std::abort();
        path_ = made;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

} // namespace testing_support
