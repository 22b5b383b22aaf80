// Lens blocks appended behind the end (FF D9) of a JPEG snapshot, and read
// back from "jpeg" input. Integers little-endian. Every block starts with a
// head word: bits 0-9 block kind, bits 10-17 block size in bytes, bit 18 the
// time flag (when reading, bit 19 set also means a frame time is present).
//
//   panorama block, kind 1, 48 bytes
//     0 head (time flag set)   4 u16 (tilt + 180) x 100   6 u16 rotate x 100
//     8 frame time (or OSD width / 4, height / 4, x / 8, y / 8 without the flag)
//    12 circle word: bits 0-8 (cx - w/2 + 510) / 2, 9-17 (cy - h/2 + 510) / 2,
//       18-31 radius / 2
//    24 u64 panorama type code; the rest 0
//   PTZ block, kind 2, 32 bytes
//     0 head; bits 18-29 pan x 10, bits 30-31 the low 2 bits of tilt x 10 + 1800
//     4 bits 0-9 the upper 10 bits of tilt x 10 + 1800, bit 10 set
//     8 u64 panorama type code    16 frame time; the rest 0
//   tilt block, kind 3, 8 bytes: head, upper and lower tilt x 10 + 1800 (u16)
//
// Read as two 64-bit words, the PTZ block's word 0 holds pan x 10 in bits
// 18-29 and tilt x 10 + 1800 in bits 30-41, word 1 the type code: the tail
// record the PTZ linkage library takes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace streams {

constexpr float kUnknownValue = 60001.0f;
constexpr uint16_t kUnknown16 = 60001;
constexpr uint32_t kUnknown32 = 60001;

enum class TailKind : uint32_t { Panorama = 1, Ptz = 2, Tilt = 3 };

constexpr std::size_t kPanoramaBlockSize = 48;
constexpr std::size_t kPtzBlockSize = 32;
constexpr std::size_t kTiltBlockSize = 8;

constexpr uint32_t kTailTimeFlag = 1u << 18;
constexpr uint32_t kTailTimePresent = 1u << 19;

constexpr uint32_t TailHead(TailKind kind, std::size_t size)
{
    return static_cast<uint32_t>(kind) | static_cast<uint32_t>(size) << 10;
}
constexpr uint32_t TailKindOf(uint32_t head) { return head & 0x3FF; }
constexpr uint32_t TailSizeOf(uint32_t head) { return head >> 10 & 0xFF; }

// What a block says about a source's lens.
struct LensBlockSource {
    uint64_t panoTypeEx = kUnknown32;
    uint16_t width = kUnknown16;
    uint16_t height = kUnknown16;
    float centerX = 0, centerY = 0, radius = 0;
    float tilt = kUnknownValue;   // the override when set, else the stream's
    float rotate = kUnknownValue; // likewise
    float ptzPan = kUnknownValue;
    float ptzTilt = kUnknownValue;
    uint32_t frameTime = 0;       // 0: none
};

// `nowPacked` stands in for a missing frame time.
void WritePanoramaBlock(const LensBlockSource& source, uint32_t nowPacked, uint8_t out[kPanoramaBlockSize]);
void WritePtzBlock(const LensBlockSource& source, uint32_t nowPacked, uint8_t out[kPtzBlockSize]);

// A type code of low nibble 5 (picture width and height) rebuilt with the
// picture's aspect ratio in the nibble-2 layout, when both reduced terms are
// below 32; the code unchanged otherwise.
uint64_t PtzBlockTypeCode(uint64_t code);

struct PanoramaBlockValues {
    uint64_t panoTypeEx = 0;
    uint32_t circleWord = 0;
    float tilt = 0, rotate = 0;
    bool hasTime = false;
    bool timeFlag = false;
    uint32_t frameTime = 0;
    uint16_t osdWidth = 0, osdHeight = 0, osdX = 0, osdY = 0;
};
struct PtzBlockValues {
    uint64_t panoTypeEx = 0;
    float pan = 0, tilt = 0;
    uint32_t frameTime = 0;
};
struct TiltBlockValues {
    uint16_t upper = 0; // tilt x 10 + 1800
    uint16_t lower = 0;
};

PanoramaBlockValues ReadPanoramaBlock(const uint8_t block[kPanoramaBlockSize]);
PtzBlockValues ReadPtzBlock(const uint8_t block[kPtzBlockSize]);
TiltBlockValues ReadTiltBlock(const uint8_t block[kTiltBlockSize]);

} // namespace streams
