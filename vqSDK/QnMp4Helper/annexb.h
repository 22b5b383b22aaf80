// Start codes in Annex-B H.264 buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qn_mp4 {

// Position of the first 00 00 00 01 whose NAL header has type `nalType`,
// or -1. Only the first 200 positions of a buffer of 205 bytes or more are
// looked at (camera frames put their picture unit near the front); a buffer
// below 6 bytes has none.
long FindNalStart(const uint8_t* data, std::size_t length, int nalType);

// Position of the first 00 00 00 01 at or after `from` that leaves room for
// a NAL header and one byte, or -1.
long FindStartCode(const uint8_t* data, std::size_t length, std::size_t from);

// Writes `value` as 4 big-endian bytes.
void PutBigEndian32(uint8_t* out, uint32_t value);

// A sample of the MP4 writers (a 4-byte length, a picture unit, then units
// that each keep their start code) in reading order: the units behind the
// picture unit first, then the picture unit, each behind a start code.
void ReorderSampleForReading(std::vector<uint8_t>& sample);

} // namespace qn_mp4
