// Protected JPEG snapshots: the picture up to its end marker (FF D9) is
// encrypted as a record, and the block behind the marker says how. The
// block's head word holds its version in bits 0-9 and its size in bits 10-17,
// as the lens blocks have them (version 1: 48 bytes, 2: 32, 3: 8). Behind the
// lens values, versions 1 and 2 carry the protection (integers little-endian):
//
//   version 1, 48 bytes:  32 security flag low   36 security flag high
//                         40 protection word     44 protected length / 8
//   version 2, 32 bytes:  20 security flag low   24 security flag high
//                         28 protection word; the whole picture is protected
//
// The protection word holds the step in bits 0-15, the parameter (the clear
// tail) in bits 16-25 and the key type in bits 26-28. Version 3 and pictures
// without a known block are not protected, nor is a flag of key type 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "streams/key_slots.h"

namespace fileplay {

struct JpegProtection {
    std::size_t pictureEnd = 0;   // just past FF D9
    std::size_t flagOffset = 0;   // where the security flag lies; 0 without one
    uint32_t version = 0;         // 0 no block
    uint32_t low = 0, high = 0;   // the security flag
    uint32_t cryptInfo = 0;       // step and parameter as frame_decrypt.h takes them
    uint32_t keyType = 0;
    uint32_t protectedLength = 0; // never past the picture's end

    // Key type 0 in the flag: plain, whatever its check bits.
    bool Protected() const { return (low & streams::key_slot::kTypeMask) != 0; }
};

constexpr int kJpegNoTail = -6;

// 0 with the picture's protection; kJpegNoTail when the data has no end
// marker where a tail could follow (pictures of 511 bytes or less included).
int ReadJpegProtection(const uint8_t* data, std::size_t length, JpegProtection* out);

// Puts a protection into the block of version 1 or 2 at `block` (which
// already holds its head word); false for another version.
bool WriteJpegProtection(uint8_t* block, uint32_t version, uint32_t low, uint32_t high, uint32_t cryptInfo,
                         uint32_t keyType, uint32_t protectedLength);

// Decrypts the picture in place: 0 when done or plain, else the key test's
// or the decryption's result. Done, it zeroes the flag, so the data are a
// plain picture.
int DecryptJpeg(streams::SecurityKeys& keys, uint8_t* data, std::size_t length, const JpegProtection& protection);

// The whole file: 0, or -1 it does not open, -2 seek, -3 size (empty or too
// large), -4 memory, -5 a short read.
int ReadJpegFile(const std::string& path, std::vector<uint8_t>* bytes);

} // namespace fileplay
