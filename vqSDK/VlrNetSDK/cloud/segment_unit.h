// One unit of a cloud ".264" segment. A segment is a run of units of two
// forms:
//
//   private   00 00 01, a type byte and a head, then the payload
//             0xFC  head 16, u32 payload length at 12, frame type 0 (key)
//             0xFD  head 8,  u32 payload length at 4,  frame type 1
//             0xFA  head 8,  u16 payload length at 6,  frame type 2 (audio)
//             (offsets from the unit's first byte, little-endian)
//   scanned   an H.264 Annex B NAL unit from its start code (00 00 01 or
//             00 00 00 01) up to the next start code or the end
#pragma once

#include <cstddef>
#include <cstdint>

#include "vqSDK/VlrNetSDK/cloud/byte_source.h"

namespace qn_cloud {

inline constexpr std::size_t kUnitBufferSize = 1 << 20;

enum class UnitKind : int { Private = 0, Scanned = 1 };

// Results of ReadSegmentUnit besides a positive length.
enum : int {
    kUnitEnd = 0,          // nothing left
    kUnitNoStartCode = -2, // the rest holds no start code
    kUnitTooLong = -3,     // a scanned unit does not fit the buffer
    kUnitTruncated = -4,   // the segment ends inside a private payload
};

struct SegmentUnit {
    int frameType = 0;
    UnitKind kind = UnitKind::Scanned;
};

// Reads the next unit into `buffer`: the payload of a private unit, or the
// whole scanned unit with its start code. Leaves the source at the start of
// the unit that follows. Returns the length, or one of the codes above; fewer
// than 16 bytes left at a unit's start are the end.
int ReadSegmentUnit(ByteSource& source, uint8_t* buffer, std::size_t capacity, SegmentUnit& unit);

// 3 when the bytes begin 00 00 01 and a private type byte, 0 when they do
// not, -1 when fewer than 4 bytes are given.
int PrivateUnitTest(const uint8_t* bytes, std::size_t length);
// Length of the start code the bytes begin with: 3, 4, or 0 for none.
int StartCodeLength(const uint8_t* bytes, std::size_t length);

} // namespace qn_cloud
