// The 20-byte message header in front of every frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qn_net {

constexpr std::size_t kHeaderSize = 20;
constexpr uint32_t kMaxFrameTotal = 12288;
// Frames are built in one buffer of this size, so a body holds at most 5100 bytes.
constexpr std::size_t kSendBufferSize = 5120;
constexpr std::size_t kMaxSendBody = kSendBufferSize - kHeaderSize;

// 0x690000 combined with the protocol revision.
uint32_t MessageVersion();

// Writes magic, id, version, total (body + 20) and the reserved zero.
void WriteHeader(uint8_t* out, uint32_t msgId, uint32_t bodyLength);

struct FrameHeader {
    uint32_t magic = 0;
    uint32_t msgId = 0;
    uint32_t version = 0;
    uint32_t total = 0;
};
FrameHeader ReadHeader(const uint8_t* frame);

// The total lengths the receive side accepts.
inline bool IsAcceptedTotal(uint32_t total) { return total >= kHeaderSize && total <= kMaxFrameTotal; }

} // namespace qn_net
