#include "vqSDK/QnMp4Helper/mp4_byte_reader.h"

#include <cstdint>

namespace qn_mp4 {

bool ByteReader::Need(std::size_t count)
{
    if (failed_ || count > size_ - position_) {
        failed_ = true;
        return false;
    }
    return true;
}

bool ByteReader::U8(uint8_t& value)
{
    if (!Need(1)) return false;
    value = data_[position_++];
    return true;
}

bool ByteReader::U16(uint16_t& value)
{
    if (!Need(2)) return false;
    value = uint16_t(data_[position_] << 8 | data_[position_ + 1]);
    position_ += 2;
    return true;
}

bool ByteReader::U24(uint32_t& value)
{
    if (!Need(3)) return false;
    value = uint32_t(data_[position_]) << 16 | uint32_t(data_[position_ + 1]) << 8 | data_[position_ + 2];
    position_ += 3;
    return true;
}

bool ByteReader::U32(uint32_t& value)
{
    if (!Need(4)) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | data_[position_ + i];
    position_ += 4;
    return true;
}

bool ByteReader::U64(uint64_t& value)
{
    uint32_t high = 0;
    uint32_t low = 0;
    if (!U32(high) || !U32(low)) return false;
    value = uint64_t(high) << 32 | low;
    return true;
}

bool ByteReader::Skip(std::size_t count)
{
    if (!Need(count)) return false;
    position_ += count;
    return true;
}

bool ByteReader::Take(std::size_t count, const uint8_t*& bytes)
{
    if (!Need(count)) return false;
    bytes = data_ + position_;
    position_ += count;
    return true;
}

bool ByteReader::DescriptorHeader(uint8_t& tag, std::size_t& length)
{
    if (!U8(tag)) return false;
    length = 0;
    for (int i = 0; i < 4; ++i) {
        uint8_t group = 0;
        if (!U8(group)) return false;
        length = length << 7 | (group & 0x7F);
        if ((group & 0x80) == 0) break;
        if (i == 3) length = SIZE_MAX; // more than four length groups
    }
    if (length > Remaining()) {
        failed_ = true;
        return false;
    }
    return true;
}

bool BoxWalker::Next(BoxView& box)
{
    if (damaged_ || bytes_.Remaining() == 0) return false;
    uint32_t size32 = 0;
    uint32_t type = 0;
    if (!bytes_.U32(size32) || !bytes_.U32(type)) {
        damaged_ = true;
        return false;
    }
    uint64_t size = size32;
    uint64_t header = 8;
    if (size32 == 1) {
        if (!bytes_.U64(size)) {
            damaged_ = true;
            return false;
        }
        header = 16;
    } else if (size32 == 0) {
        size = header + bytes_.Remaining(); // to the end of the run
    }
    if (size < header || size - header > bytes_.Remaining()) {
        damaged_ = true;
        return false;
    }
    box.type = type;
    box.bodySize = std::size_t(size - header);
    bytes_.Take(box.bodySize, box.body);
    return true;
}

bool BoxWalker::Find(const uint8_t* data, std::size_t size, uint32_t type, BoxView& box)
{
    BoxWalker walker(data, size);
    while (walker.Next(box)) {
        if (box.type == type) return true;
    }
    return false;
}

} // namespace qn_mp4
