// Builds ISO base media boxes in memory: big-endian fields, boxes whose 32-bit
// size is filled in when they are closed, and MPEG-4 descriptors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qn_mp4 {

// The four letters of a box type as the 32-bit value stored in the file.
constexpr uint32_t FourCC(const char (&letters)[5])
{
    return uint32_t(uint8_t(letters[0])) << 24 | uint32_t(uint8_t(letters[1])) << 16 |
           uint32_t(uint8_t(letters[2])) << 8 | uint32_t(uint8_t(letters[3]));
}

class BoxBuilder {
public:
    void U8(uint8_t value) { data_.push_back(value); }
    void U16(uint16_t value);
    void U24(uint32_t value);
    void U32(uint32_t value);
    void U64(uint64_t value);
    void Bytes(const uint8_t* bytes, std::size_t length);
    void Bytes(const std::vector<uint8_t>& bytes) { Bytes(bytes.data(), bytes.size()); }
    void Zeros(std::size_t count) { data_.insert(data_.end(), count, 0); }

    // Starts a box; the returned mark goes to EndBox once its body is written.
    std::size_t BeginBox(uint32_t type);
    // A box whose body starts with the version byte and 24 flag bits.
    std::size_t BeginFullBox(uint32_t type, uint8_t version, uint32_t flags);
    // Writes the box's size. False when the box grew past 4 GiB - 1, which a
    // 32-bit size cannot say; the builder then counts as failed.
    bool EndBox(std::size_t mark);

    // A descriptor of the MPEG-4 systems layer: tag, length in as few 7-bit
    // groups as it needs, then the body.
    void Descriptor(uint8_t tag, const BoxBuilder& body);

    bool Failed() const { return failed_; }
    std::size_t Size() const { return data_.size(); }
    const std::vector<uint8_t>& Data() const { return data_; }

private:
    std::vector<uint8_t> data_;
    bool failed_ = false;
};

} // namespace qn_mp4
