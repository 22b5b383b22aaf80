// A message body built field by field, little-endian, zero wherever nothing
// is written.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace qn_net {

class body_writer {
public:
    explicit body_writer(std::size_t size) : bytes_(size, 0) {}

    body_writer& u32(uint32_t value)
    {
        if (uint8_t* field = at(4)) WriteU32(field, value);
        return *this;
    }
    body_writer& u16(uint16_t value)
    {
        if (uint8_t* field = at(2)) WriteU16(field, value);
        return *this;
    }
    // A 16-bit value in network byte order.
    body_writer& u16_network(uint16_t value)
    {
        if (uint8_t* field = at(2)) {
            field[0] = static_cast<uint8_t>(value >> 8);
            field[1] = static_cast<uint8_t>(value);
        }
        return *this;
    }
    // Raw bytes, as given (an IPv4 address stays in network order).
    body_writer& bytes(const void* data, std::size_t length)
    {
        if (uint8_t* field = at(length); field != nullptr && length != 0) std::memcpy(field, data, length);
        return *this;
    }
    // A text field of `width` bytes, zero-padded; a longer text is cut.
    body_writer& text(std::string_view value, std::size_t width)
    {
        if (uint8_t* field = at(width)) std::memcpy(field, value.data(), std::min(value.size(), width));
        return *this;
    }
    // A caller's text of at most `width` bytes, read no further than its end.
    body_writer& text_of(const char* value, std::size_t width)
    {
        std::size_t length = 0;
        while (length < width && value[length] != '\0') ++length;
        return text(std::string_view(value, length), width);
    }
    // Leaves `length` zero bytes.
    body_writer& skip(std::size_t length)
    {
        at(length);
        return *this;
    }
    body_writer& seek(std::size_t offset)
    {
        position_ = offset;
        return *this;
    }

    uint8_t* data() { return bytes_.data(); }
    const uint8_t* data() const { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    // The next `length` bytes, or null when they would run past the body (the
    // body keeps its size; a builder that overruns writes nothing more).
    uint8_t* at(std::size_t length)
    {
        if (position_ > bytes_.size() || bytes_.size() - position_ < length) {
            position_ = bytes_.size() + 1;
            return nullptr;
        }
        uint8_t* field = bytes_.data() + position_;
        position_ += length;
        return field;
    }

    std::vector<uint8_t> bytes_;
    std::size_t position_ = 0;
};

} // namespace qn_net
