// The camera's private H.264 SEI: lens and panorama parameters, PTZ
// positions, frame times and the stream's security flag.
//
// A unit starts with its 4-byte start code: 00 00 00 01, NAL header (type 6),
// payload type (0xF0; 0xF1 for kind 10), size byte S, two magic characters at
// offsets 7-8 and 0x80 at offset 7 + S. Fields are read at fixed offsets from
// the start of the unit, without removing emulation-prevention bytes (that is
// how the cameras lay them out); every field must lie inside the unit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace streams {

enum class SeiKind : int {
    None = -1,
    Panorama = 2,       // "QN"
    PanoramaCode = 3,   // "Q3"
    Ptz = 4,            // "QT"
    PtzShort = 5,       // "QJ", S 8-15
    Dp = 6,             // "DP"
    PtzPosition = 7,    // "QJ", S above 15
    Motion = 8,         // "MD"
    Mq = 9,             // "MQ"
    Extra = 10,         // payload type 0xF1
};

// Offsets from the start of the unit.
namespace sei_offset {
constexpr std::size_t kPayloadType = 5;
constexpr std::size_t kSize = 6;
constexpr std::size_t kMagic = 7;
// kinds 3 and 4
constexpr std::size_t kFlags = 19;
constexpr std::size_t kTimeOrOsd = 23;
constexpr std::size_t kCircle = 27;
constexpr std::size_t kSecurityLow = 31;
constexpr std::size_t kSecurityHigh = 35;
constexpr std::size_t kTypeCode = 39;
constexpr std::size_t kTiltRotate = 47;
constexpr std::size_t kRate1 = 49;
constexpr std::size_t kRate2 = 50;
constexpr std::size_t kPtzWord = 55;
constexpr std::size_t kProtection = 63;
constexpr std::size_t kKeyClearHeader = 67;
constexpr std::size_t kInterval = 68;
// kind 2
constexpr std::size_t kQnOsd = 23;
constexpr std::size_t kQnCenterX = 31;
constexpr std::size_t kQnCenterY = 35;
constexpr std::size_t kQnRadius = 39;
constexpr std::size_t kQnTypeWord = 43;
constexpr std::size_t kQnLensByte = 46;
constexpr std::size_t kQnTilt = 47;
constexpr std::size_t kQnRotate = 51;
constexpr std::size_t kQnRate1 = 53;
constexpr std::size_t kQnRate2 = 54;
// kinds 5 and 7
constexpr std::size_t kPtzTimeHigh = 9;
constexpr std::size_t kPtzTimeLow = 10;
constexpr std::size_t kShortPtzWord = 11; // size byte below 9
constexpr std::size_t kLongPtzWord = 15;  // size byte 9 or more
} // namespace sei_offset

// Bits of the record's words.
namespace lens_bits {
constexpr uint32_t kValid = 1u << 0;        // word 0
constexpr int kKindShift = 1;               // word 0 bits 1-7
constexpr int kQnBitsShift = 8;             // word 0 bits 8-31
constexpr uint32_t kLensByteMask = 0xFF;    // word 1 bits 0-7
constexpr uint32_t kTimeFlag = 1u << 8;     // word 1
constexpr uint32_t kQnMarker = 1u << 9;     // word 1
constexpr int kSecurityShift = 10;          // word 1 bits 10-12
constexpr uint32_t kFurtherSecurity = 1u << 13;
constexpr uint32_t kNoRate = 1u << 14;
} // namespace lens_bits

// The parsed record, kept per data source.
struct QnLensSeiInfo {
    uint32_t word0;
    uint32_t word1;
    // word2 bits 0-10: clear-header length of key frames in bytes; word2 bits
    // 24-31 and word3 bit 0: the same for other frames.
    uint32_t word2;
    uint32_t word3;
    uint64_t panoTypeEx;
    float centerX, centerY, radius, spareFloat;
    float tilt, rotate;
    float ptzPan, ptzTilt, ptzZoom, ptzFourth;
    float rate1, rate2;
    uint32_t spare[2];
    union {
        uint32_t frameTime;
        struct {
            uint16_t width, height;
        } osdSize;
    };
    uint16_t osdX, osdY;
    uint32_t securityLow, securityHigh;
    const uint8_t* securityAt; // the security flag inside the parsed unit
    uint16_t protectedKeyLength;
    uint16_t protectedOtherLength;
    uint16_t panRangeX10;
    uint16_t spareShort;
    uint16_t protectionInterval;
    uint32_t width, height; // 0 when unknown

    bool Valid() const { return (word0 & lens_bits::kValid) != 0; }
    int Kind() const { return static_cast<int>(word0 >> lens_bits::kKindShift & 0x7F); }
    bool HasTime() const { return (word1 & lens_bits::kTimeFlag) != 0; }
    uint32_t SecurityBits() const { return word1 >> lens_bits::kSecurityShift & 7; }
    uint32_t KeyClearHeader() const { return word2 & 0x7FF; }
    uint32_t OtherClearHeader() const { return (word2 >> 24) | (word3 & 1) << 8; }
};

// The packed form handed to the play modules.
struct MontSeiInfo {
    // bit 0 valid, 1-7 kind, 8-9 time and "QN" bits, 10-19 key-frame clear
    // header, 20-29 other-frame clear header, 30-31 word 3 bits 1-2
    uint32_t flags;
    uint32_t lensWord;     // low byte: word 3 bits 14-21
    uint32_t securityBits; // low 3 bits
    uint32_t spare0;
    uint32_t furtherSecurity; // bit 0
    uint32_t spare1;
    uint32_t panoTypeLow, panoTypeHigh;
    float centerX, centerY, radius, spareFloat;
    float tilt, rotate;
    float rate1, rate2;
    uint32_t frameTimeOrOsd;
    uint32_t spare2;
    uint32_t securityLow, securityHigh;
    const uint8_t* securityAt;
    uint16_t protectedKeyLength;
    uint16_t protectedOtherLength;
    uint16_t panRangeX10;
    uint16_t spareShort;
    uint16_t protectionInterval;
};

// The kind of a private SEI unit of `length` bytes, or None.
SeiKind ClassifySei(const uint8_t* unit, std::size_t length);

// Clears `info`, classifies and parses. 1 for a recognised unit of a kind
// with a record (2, 3, 4, 5, 7), the valid bit telling whether its fields
// made sense; 0 for kinds 6, 8, 9, 10; 1 with a cleared record for anything
// else. The record points into `unit` (its security flag).
int ParseLensSei(const uint8_t* unit, std::size_t length, QnLensSeiInfo* info);

// True for the kinds whose record says whether the stream is a camera's.
bool CarriesLensRecord(SeiKind kind);

MontSeiInfo PackSeiInfo(const QnLensSeiInfo& info);

// 0 when an argument is missing or the unit is not a private SEI of a kind
// with a record; otherwise 1 with the packed record.
int ParseSeiPacked(const uint8_t* unit, std::size_t length, MontSeiInfo* out);

// For a unit of kind 3 or 4, writes the security flag's low and high word in
// place; other units stay as they are. 1 when written.
int WriteSeiSecurity(uint8_t* unit, std::size_t length, uint32_t low, uint32_t high);

} // namespace streams
