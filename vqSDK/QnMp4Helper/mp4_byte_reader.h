// Reads big-endian fields and boxes out of bytes taken from a file, never past
// their end: every length the bytes state is checked against what is left.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qn_mp4 {

class ByteReader {
public:
    ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // Each read fails, and leaves the reader failed, when the bytes run out.
    bool U8(uint8_t& value);
    bool U16(uint16_t& value);
    bool U24(uint32_t& value);
    bool U32(uint32_t& value);
    bool U64(uint64_t& value);
    bool Skip(std::size_t count);
    // Points `bytes` at the next `count` bytes and moves past them.
    bool Take(std::size_t count, const uint8_t*& bytes);
    // An MPEG-4 descriptor header: tag and its 7-bit-group length.
    bool DescriptorHeader(uint8_t& tag, std::size_t& length);

    std::size_t Remaining() const { return size_ - position_; }
    std::size_t Position() const { return position_; }
    const uint8_t* Here() const { return data_ + position_; }
    bool Failed() const { return failed_; }

private:
    bool Need(std::size_t count);

    const uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
    bool failed_ = false;
};

// One box inside a run of bytes: its type and its body.
struct BoxView {
    uint32_t type = 0;
    const uint8_t* body = nullptr;
    std::size_t bodySize = 0;
};

// Walks the boxes that fill a run of bytes (the body of a container box).
class BoxWalker {
public:
    BoxWalker(const uint8_t* data, std::size_t size) : bytes_(data, size) {}

    // The next box, or false at the end or at a box that does not fit what is
    // left of the run (then Damaged() is true).
    bool Next(BoxView& box);
    bool Damaged() const { return damaged_; }

    // The first box of `type` in the run, from the start.
    static bool Find(const uint8_t* data, std::size_t size, uint32_t type, BoxView& box);

private:
    ByteReader bytes_;
    bool damaged_ = false;
};

} // namespace qn_mp4
