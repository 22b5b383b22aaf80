#include "basekit/memory_manage.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kWord = 8;

void storeU64(unsigned char *at, uint64_t value) {
    for (size_t i = 0; i < kWord; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint64_t loadU64(const unsigned char *at) {
    uint64_t value = 0;
    for (size_t i = 0; i < kWord; ++i)
        value |= static_cast<uint64_t>(at[i]) << (8 * i);
    return value;
}

}  // namespace

MemoryManage::MemoryManage(int size) {
    if (size > 0) {
        block_ = static_cast<unsigned char *>(std::calloc(static_cast<size_t>(size), 1));
        length_ = block_ != nullptr ? size : 0;
    }
}

MemoryManage::MemoryManage(const MemoryManage &other) { *this = other; }

MemoryManage &MemoryManage::operator=(const MemoryManage &other) {
    if (this == &other)
        return *this;
    unsigned char *copy = nullptr;
    if (other.length_ > 0) {
        copy = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(other.length_)));
        if (copy == nullptr)
            return *this;  // keep what we have rather than lose it
        std::memcpy(copy, other.block_, static_cast<size_t>(other.length_));
    }
    std::free(block_);
    block_ = copy;
    length_ = copy != nullptr ? other.length_ : 0;
    return *this;
}

MemoryManage &MemoryManage::operator=(int size) {
    resize_mem(size);
    return *this;
}

MemoryManage::~MemoryManage() { std::free(block_); }

void *MemoryManage::resize_mem(int size) {
    if (size < 0)
        return nullptr;
    if (size == 0) {
        std::free(block_);
        block_ = nullptr;
        length_ = 0;
        return nullptr;
    }
    // realloc keeps the old block when it fails, so nothing is lost or leaked.
    void *grown = std::realloc(block_, static_cast<size_t>(size));
    if (grown == nullptr)
        return nullptr;
    block_ = static_cast<unsigned char *>(grown);
    length_ = size;
    return block_;
}

void MemoryManage::mem_set(int value) {
    if (block_ != nullptr)
        std::memset(block_, value, static_cast<size_t>(length_));
}

MakeBuffer::MakeBuffer() { clear_buf(); }

MakeBuffer::~MakeBuffer() = default;

void MakeBuffer::clear_buf() {
    count_ = 0;
    if (resize_mem(static_cast<int>(kWord)) != nullptr)
        mem_set(0);
}

int MakeBuffer::add_buf(uint64_t length, const void *data) {
    if (block_ == nullptr || length_ < static_cast<int>(kWord) || (data == nullptr && length > 0))
        return 0;
    const uint64_t oldLength = static_cast<uint64_t>(length_);
    if (length > static_cast<uint64_t>(INT_MAX) - kWord - oldLength)
        return 0;
    if (resize_mem(static_cast<int>(oldLength + kWord + length)) == nullptr)
        return 0;
    // New items go behind the old block's end; it holds the items and nothing else.
    storeU64(block_ + oldLength, length);
    if (length > 0)
        std::memcpy(block_ + oldLength + kWord, data, length);
    ++count_;
    storeU64(block_, count_);
    return 1;
}

void *MakeBuffer::get_buf(uint64_t index, uint64_t *length) {
    if (index >= count_ || block_ == nullptr)
        return nullptr;
    // The block may have been changed through the pointer; never trust a
    // stored length to stay inside it.
    const uint64_t end = static_cast<uint64_t>(length_);
    uint64_t at = kWord;
    for (uint64_t i = 0;; ++i) {
        if (end - at < kWord)
            return nullptr;
        const uint64_t itemLength = loadU64(block_ + at);
        at += kWord;
        if (itemLength > end - at)
            return nullptr;
        if (i == index) {
            if (length != nullptr)
                *length = itemLength;
            return block_ + at;
        }
        at += itemLength;
    }
}

uint64_t MakeBuffer::get_buf(uint64_t index, void *destination) {
    uint64_t itemLength = 0;
    const void *item = get_buf(index, &itemLength);
    if (item == nullptr || destination == nullptr)
        return 0;
    std::memcpy(destination, item, itemLength);
    return itemLength;
}

uint64_t MakeBuffer::get_buf(uint64_t index, void *destination, size_t capacity) {
    uint64_t itemLength = 0;
    const void *item = get_buf(index, &itemLength);
    if (item == nullptr || destination == nullptr || itemLength > capacity)
        return 0;
    std::memcpy(destination, item, itemLength);
    return itemLength;
}
