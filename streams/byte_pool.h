// The byte pool under a frame ring: one buffer that a writer fills in order
// and a reader frees in the same order. A piece that would reach the pool's
// limit starts over at 0, but only into bytes the reader has freed: unread
// bytes are never overwritten and nothing is written past the pool's end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace streams {

class BytePool {
public:
    static constexpr int64_t kNoRoom = -1;

    // The buffer, zeroed and empty; false when memory runs out (nothing kept).
    bool Allocate(std::size_t size);
    void Free();
    bool Allocated() const { return !buffer_.empty(); }
    // Empty again, keeping the buffer; `zero` also clears its bytes.
    void Empty(bool zero = false);

    // Where `length` contiguous bytes can go: the write position, or 0 when
    // write position + length reaches `limit` (at most the size); kNoRoom
    // when that place holds unread bytes.
    int64_t Place(std::size_t length, std::size_t limit) const;
    // Takes `length` bytes at `offset`, an answer of Place.
    uint8_t* Take(int64_t offset, std::size_t length);
    // Whether the newest piece can grow by `length` in place.
    bool CanGrow(std::size_t length) const;
    void Grow(std::size_t length);
    // The reader is done with the oldest piece.
    void Free(int64_t offset, std::size_t length);

    uint8_t* At(int64_t offset) { return buffer_.data() + offset; }
    std::size_t Size() const { return buffer_.size(); }
    std::size_t InUse() const { return inUse_; }
    std::size_t WritePosition() const { return writePos_; }
    std::size_t ReadPosition() const { return readPos_; }
    // Thousandths of the pool in use, rounded.
    uint32_t FillThousandths() const;

private:
    // Unread bytes lie in [readPos_, writePos_) until the writer starts over
    // at 0; then in [readPos_, wrapMark_) and [0, writePos_).
    bool Wrapped() const { return wrapMark_ != 0; }

    std::vector<uint8_t> buffer_;
    std::size_t inUse_ = 0;
    std::size_t writePos_ = 0;
    std::size_t readPos_ = 0;
    std::size_t wrapMark_ = 0;
};

// Thousandths of `part` in `whole`, rounded.
inline uint32_t Thousandths(uint64_t part, uint64_t whole)
{
    return whole == 0 ? 0 : static_cast<uint32_t>((part * 1000 + whole / 2) / whole);
}

// Kibibytes, rounded.
inline uint16_t RoundedKiB(std::size_t bytes) { return static_cast<uint16_t>((bytes + 512) / 1024); }

} // namespace streams
