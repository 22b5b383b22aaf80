#include "basekit/file_manage.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "basekit/log_information.h"
#include "basekit/system_functions.h"
#include "basekit/time_functions.h"
#include "platform/clock.h"
#include "platform/file_descriptors.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFixedSizeLogType = 30004;

// The last-write time as nanoseconds since 1970.
bool lastWriteNanoseconds(const char *path, int64_t &nanoseconds) {
    std::error_code ec;
    if (path == nullptr)
        return false;
    const fs::file_time_type stamp = fs::last_write_time(path, ec);
    if (ec)
        return false;
    const auto sys = std::chrono::file_clock::to_sys(stamp);
    nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(sys.time_since_epoch()).count();
    return true;
}

}  // namespace

FileManage::FileManage() { clearNames(); }

FileManage::FileManage(const char *name) {
    clearNames();
    set_filename(name);
}

FileManage &FileManage::operator=(const char *name) {
    set_filename(name);
    return *this;
}

FileManage::~FileManage() = default;

void FileManage::clearNames() {
    fullName_[0] = '\0';
    directory_[0] = '\0';
    fileName_[0] = '\0';
    root_[0] = '\0';
}

int FileManage::set_filename(const char *name) {
    clearNames();
    if (name == nullptr || *name == '\0')
        return 0;
    std::string full = platform::NormalizePath(name);
    if (full.front() != '/') {
        if (!GetSystemRoot_s(root_, sizeof root_))
            return 0;
        full = platform::NormalizePath(std::string(root_) + "/" + full);
    }

    // Work out every part first, so that a refused name creates nothing.
    std::vector<std::string> folders;
    std::string directory = "/";
    size_t start = 1;
    for (size_t slash = full.find('/', start); slash != std::string::npos; slash = full.find('/', start)) {
        directory += full.substr(start, slash - start) + "/";
        folders.push_back(directory);
        start = slash + 1;
    }
    const std::string fileName = full.substr(start);
    if (full.size() >= sizeof fullName_ || directory.size() >= sizeof directory_ ||
        fileName.size() >= sizeof fileName_)
        return 0;

    for (const std::string &folder : folders)
        if (!platform::IsDirectory(folder))
            platform::MakeDirectory(folder);
    platform::CopyIfFits(fullName_, sizeof fullName_, full);
    platform::CopyIfFits(directory_, sizeof directory_, directory);
    platform::CopyIfFits(fileName_, sizeof fileName_, fileName);
    return 1;
}

int FileManage::del_file() { return DeleteFileA(fullName_); }

int64_t FileManage::get_file_len() const { return get_file_len(fullName_); }

int64_t FileManage::get_file_len(const char *path) {
    // A folder opens for reading here but is no file with a length.
    if (path == nullptr || *path == '\0' || platform::IsDirectory(path))
        return -1;
    std::FILE *file = std::fopen(path, "rb");
    if (file == nullptr)
        return -1;
    int64_t length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        length = static_cast<int64_t>(std::ftell(file));
    std::fclose(file);
    return length;
}

int FileManage::DeleteFileA(const char *path) {
    if (path == nullptr || *path == '\0')
        return 0;
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(path, ec)))
        return 0;
    return fs::remove(path, ec) && !ec ? 1 : 0;
}

int64_t FileManage::GetFileAlterTime(const char *path, SYS_TIME *time) {
    int64_t nanoseconds = 0;
    if (!lastWriteNanoseconds(path, nanoseconds))
        return 0;
    int64_t seconds = nanoseconds / 1000000000;
    int64_t rest = nanoseconds % 1000000000;
    if (rest < 0) {
        --seconds;
        rest += 1000000000;
    }
    SYS_TIME local{};
    SecondToSystime(seconds, &local);
    local.millisecond = static_cast<uint16_t>(rest / 1000000);
    if (time != nullptr)
        *time = local;
    int64_t result = 0;
    return SystimeToSecond(&local, &result) ? result : 0;
}

int FileManage::IsDirExist(const char *path) {
    return path != nullptr && *path != '\0' && platform::PathExists(path) ? 1 : 0;
}

int FileManage::IsFileUsing(const char *path) {
    int64_t before = 0;
    if (!lastWriteNanoseconds(path, before))
        return 0;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    int64_t after = 0;
    if (!lastWriteNanoseconds(path, after))
        return 0;
    return before != after ? 1 : 0;
}

int FileManage::IsFileUsingEx(const char *path) {
    if (path == nullptr || platform::CheckFileUse(path) != platform::FileUse::Unused)
        return 1;
    // A writer that closes and reopens the file is caught by a second look.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return platform::CheckFileUse(path) != platform::FileUse::Unused ? 1 : 0;
}

int FileManage::FindFileInDir(const char *folder, char (*names)[kFoundNameSize], int *count, int recurse) {
    int found = 0;
    if (count != nullptr)
        *count = 0;
    if (folder == nullptr || names == nullptr)
        return 0;
    auto take = [&](const fs::directory_entry &entry) {
        std::error_code ec;
        if (!entry.is_regular_file(ec))
            return;
        platform::CopyBounded(names[found], kFoundNameSize, entry.path().filename().string());
        ++found;
    };
    std::error_code ec;
    const auto options = fs::directory_options::skip_permission_denied;
    if (recurse) {
        for (fs::recursive_directory_iterator it(folder, options, ec), end; !ec && it != end && found < kMaxFoundNames;
             it.increment(ec))
            take(*it);
    } else {
        for (fs::directory_iterator it(folder, options, ec), end; !ec && it != end && found < kMaxFoundNames;
             it.increment(ec))
            take(*it);
    }
    if (count != nullptr)
        *count = found;
    return found;
}

int FileManage::GetFileNumInDir(const char *folder, int limit) {
    if (folder == nullptr)
        return 0;
    int counted = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end && counted < limit; it.increment(ec))
        ++counted;
    return counted;
}

int FileManage::CreateFixedSizeFile(const char *path, unsigned length, int flags) {
    prt_log(kFixedSizeLogType, "FileManage::CreateFixedSizeFile the len:%u", length);
    if (path != nullptr && platform::CreateFilledFile(path, length, 0xFF)) {
        const int fd = platform::OpenDescriptor(path, flags);
        if (fd >= 0)
            return fd;
    }
    LastErrDisp("CreateFixedSizeFile open file erro");
    return -1;
}
