/*
 * MemoryManage owns one resizable heap block. MakeBuffer keeps in it a packed
 * list of byte items, little-endian:
 *
 *     u64 count, then per item: u64 length, the bytes
 *
 * An empty MakeBuffer is an 8-byte block holding a count of 0.
 */
#ifndef BASEKIT_MEMORY_MANAGE_H
#define BASEKIT_MEMORY_MANAGE_H

#include <stddef.h>
#include <stdint.h>

#include "basekit/export.h"

class BASEKIT_API MemoryManage {
public:
    MemoryManage() = default;
    // A zeroed block of `size` bytes; size 0 or a failed allocation leaves
    // the object empty.
    explicit MemoryManage(int size);
    // Copies own their own block.
    MemoryManage(const MemoryManage &other);
    MemoryManage &operator=(const MemoryManage &other);
    // Resizes to `size`.
    MemoryManage &operator=(int size);
    virtual ~MemoryManage();

    virtual int get_mem_len() const { return length_; }
    virtual void *get_mem_ptr() const { return block_; }
    // The block after resizing, keeping its leading bytes; size 0 frees it.
    // A negative size or a failed allocation gives nullptr and leaves the old
    // block and length as they were.
    virtual void *resize_mem(int size);
    virtual void mem_set(int value);

    operator int() const { return length_; }
    operator void *() const { return block_; }

protected:
    unsigned char *block_ = nullptr;
    int length_ = 0;
};

class BASEKIT_API MakeBuffer : public MemoryManage {
public:
    MakeBuffer();
    MakeBuffer(const MakeBuffer &) = default;
    MakeBuffer &operator=(const MakeBuffer &) = default;
    ~MakeBuffer() override;

    virtual void clear_buf();
    // Appends an item; 1, or 0 (nothing changed) when the block would pass
    // 2 GiB or cannot grow.
    virtual int add_buf(uint64_t length, const void *data);
    // Item `index` inside the block and its length, or nullptr.
    virtual void *get_buf(uint64_t index, uint64_t *length);
    // Copies item `index` to `destination` (which must have room for it) and
    // returns its length, or 0 when there is no such item.
    virtual uint64_t get_buf(uint64_t index, void *destination);
    virtual uint64_t get_buf_num() const { return count_; }
    // The copy form with the room of `destination`: 0 when the item does not
    // fit.
    uint64_t get_buf(uint64_t index, void *destination, size_t capacity);

private:
    uint64_t count_ = 0;
};

#endif
