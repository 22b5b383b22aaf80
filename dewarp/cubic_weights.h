// Cubic-convolution weights shared by every fixed-point resampler of the
// client (the projection engine and the PTZ linkage library compile this
// same pair of files, so both interpolate with identical numbers).
//
// Plain C++ with no dependency on either library: a resampler at phase p
// (0..127, in 1/128 pixel) weighs the taps at offsets -1, 0, +1 and +2 with
// row p of the table; the weights are scaled by 1024.
#ifndef OSTRELS_CUBIC_WEIGHTS_H
#define OSTRELS_CUBIC_WEIGHTS_H

#include <array>
#include <cstdint>

namespace cubic_weights {

inline constexpr int kPhases = 128;  // sub-pixel positions per pixel
inline constexpr int kTaps = 4;      // offsets -1, 0, +1, +2
inline constexpr int kOne = 1024;    // weight of a full tap

using Table = std::array<std::array<int32_t, kTaps>, kPhases>;

// k(j / 128) x 1024 for the kernel with a = -1, rounded half away from zero;
// j is the distance from the tap in 1/128 pixel (0 beyond two pixels).
int32_t kernel_weight(int j);

// The process-wide table, built on first use (safe from any thread).
const Table& table();

}  // namespace cubic_weights

#endif
