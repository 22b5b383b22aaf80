/*
 * Named memory blocks shared by every process on the machine, keyed by an
 * integer (name "SHM<key>"). The first creator sets the size and the block
 * starts zero-filled; later processes map it as it is. A block outlives the
 * processes that use it until its name is removed.
 *
 * ProcMan maps the process table (key 19810811, 2644 bytes) once per process
 * into ProcMan::ptr; the first 32-bit word of that block is LogFile's lock.
 */
#ifndef BASEKIT_SHARE_MEMORY_H
#define BASEKIT_SHARE_MEMORY_H

#include <stddef.h>
#include <stdint.h>

#include <memory>

#include "basekit/export.h"

namespace platform {
class SharedMemoryBlock;
}

class BASEKIT_API ShareMemory {
public:
    ShareMemory();
    // CreateAndMapShareMemory(key, size).
    ShareMemory(int key, int size);
    ShareMemory(const ShareMemory &) = delete;
    ShareMemory &operator=(const ShareMemory &) = delete;
    // Leaves the view mapped and the block alive; only the descriptor closes.
    virtual ~ShareMemory();

    virtual void *GetShmPtr();
    // 1 when a handle is held or the block for the key can be opened (the
    // handle is then kept).
    virtual int CheckShareMemory(int key);
    // 1 when a new block of `size` bytes was created (or, raced by another
    // process, opened) and its handle kept; 0 when a handle is held already
    // or creation failed.
    virtual int CreateShareMemory(int key, int size);
    // A read-write view of the whole block, or nullptr.
    virtual void *MapShareMemory(int key);
    // 1 when the view was unmapped; the address must come from a ShareMemory.
    virtual int UnMapShareMemory(void *address);
    virtual int UnMapShareMemory();
    // 0 without a handle; otherwise unmaps the own view, closes the handle: 1.
    virtual int FreeShareMemory(int key);
    // Maps an existing block, else creates and maps it; `created` tells which.
    virtual void *CreateAndMapShareMemory(int key, int size, int *created = nullptr);

    // Size of the own view in bytes, 0 when none.
    size_t GetShmSize() const { return viewSize_; }
    // "SHM<key>".
    static void ShmName(int key, char *name, size_t capacity);

protected:
    std::unique_ptr<platform::SharedMemoryBlock> handle_;
    void *view_ = nullptr;
    size_t viewSize_ = 0;
    int created_ = 0;
};

#pragma pack(push, 1)
// The process table. The library itself only uses the first word, LogFile's
// cross-process lock; the rest belongs to the programs that share it.
typedef struct T_Proc_Mem {
    uint32_t log_lock;
    uint8_t table[2640];
} T_Proc_Mem;
#pragma pack(pop)
static_assert(sizeof(T_Proc_Mem) == 2644, "T_Proc_Mem is 2644 bytes");

class BASEKIT_API ProcMan : public ShareMemory {
public:
    static constexpr int kKey = 19810811;
    static constexpr int kSize = static_cast<int>(sizeof(T_Proc_Mem));

    // Maps the table when the process has not mapped it yet. A failure is
    // printed and leaves ProcMan::ptr null; it never ends the process.
    ProcMan();
    ~ProcMan() override;

    T_Proc_Mem *GetInfPtr() const { return ptr; }
    static int IsAvailable() { return ptr != nullptr ? 1 : 0; }

    static T_Proc_Mem *ptr;
};

extern BASEKIT_API ProcMan g_proc_man;

#endif
