// Decryption of protected frames and records in place, with the key that the
// stream's security flag names. Only a few 8-byte blocks of each interval are
// encrypted, at fixed places that the cameras and this code agree on.
#pragma once

#include <cstdint>

#include "streams/key_slots.h"

namespace streams {

// A protected buffer as the stream describes it.
struct CryptBuffer {
    uint8_t* data;
    uint32_t length;
    // bits 0-15 the encryption interval; bits 16-25 the length of the frame's
    // clear header (frames) or clear tail (records)
    uint32_t info;
};

namespace crypt_info {
constexpr uint32_t kIntervalMask = 0xFFFF;
constexpr int kClearShift = 16;
constexpr uint32_t kClearMask = 0x3FF;
constexpr uint32_t Make(uint32_t interval, uint32_t clearLength)
{
    return (interval & kIntervalMask) | (clearLength & kClearMask) << kClearShift;
}
} // namespace crypt_info

// A video frame of `kind` (1 key frames; 2, 4, 8 further kinds, 8 being
// encrypted one block per interval). 9 for a frame missing or shorter than 33
// bytes, else the key test's result, 1 when the flag leaves this kind clear,
// or 0 once decrypted. A clear header that covers the whole frame leaves
// nothing to decrypt (0).
int qnStreamDecrypt(SecurityKeys& keys, const CryptBuffer& frame, int kind, uint32_t low, uint32_t high);

// A JPEG picture or file record: 9 for a buffer missing or of 512 bytes or
// less, else the key test's result, or 0 once decrypted.
int qnRecordDecrypt(SecurityKeys& keys, const CryptBuffer& record, uint32_t low, uint32_t high);

} // namespace streams
