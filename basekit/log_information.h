/*
 * The machine-wide log ring LOG_MEM (shared-memory key 19810810): 4096 typed
 * LOG_DATA records that every process writes and any process can read, with
 * one display flag per record type deciding which types are written.
 */
#ifndef BASEKIT_LOG_INFORMATION_H
#define BASEKIT_LOG_INFORMATION_H

#include <stddef.h>
#include <stdint.h>

#include "basekit/export.h"
#include "basekit/share_memory.h"
#include "basekit/sys_time.h"

#pragma pack(push, 1)
typedef struct LOG_DATA {
    uint16_t type;       // 0-49,999
    SYS_TIME time;       // of the write
    char proc_name[16];  // the writer's name, zero-terminated
    char text[1024];     // zero-terminated; the last byte is always 0
} LOG_DATA;

typedef struct LOG_MEM {
    uint32_t write_index;  // 0-4095: the record the next write fills
    uint8_t lock;          // 1 while a writer works
    uint8_t display[50000];
    uint8_t spare1;
    LOG_DATA records[4096];
    uint8_t spare2[2];
} LOG_MEM;
#pragma pack(pop)

static_assert(sizeof(LOG_DATA) == 1056, "LOG_DATA is 1056 bytes");
static_assert(offsetof(LOG_DATA, proc_name) == 16 && offsetof(LOG_DATA, text) == 32, "LOG_DATA layout");
static_assert(sizeof(LOG_MEM) == 4375384, "LOG_MEM is 4,375,384 bytes");
static_assert(offsetof(LOG_MEM, display) == 5 && offsetof(LOG_MEM, records) == 50006, "LOG_MEM layout");

class BASEKIT_API LogInformation : public ShareMemory {
public:
    static constexpr int kKey = 19810810;
    static constexpr int kTypes = 50000;
    static constexpr uint32_t kRecords = 4096;
    static constexpr int kFileTypesFirst = 20000;
    static constexpr int kFileTypesLast = 21000;
    static constexpr uint64_t kSaveFileLimit = 5242880;
    static constexpr int kDumpChunk = 320;

    // Maps the ring when the process has not mapped it yet. A failure is
    // printed and leaves the ring disabled; it never ends the process. A new
    // reader starts at the current write index.
    LogInformation();
    ~LogInformation() override;

    void SetDisplay(int type);
    void ClearDisplay(int type);
    void SetAll();
    void ClearAll();

    // 1 when a record went into the ring.
    int WriteLog(int type, const char *format, ...) __attribute__((format(printf, 3, 4)));
    // The next unread record's text, or nullptr once caught up. The record is
    // copied for this reader, so writers cannot change it under the caller.
    // `text` (at least 128 characters) receives a header line; with `save`
    // the record is appended to "log/<process>.log" under the system root.
    char *ReadLog(char *text, LOG_DATA **record, int save);
    // The data as hexadecimal text records of 320 bytes each.
    void DisplayBuffer(int type, const void *data, int length);
    LOG_MEM *GetLogPtr() const { return ptr; }

    static LOG_MEM *ptr;
    static char proc_name[80];

private:
    int writeRecord(int type, const char *text);
    void saveRecord(const LOG_DATA &record, const char *header);

    uint32_t readIndex_ = 0;
    LOG_DATA copy_{};
};

extern BASEKIT_API LogInformation log_info;

BASEKIT_C_BEGIN
// Formats up to 1024 characters and writes them to the ring under the type.
BASEKIT_API void prt_log(int type, const char *format, ...) __attribute__((format(printf, 2, 3)));
BASEKIT_C_END

#endif
