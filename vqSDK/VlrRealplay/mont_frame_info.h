// The record that goes with every frame a play module hands to its frame
// callback: what the frame is, whether it was protected and came out
// decrypted, its number, picture size and rate, and its kind name.
#pragma once

#include <cstdint>

struct MontFrameInfo {
    // bit 0 video, bit 1 key frame (key 3, P 1, audio 0); bits 2-21 the
    // TF-card module's queue fill; bit 22 the stream is protected; bit 23 the
    // frame decrypted or needed no decryption
    uint32_t flags;
    uint32_t queueWord; // zero, or the TF-card module's queue count and level
    uint32_t reserved;
    uint32_t frameNumber;
    uint32_t pictureSize; // width in bits 0-15, height in bits 16-31; 0 for audio
    uint32_t frameRate;   // whole frames a second; 0 for audio
    const char* kind;     // "h264_I", "h264_P", "g711a", "linear_PCM"
};

namespace realplay {

constexpr uint32_t kFrameVideo = 1u << 0;
constexpr uint32_t kFrameKey = 1u << 1;
constexpr uint32_t kFrameProtected = 1u << 22;
constexpr uint32_t kFrameDecrypted = 1u << 23;

inline uint32_t PackPictureSize(uint16_t width, uint16_t height)
{
    return uint32_t{width} | uint32_t{height} << 16;
}

// The TF-card module's sync id (bits 0-9 byte fill, 10-19 entry fill, 20-29
// total count, 30-39 level) spread over the record: fills into flags bits
// 2-21, count and level into bits 0-9 and 16-25 of the queue word.
inline void PutSyncId(MontFrameInfo& info, uint64_t syncId)
{
    info.flags = (info.flags & ~(0xFFFFFu << 2)) | static_cast<uint32_t>(syncId & 0xFFFFF) << 2;
    info.queueWord = static_cast<uint32_t>(syncId >> 20 & 0x3FF) | static_cast<uint32_t>(syncId >> 30 & 0x3FF) << 16;
}

} // namespace realplay
