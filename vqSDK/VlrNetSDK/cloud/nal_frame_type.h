// Frame type of a scanned H.264 unit, as the cloud segment reader reports it:
//   slices (NAL 1, 5) by slice type: P and SP 1, B 3, I and SI 0
//   SEI, SPS, PPS (NAL 6, 7, 8): 6, 7, 8
//   the private unit types met as NAL types 28, 29, 26: 0, 1, 2
//   anything else: 0
#pragma once

#include <cstddef>
#include <cstdint>

namespace qn_cloud {

// `nal` starts at the NAL header byte (after the start code).
int NalFrameType(const uint8_t* nal, std::size_t length);

} // namespace qn_cloud
