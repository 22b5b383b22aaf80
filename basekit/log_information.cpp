#include "basekit/log_information.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "basekit/file_manage.h"
#include "basekit/log_file.h"
#include "basekit/shared_lock.h"
#include "basekit/system_functions.h"
#include "basekit/time_functions.h"
#include "platform/text.h"

namespace {

constexpr int kSaveFailureType = 1;
constexpr size_t kTextSize = sizeof(LOG_DATA::text);
constexpr size_t kNameSize = sizeof(LOG_DATA::proc_name);

std::mutex &mappingMutex() {
    static std::mutex mutex;
    return mutex;
}

// The write index is the first word of the mapping, which is page-aligned,
// so it is a properly aligned 32-bit word for the atomic operations.
static_assert(offsetof(LOG_MEM, write_index) == 0, "the write index opens the ring");
uint32_t *writeIndexWord(LOG_MEM *ring) { return reinterpret_cast<uint32_t *>(ring); }

bool validType(int type) { return type >= 0 && type < LogInformation::kTypes; }

// Texts in the ring come from any process; read them within their fields.
std::string boundedText(const char *field, size_t size) { return std::string(field, strnlen(field, size)); }

// A process name from shared memory becomes one harmless file name.
std::string fileNameFor(const std::string &processName) {
    std::string name;
    for (char c : processName)
        name.push_back(c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 ? '_' : c);
    if (name.empty() || name.front() == '.')
        name.insert(name.begin(), '_');
    return name;
}

std::string formatText(const char *format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int wanted = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (wanted <= 0)
        return {};
    std::string text(static_cast<size_t>(wanted) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.pop_back();
    return text;
}

}  // namespace

LOG_MEM *LogInformation::ptr = nullptr;
char LogInformation::proc_name[80] = {};

LogInformation::LogInformation() {
    std::lock_guard<std::mutex> lock(mappingMutex());
    if (ptr == nullptr) {
        void *view = CreateAndMapShareMemory(kKey, static_cast<int>(sizeof(LOG_MEM)), nullptr);
        if (view == nullptr || GetShmSize() < sizeof(LOG_MEM)) {
            LastErrDisp("Create LogShareMemory Error");
        } else {
            ptr = static_cast<LOG_MEM *>(view);
            GetCurProcName(proc_name, sizeof proc_name);
        }
    }
    if (ptr != nullptr)
        readIndex_ = __atomic_load_n(writeIndexWord(ptr), __ATOMIC_ACQUIRE) % kRecords;
}

// The ring lock is only ever held inside WriteLog, so there is nothing to
// release here; clearing it could free another process's lock.
LogInformation::~LogInformation() = default;

void LogInformation::SetDisplay(int type) {
    if (ptr != nullptr && validType(type))
        __atomic_store_n(&ptr->display[type], uint8_t{1}, __ATOMIC_RELAXED);
}

void LogInformation::ClearDisplay(int type) {
    if (ptr != nullptr && validType(type))
        __atomic_store_n(&ptr->display[type], uint8_t{0}, __ATOMIC_RELAXED);
}

void LogInformation::SetAll() {
    if (ptr == nullptr)
        return;
    std::memset(ptr->display, 1, sizeof ptr->display);
    readIndex_ = __atomic_load_n(writeIndexWord(ptr), __ATOMIC_ACQUIRE) % kRecords;
}

void LogInformation::ClearAll() {
    if (ptr == nullptr)
        return;
    std::memset(ptr->display, 0, sizeof ptr->display);
    readIndex_ = __atomic_load_n(writeIndexWord(ptr), __ATOMIC_ACQUIRE) % kRecords;
}

int LogInformation::writeRecord(int type, const char *text) {
    if (ptr == nullptr || !validType(type) || __atomic_load_n(&ptr->display[type], __ATOMIC_RELAXED) != 1)
        return 0;
    const size_t length = std::strlen(text);
    basekit::takeSharedLock(&ptr->lock, "LogInformation");
    int written = 0;
    // An empty text, or one that does not fit the record, only passes the lock.
    if (length > 0 && length < kTextSize) {
        const uint32_t index = __atomic_load_n(writeIndexWord(ptr), __ATOMIC_RELAXED) % kRecords;
        LOG_DATA &record = ptr->records[index];
        record.type = static_cast<uint16_t>(type);
        GetTime(&record.time, 0);
        std::memset(record.proc_name, 0, kNameSize);
        platform::CopyBounded(record.proc_name, kNameSize, proc_name);
        std::memset(record.text, 0, kTextSize);
        std::memcpy(record.text, text, length);
        __atomic_store_n(writeIndexWord(ptr), (index + 1) % kRecords, __ATOMIC_RELEASE);
        written = 1;
    }
    basekit::releaseSharedLock(&ptr->lock);
    return written;
}

int LogInformation::WriteLog(int type, const char *format, ...) {
    if (format == nullptr)
        return 0;
    va_list args;
    va_start(args, format);
    const std::string text = formatText(format, args);
    va_end(args);
    if (type >= kFileTypesFirst && type <= kFileTypesLast) {
        const std::string line = std::string(proc_name) + "-- " + text;
        if (line.size() <= LogFile::kMaxText)
            g_filelog.Log("%s", line.c_str());
    }
    return writeRecord(type, text.c_str());
}

char *LogInformation::ReadLog(char *text, LOG_DATA **record, int save) {
    if (ptr == nullptr)
        return nullptr;
    const uint32_t writeIndex = __atomic_load_n(writeIndexWord(ptr), __ATOMIC_ACQUIRE) % kRecords;
    if (readIndex_ == writeIndex)
        return nullptr;
    std::memcpy(&copy_, &ptr->records[readIndex_], sizeof copy_);
    readIndex_ = (readIndex_ + 1) % kRecords;
    copy_.proc_name[kNameSize - 1] = '\0';
    copy_.text[kTextSize - 1] = '\0';

    char header[160];
    std::snprintf(header, sizeof header, "[ %04d-%02d-%02d %02d:%02d:%02d %03d ] , Type = %d , ProcessName = %s\n",
                  copy_.time.year, copy_.time.month, copy_.time.day, copy_.time.hour, copy_.time.minute,
                  copy_.time.second, copy_.time.millisecond, copy_.type, copy_.proc_name);
    if (text != nullptr)
        std::strcpy(text, header);
    if (record != nullptr)
        *record = &copy_;
    if (save == 1)
        saveRecord(copy_, text != nullptr ? header : nullptr);
    return copy_.text;
}

void LogInformation::saveRecord(const LOG_DATA &record, const char *header) {
    const std::string name = "log/" + fileNameFor(boundedText(record.proc_name, kNameSize)) + ".log";
    BinaryFile file(name.c_str());
    std::string content = "\n";
    if (header != nullptr)
        content += header;
    content += boundedText(record.text, kTextSize);
    const int64_t length = file.get_file_len();
    int written = -1;
    if (file.get_filename()[0] != '\0') {
        written = length > static_cast<int64_t>(kSaveFileLimit)
                      ? file.write_file(content.data(), static_cast<int>(content.size()))
                      : file.append_file(content.data(), static_cast<int>(content.size()));
    }
    if (written < 0)
        WriteLog(kSaveFailureType, "打开文件 %s 失败", file.get_filename()[0] != '\0' ? file.get_filename() : name.c_str());
}

void LogInformation::DisplayBuffer(int type, const void *data, int length) {
    if (ptr == nullptr || data == nullptr || length <= 0 || !validType(type) ||
        __atomic_load_n(&ptr->display[type], __ATOMIC_RELAXED) != 1)
        return;
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    // 320 bytes make 960 hex characters and 10 line breaks: a chunk's text
    // always fits one record, so no byte is dropped.
    for (int start = 0; start < length; start += kDumpChunk) {
        const int end = start + kDumpChunk < length ? start + kDumpChunk : length;
        std::string chunk;
        chunk.reserve(static_cast<size_t>(end - start) * 3 + 16);
        for (int i = start; i < end; ++i) {
            if ((i - start) % 32 == 0)
                chunk.push_back('\n');
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X ", bytes[i]);
            chunk += hex;
        }
        WriteLog(type, "%s", chunk.c_str());
    }
}

LogInformation log_info;

void prt_log(int type, const char *format, ...) {
    if (format == nullptr)
        return;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    log_info.WriteLog(type, "%s", text);
}
