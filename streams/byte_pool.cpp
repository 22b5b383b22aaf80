#include "streams/byte_pool.h"

#include <algorithm>
#include <new>

namespace streams {

bool BytePool::Allocate(std::size_t size)
{
    try {
        buffer_.assign(size, 0);
    } catch (const std::bad_alloc&) {
        Free();
        return false;
    }
    Empty();
    return true;
}

void BytePool::Free()
{
    std::vector<uint8_t>().swap(buffer_);
    Empty();
}

void BytePool::Empty(bool zero)
{
    if (zero) std::fill(buffer_.begin(), buffer_.end(), 0);
    inUse_ = writePos_ = readPos_ = wrapMark_ = 0;
}

int64_t BytePool::Place(std::size_t length, std::size_t limit) const
{
    limit = std::min(limit, buffer_.size());
    if (length > limit) return kNoRoom;
    if (writePos_ + length < limit) {
        if (!Wrapped() || inUse_ == 0) return static_cast<int64_t>(writePos_);
        // A later lap: the free bytes end at the oldest unread one, and the
        // writer never closes up to it, so that "equal" always means empty.
        return writePos_ + length < readPos_ ? static_cast<int64_t>(writePos_) : kNoRoom;
    }
    if (inUse_ == 0) return 0;
    if (Wrapped()) return kNoRoom;
    return length < readPos_ ? 0 : kNoRoom;
}

uint8_t* BytePool::Take(int64_t offset, std::size_t length)
{
    auto at = static_cast<std::size_t>(offset);
    if (at != writePos_) {
        // Starting over at 0: the reader finishes this lap at the mark.
        if (inUse_ == 0) {
            readPos_ = 0;
        } else {
            wrapMark_ = writePos_;
        }
        writePos_ = 0;
    }
    writePos_ = at + length;
    inUse_ += length;
    return buffer_.data() + at;
}

bool BytePool::CanGrow(std::size_t length) const
{
    if (!Wrapped() || inUse_ == 0) return writePos_ + length <= buffer_.size();
    return writePos_ + length < readPos_;
}

void BytePool::Grow(std::size_t length)
{
    writePos_ += length;
    inUse_ += length;
}

void BytePool::Free(int64_t offset, std::size_t length)
{
    if (length == 0) return;
    inUse_ -= std::min(length, inUse_);
    readPos_ = static_cast<std::size_t>(offset) + length;
    if (inUse_ == 0) {
        readPos_ = writePos_;
        wrapMark_ = 0;
    } else if (Wrapped() && readPos_ >= wrapMark_) {
        readPos_ = 0;
        wrapMark_ = 0;
    }
}

uint32_t BytePool::FillThousandths() const { return Thousandths(inUse_, buffer_.size()); }

} // namespace streams
