// Cuts fuzz input into messages for a reply handler: each record is one
// byte choosing the message id, two bytes of body length, then the body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "vqSDK/VlrNetSDK/msg_header.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace media_fuzz {

inline void ForEachMessage(const uint8_t* data, std::size_t size,
                           const std::function<void(const uint8_t*, std::size_t)>& handle)
{
    static const uint32_t kIds[] = {1, 3, 40002, 40003, 40005, 40005, 40005, 40014, 40015, 40023, 12345};
    std::vector<uint8_t> frame;
    std::size_t at = 0;
    while (at + 3 <= size) {
        const uint32_t id = kIds[data[at] % (sizeof kIds / sizeof kIds[0])];
        std::size_t length = qn_net::ReadU16(data + at + 1);
        at += 3;
        if (length > size - at) length = size - at;
        if (length > qn_net::kMaxFrameTotal - qn_net::kHeaderSize) length = qn_net::kMaxFrameTotal - qn_net::kHeaderSize;
        frame.assign(qn_net::kHeaderSize + length, 0);
        qn_net::WriteHeader(frame.data(), id, static_cast<uint32_t>(length));
        std::copy(data + at, data + at + length, frame.begin() + qn_net::kHeaderSize);
        at += length;
        handle(frame.data(), frame.size());
    }
}

} // namespace media_fuzz
