#include "basekit/log_file.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "basekit/shared_lock.h"
#include "platform/clock.h"
#include "platform/file_descriptors.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

constexpr char kCutMark[] = "...";

// The period text of a local time for a LOG_TYPE; the same as strftime's
// "%Y", "%Y-%m", "%Y%m%d" and "%Y%m%d%H".
void periodText(LOG_TYPE type, const platform::CivilTime &now, char *text, size_t capacity) {
    switch (type) {
    case LOG_TYPE_YEAR:
        std::snprintf(text, capacity, "%04d", now.year);
        break;
    case LOG_TYPE_MONTH:
        std::snprintf(text, capacity, "%04d-%02d", now.year, now.month);
        break;
    case LOG_TYPE_DAY:
        std::snprintf(text, capacity, "%04d%02d%02d", now.year, now.month, now.day);
        break;
    case LOG_TYPE_HOUR:
    default:
        std::snprintf(text, capacity, "%04d%02d%02d%02d", now.year, now.month, now.day, now.hour);
        break;
    }
}

}  // namespace

LogFile::LogFile() : LogFile(".", LOG_TYPE_MONTH) {}

LogFile::LogFile(const char *folder, LOG_TYPE type) : type_(type) {
    // The lock word is left as it is: creation zero-fills it, and another
    // process may hold it right now.
    void *block = lockMemory_.CreateAndMapShareMemory(kLockKey, kLockBlockSize, nullptr);
    if (block != nullptr && lockMemory_.GetShmSize() >= sizeof(uint32_t))
        lockWord_ = static_cast<uint32_t *>(block);
    else
        std::fprintf(stderr, "LogFile: no shared lock word, lines of other processes may interleave\n");
    SetPath(folder);
}

LogFile::~LogFile() {
    Unlock();
    Close();
}

void LogFile::SetPath(const char *name) {
    if (name == nullptr)
        return;
    std::string folder = platform::NormalizePath(name);
    if (folder.empty() || folder.front() != '/') {
        std::error_code ec;
        std::string current = std::filesystem::current_path(ec).string();
        if (current.empty() || current.back() != '/')
            current += '/';
        folder = current + folder;
    }
    if (!platform::CopyIfFits(folder_, sizeof folder_, folder))
        return;
    if (!platform::IsDirectory(folder))
        platform::MakeDirectories(folder);
    // The next line goes to the new folder, not on to the old file.
    period_[0] = '\0';
    Close();
    std::printf("set _szPath %s \n", folder_);
}

void LogFile::SetFileName(const char *name) {
    if (name != nullptr)
        platform::CopyBounded(fileName_, sizeof fileName_, name);
}

void LogFile::Close() {
    if (fd_ >= 0)
        platform::CloseDescriptor(fd_);
    fd_ = -1;
}

int LogFile::OpenFile() {
    if (fd_ >= 0)
        return 1;
    if (fileName_[0] == '\0')
        return 0;
    fd_ = platform::OpenDescriptor(fileName_, platform::kOpenWriteOnly | platform::kOpenCreate | platform::kOpenAppend,
                                   0644);
    return fd_ >= 0 ? 1 : 0;
}

int LogFile::Write2File(const void *data, int length) {
    if (fd_ < 0 || data == nullptr || length <= 0)
        return 0;
    const long long written = platform::WriteDescriptor(fd_, data, static_cast<size_t>(length));
    return written > 0 ? static_cast<int>(written) : 0;
}

void LogFile::Lock() {
    threadLock_.lock();
    if (lockWord_ != nullptr)
        basekit::takeSharedLock(lockWord_, "LogFile");
    holdsLock_.store(true);
}

void LogFile::Unlock() {
    if (!holdsLock_.exchange(false))
        return;
    if (lockWord_ != nullptr)
        basekit::releaseSharedLock(lockWord_);
    threadLock_.unlock();
}

void LogFile::rollPeriod() {
    char period[sizeof period_];
    periodText(type_, platform::LocalNow(), period, sizeof period);
    if (std::strcmp(period, period_) == 0 && fileName_[0] != '\0')
        return;
    std::string name = folder_;
    if (name.empty() || name.back() != '/')
        name += '/';
    name += std::string(period) + ".log";
    if (!platform::CopyIfFits(fileName_, sizeof fileName_, name))
        fileName_[0] = '\0';
    std::memcpy(period_, period, sizeof period_);
    Close();
}

int LogFile::Log(const char *format, ...) {
    if (format == nullptr)
        return 0;
    const platform::CivilTime now = platform::LocalNow();
    char line[40 + kMaxText + 2];
    const int prefix = std::snprintf(line, 40, "[ %04d-%02d-%02d %02d:%02d:%02d %03d ] ", now.year, now.month, now.day,
                                     now.hour, now.minute, now.second, now.millisecond);

    char text[kMaxText + 1];
    va_list args;
    va_start(args, format);
    const int wanted = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (wanted <= 0)
        return 0;
    std::string_view body(text);
    std::string cut;
    if (static_cast<size_t>(wanted) > kMaxText) {
        // Keep what fits, on a character boundary, and mark the cut.
        const size_t keep = platform::Utf8PrefixLength(body, kMaxText - (sizeof kCutMark - 1));
        cut = std::string(body.substr(0, keep)) + kCutMark;
        body = cut;
    }
    size_t length = static_cast<size_t>(prefix);
    std::memcpy(line + length, body.data(), body.size());
    length += body.size();
    line[length++] = '\n';

    Lock();
    rollPeriod();
    int written = 0;
    if (OpenFile())
        written = Write2File(line, static_cast<int>(length)) == static_cast<int>(length) ? 1 : 0;
    Unlock();
    return written;
}

LogFile g_filelog("rcdlog", LOG_TYPE_DAY);
