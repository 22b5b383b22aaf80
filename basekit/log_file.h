/*
 * LogFile appends "[ yyyy-mm-dd hh:mm:ss mmm ] text" lines to a file that
 * changes with the period (a year, month, day or hour of local time) in one
 * folder. Writers of all processes take turns through a lock word in shared
 * memory (key 19810811), so lines never interleave.
 */
#ifndef BASEKIT_LOG_FILE_H
#define BASEKIT_LOG_FILE_H

#include <stddef.h>
#include <stdint.h>

#include <atomic>
#include <mutex>

#include "basekit/export.h"
#include "basekit/share_memory.h"

// Period of a LogFile: the file name pattern, followed by ".log".
enum LOG_TYPE {
    LOG_TYPE_YEAR = 0,   // "%Y"
    LOG_TYPE_MONTH = 1,  // "%Y-%m"
    LOG_TYPE_DAY = 2,    // "%Y%m%d"
    LOG_TYPE_HOUR = 3,   // "%Y%m%d%H"
};

class BASEKIT_API LogFile {
public:
    static constexpr int kLockKey = 19810811;
    static constexpr int kLockBlockSize = 4096;
    static constexpr size_t kMaxText = 1023;

    // Folder "." and a file a month.
    LogFile();
    LogFile(const char *folder, LOG_TYPE type);
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;
    ~LogFile();

    // A relative name goes below the current directory, an absolute one is
    // used as it is; the folder is created when missing.
    void SetPath(const char *name);
    const char *GetPath() const { return folder_; }
    void SetFileName(const char *name);
    const char *GetFileName() const { return fileName_; }

    // Writes one line; a text longer than 1023 characters is cut there and
    // ends in "...". An empty text writes nothing. 1 when a line was written.
    int Log(const char *format, ...) __attribute__((format(printf, 2, 3)));

    int IsOpen() const { return fd_ >= 0 ? 1 : 0; }
    void Close();
    int OpenFile();
    int Write2File(const void *data, int length);

    // The cross-process lock. A lock left taken for more than two seconds
    // (by a process that died holding it) is taken over with a warning.
    void Lock();
    // Releases the lock only when this object holds it.
    void Unlock();

private:
    void rollPeriod();

    char fileName_[512] = {};
    int fd_ = -1;
    char folder_[512] = {};
    char period_[12] = {};
    LOG_TYPE type_ = LOG_TYPE_MONTH;
    ShareMemory lockMemory_;
    uint32_t *lockWord_ = nullptr;
    std::mutex threadLock_;  // threads of this process, which share one lock word
    std::atomic<bool> holdsLock_{false};
};

extern BASEKIT_API LogFile g_filelog;

#endif
