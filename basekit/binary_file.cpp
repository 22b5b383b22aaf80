#include <cstdio>
#include <filesystem>
#include <system_error>

#include "basekit/file_manage.h"
#include "platform/paths.h"

namespace {

int writeWith(const char *path, const char *mode, const void *data, int length) {
    if (*path == '\0' || length < 0 || (data == nullptr && length > 0))
        return -1;
    std::FILE *file = std::fopen(path, mode);
    if (file == nullptr)
        return -1;
    const size_t written = length > 0 ? std::fwrite(data, 1, static_cast<size_t>(length), file) : 0;
    const bool closed = std::fclose(file) == 0;
    if (!closed && written == static_cast<size_t>(length))
        return -1;
    return static_cast<int>(written);
}

}  // namespace

BinaryFile::~BinaryFile() = default;

int BinaryFile::read_file(void *buffer, int size) {
    if (fullName_[0] == '\0' || size < 0 || (buffer == nullptr && size > 0) || platform::IsDirectory(fullName_))
        return -1;
    std::FILE *file = std::fopen(fullName_, "rb");
    if (file == nullptr)
        return -1;
    const size_t got = size > 0 ? std::fread(buffer, 1, static_cast<size_t>(size), file) : 0;
    std::fclose(file);
    return static_cast<int>(got);
}

int BinaryFile::write_file(const void *data, int length) {
    const int written = writeWith(fullName_, "w+b", data, length);
    if (written >= 0) {
        std::error_code ec;
        std::filesystem::permissions(fullName_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::replace, ec);
    }
    return written;
}

int BinaryFile::append_file(const void *data, int length) {
    if (fullName_[0] == '\0')
        return -1;
    std::FILE *probe = std::fopen(fullName_, "ab");
    if (probe == nullptr)
        return write_file(data, length);
    std::fclose(probe);
    return writeWith(fullName_, "ab", data, length);
}
