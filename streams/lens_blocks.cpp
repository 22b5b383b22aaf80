#include "streams/lens_blocks.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "streams/pano_type.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace streams {
namespace {

using qn_net::ReadU16;
using qn_net::ReadU32;
using qn_net::WriteU16;
using qn_net::WriteU32;

void WriteU64(uint8_t* at, uint64_t value)
{
    WriteU32(at, static_cast<uint32_t>(value));
    WriteU32(at + 4, static_cast<uint32_t>(value >> 32));
}

uint64_t ReadU64(const uint8_t* at)
{
    return uint64_t{ReadU32(at)} | uint64_t{ReadU32(at + 4)} << 32;
}

bool Known(float value) { return value != kUnknownValue; }

// A value rounded into an unsigned field of `bits` bits.
uint32_t Field(double value, int bits)
{
    double limit = static_cast<double>((uint32_t{1} << bits) - 1);
    return static_cast<uint32_t>(std::clamp(std::round(value), 0.0, limit));
}

uint32_t FrameTimeOf(const LensBlockSource& source, uint32_t nowPacked)
{
    return source.frameTime != 0 ? source.frameTime : nowPacked;
}

// tilt x 10 + 1800, in 12 bits.
uint32_t PtzTiltField(float tilt)
{
    return Known(tilt) ? Field(tilt * 10.0 + 1800, 12) : 1800;
}

} // namespace

void WritePanoramaBlock(const LensBlockSource& source, uint32_t nowPacked, uint8_t out[kPanoramaBlockSize])
{
    std::memset(out, 0, kPanoramaBlockSize);
    WriteU32(out, TailHead(TailKind::Panorama, kPanoramaBlockSize) | kTailTimeFlag);
    float tilt = Known(source.tilt) ? source.tilt : 0;
    float rotate = Known(source.rotate) ? source.rotate : 0;
    WriteU16(out + 4, static_cast<uint16_t>(Field((tilt + 180.0) * 100, 16)));
    WriteU16(out + 6, static_cast<uint16_t>(Field(rotate * 100.0, 16)));
    WriteU32(out + 8, FrameTimeOf(source, nowPacked));
    double halfWidth = source.width == kUnknown16 ? 0 : source.width / 2;
    double halfHeight = source.height == kUnknown16 ? 0 : source.height / 2;
    uint32_t circle = Field((source.centerX - halfWidth + 510) / 2, 9) |
                      Field((source.centerY - halfHeight + 510) / 2, 9) << 9 | Field(source.radius / 2.0, 14) << 18;
    WriteU32(out + 12, circle);
    WriteU64(out + 24, source.panoTypeEx);
}

uint64_t PtzBlockTypeCode(uint64_t code)
{
    if ((code & 0xF) != 5) return code;
    PanoGeometry geometry = DecodePano(code, PanoLayout::Nibble5);
    if (geometry.width == 0 || geometry.height == 0) return code;
    uint32_t divisor = std::gcd(geometry.width, geometry.height);
    uint64_t num = geometry.height / divisor;
    uint64_t den = geometry.width / divisor;
    if (num >= 32 || den >= 32) return code;
    const PanoTypeLayout& to = LayoutOf(PanoLayout::Nibble2);
    return 2 | den << to.aspectDen.low | num << to.aspectNum.low | uint64_t{geometry.width / 8} << to.width.low |
           uint64_t{geometry.lensType} << to.lensType.low | uint64_t{geometry.lensNumber & 0x3F} << to.lensNumber.low;
}

void WritePtzBlock(const LensBlockSource& source, uint32_t nowPacked, uint8_t out[kPtzBlockSize])
{
    std::memset(out, 0, kPtzBlockSize);
    uint32_t pan = Known(source.ptzPan) ? Field(source.ptzPan * 10.0, 12) : 0;
    uint32_t tilt = PtzTiltField(source.ptzTilt);
    WriteU32(out, TailHead(TailKind::Ptz, kPtzBlockSize) | pan << 18 | (tilt & 3) << 30);
    WriteU32(out + 4, (tilt >> 2 & 0x3FF) | 1u << 10);
    WriteU64(out + 8, PtzBlockTypeCode(source.panoTypeEx));
    WriteU32(out + 16, FrameTimeOf(source, nowPacked));
}

PanoramaBlockValues ReadPanoramaBlock(const uint8_t block[kPanoramaBlockSize])
{
    PanoramaBlockValues values;
    uint32_t head = ReadU32(block);
    values.tilt = static_cast<float>(ReadU16(block + 4)) / 100 - 180;
    values.rotate = static_cast<float>(ReadU16(block + 6)) / 100;
    values.hasTime = (head & (kTailTimeFlag | kTailTimePresent)) != 0;
    values.timeFlag = (head & kTailTimeFlag) != 0;
    if (values.hasTime) {
        values.frameTime = ReadU32(block + 8);
    } else {
        values.osdWidth = static_cast<uint16_t>(block[8] * 4);
        values.osdHeight = static_cast<uint16_t>(block[9] * 4);
        values.osdX = static_cast<uint16_t>(block[10] * 8);
        values.osdY = static_cast<uint16_t>(block[11] * 8);
    }
    values.circleWord = ReadU32(block + 12);
    values.panoTypeEx = ReadU64(block + 24);
    return values;
}

PtzBlockValues ReadPtzBlock(const uint8_t block[kPtzBlockSize])
{
    PtzBlockValues values;
    uint64_t word0 = ReadU64(block);
    values.pan = static_cast<float>(word0 >> 18 & 0xFFF) / 10;
    values.tilt = (static_cast<float>(word0 >> 30 & 0xFFF) - 1800) / 10;
    values.panoTypeEx = ReadU64(block + 8);
    values.frameTime = ReadU32(block + 16);
    return values;
}

TiltBlockValues ReadTiltBlock(const uint8_t block[kTiltBlockSize])
{
    return TiltBlockValues{ReadU16(block + 4), ReadU16(block + 6)};
}

} // namespace streams
