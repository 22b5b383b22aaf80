// Media block 40005: one numbered piece of an audio or video frame, and the
// checks every block passes before any of it is written anywhere.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qn_net {

constexpr uint32_t kMsgMediaBlock = 40005;
constexpr std::size_t kBlockHeadSize = 28;
// Every block but the last of a frame carries exactly this many data bytes.
constexpr uint32_t kBlockData = 976;
constexpr uint32_t kMaxBlocksPerFrame = 512;
constexpr int kFrameTypeKey = 0;
constexpr int kFrameTypeDependent = 1;
constexpr int kFrameTypeAudio = 3;

struct media_block {
    uint32_t camera = 0;
    uint16_t type = 0;
    uint16_t stream = 0;
    uint32_t frame_number = 0;
    uint32_t serial = 0;  // counts every block of the stream
    uint16_t index = 0;   // within the frame, from 0
    uint16_t count = 0;   // blocks of the frame
    uint32_t length = 0;  // data bytes
    const uint8_t* data = nullptr;
};

// Reads a 40005 body. False when the body is shorter than the head or than
// the data length the head claims.
bool parse_media_block(const uint8_t* body, std::size_t bodyLength, media_block* block);

// The video block checks both reassemblers share: a count of 1..512, an index
// below the count, at most 976 bytes, and exactly 976 in every block but the
// last. A block that fails them is never stored.
bool is_storable_video_block(const media_block& block);

// Where block `index` of a frame lies in its buffer: behind the 4-byte frame
// number, at 976-byte steps. A frame of `count` blocks needs this many bytes.
inline std::size_t block_offset(uint32_t index) { return 4 + std::size_t{index} * kBlockData; }
inline std::size_t frame_buffer_size(uint32_t count) { return (std::size_t{count} + 1) * kBlockData; }

} // namespace qn_net
