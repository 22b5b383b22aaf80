#include "basekit/system_functions.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "platform/disks.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

// Room the unbounded forms assume; it is what the library's own callers give.
constexpr size_t kRootCapacity = 256;

}  // namespace

int GetSystemRoot_s(char *text, size_t capacity) {
    if (text == nullptr)
        return 0;
    const std::optional<std::string> root = platform::GetEnv("LENTIX_ROOT");
    if (!root)
        return 0;
    std::string value = *root;
    if (!value.empty() && (value.back() == '/' || value.back() == '\\'))
        value.pop_back();
    return platform::CopyIfFits(text, capacity, value) ? 1 : 0;
}

int GetSystemRoot(char *text) { return GetSystemRoot_s(text, kRootCapacity); }

int GetCurProcName(char *text, int size) {
    if (text == nullptr || size <= 0)
        return 0;
    const std::string path = platform::ExecutablePath();
    if (path.empty())
        return 0;
    std::string name = platform::FileNamePart(path);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return platform::CopyIfFits(text, static_cast<size_t>(size), name) ? 1 : 0;
}

void LastErrDisp(const char *message) {
    const std::string text = platform::ErrorText(platform::LastError());
    if (message != nullptr)
        std::printf("%s\n%s\n", message, text.c_str());
    else
        std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

int GetErrNo(void) { return platform::LastError(); }

void delay(int microseconds) {
    // Callers spin on locks with short waits, so even a few microseconds
    // really sleep rather than burn the processor.
    if (microseconds <= 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}

int ReplaceChar_s(char *text, size_t capacity, char character, const char *replacement) {
    if (text == nullptr || capacity == 0)
        return 0;
    const size_t length = strnlen(text, capacity);
    if (length == capacity)
        return 0;  // not terminated within its room
    const std::string_view with = replacement == nullptr ? std::string_view() : std::string_view(replacement);
    std::string result;
    result.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == character)
            result.append(with);
        else
            result.push_back(text[i]);
    }
    return platform::CopyIfFits(text, capacity, result) ? 1 : 0;
}

void ReplaceChar(char *text, char character, const char *replacement) {
    if (text == nullptr)
        return;
    const size_t length = std::strlen(text);
    const size_t width = replacement == nullptr ? 0 : std::strlen(replacement);
    // Without a capacity the text may not grow past what the caller vouches
    // for: the original text length when the replacement is no longer than
    // one character, an unbounded room otherwise (the caller's promise).
    const size_t count = static_cast<size_t>(std::count(text, text + length, character));
    const size_t needed = width <= 1 ? length + 1 : length + count * (width - 1) + 1;
    ReplaceChar_s(text, needed, character, replacement);
}

int GetDiskInfo(DISK_INFO *records, int count) {
    if (records == nullptr || count <= 0)
        return 0;
    std::memset(records, 0, sizeof(DISK_INFO) * static_cast<size_t>(count));
    std::printf("Available drives are:\n");
    const std::vector<platform::MountedDisk> disks = platform::ListMountedDisks(static_cast<size_t>(count));
    int filled = 0;
    for (const platform::MountedDisk &disk : disks) {
        if (disk.totalBytes == 0) {
            std::printf("error: %lu:  could not get free space for \"%s\"\n", 0ul, disk.mountPoint.c_str());
            continue;
        }
        DISK_INFO &record = records[filled++];
        platform::CopyBounded(record.drive, sizeof record.drive, disk.mountPoint);
        record.freeKiB = static_cast<uint32_t>(std::min<uint64_t>(disk.freeBytes / 1024, 0xFFFFFFFFu));
        const uint64_t used = disk.totalBytes > disk.freeBytes ? disk.totalBytes - disk.freeBytes : 0;
        std::snprintf(record.usedPercent, sizeof record.usedPercent, "%u",
                      static_cast<unsigned>(used * 100 / disk.totalBytes));
        if (filled == count)
            break;
    }
    return filled;
}
