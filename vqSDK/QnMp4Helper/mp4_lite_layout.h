// Fixed places of the own variant's file head.
#pragma once

#include <cstdint>

namespace qn_mp4 {

constexpr uint64_t kLiteMediaDataOffset = 40;  // the "mdat" header, behind "ftyp" and "free"
constexpr uint64_t kLiteSampleDataOffset = 48; // the first sample
constexpr int kLiteDefaultAudioRate = 8000;    // when no header told the rate

} // namespace qn_mp4
