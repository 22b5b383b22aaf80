#include "vqSDK/QnMp4Helper/mp4_box_builder.h"

namespace qn_mp4 {

void BoxBuilder::U16(uint16_t value)
{
    U8(uint8_t(value >> 8));
    U8(uint8_t(value));
}

void BoxBuilder::U24(uint32_t value)
{
    U8(uint8_t(value >> 16));
    U16(uint16_t(value));
}

void BoxBuilder::U32(uint32_t value)
{
    U16(uint16_t(value >> 16));
    U16(uint16_t(value));
}

void BoxBuilder::U64(uint64_t value)
{
    U32(uint32_t(value >> 32));
    U32(uint32_t(value));
}

void BoxBuilder::Bytes(const uint8_t* bytes, std::size_t length)
{
    if (length > 0) data_.insert(data_.end(), bytes, bytes + length);
}

std::size_t BoxBuilder::BeginBox(uint32_t type)
{
    std::size_t mark = data_.size();
    U32(0);
    U32(type);
    return mark;
}

std::size_t BoxBuilder::BeginFullBox(uint32_t type, uint8_t version, uint32_t flags)
{
    std::size_t mark = BeginBox(type);
    U8(version);
    U24(flags);
    return mark;
}

bool BoxBuilder::EndBox(std::size_t mark)
{
    uint64_t size = data_.size() - mark;
    if (mark + 8 > data_.size() || size > UINT32_MAX) {
        failed_ = true;
        return false;
    }
    for (int i = 0; i < 4; ++i) data_[mark + i] = uint8_t(size >> (24 - 8 * i));
    return true;
}

void BoxBuilder::Descriptor(uint8_t tag, const BoxBuilder& body)
{
    U8(tag);
    std::size_t length = body.Size();
    int groups = 1;
    while (groups < 4 && (length >> (7 * groups)) != 0) ++groups;
    if ((length >> (7 * groups)) != 0) failed_ = true; // above 2^28 - 1
    for (int group = groups - 1; group >= 0; --group) {
        uint8_t bits = uint8_t((length >> (7 * group)) & 0x7F);
        U8(group > 0 ? uint8_t(bits | 0x80) : bits);
    }
    Bytes(body.Data());
    failed_ = failed_ || body.Failed();
}

} // namespace qn_mp4
