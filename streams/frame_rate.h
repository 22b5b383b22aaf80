// Frame rates as the camera's private SEI carries them, and the probe that
// reads one from the start of a buffer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace streams {

// A rate byte f: f frames per second up to 30; above 30 one frame every
// f - 30 seconds.
float RateFromByte(uint8_t f);

// Looks at the first NAL unit with a 4-byte start code inside the first 256
// bytes; when it is a "QN" private SEI (magic at unit offsets 7 and 8), the
// byte at unit offset 54 gives the rate, 0 meaning 20. 1 with the rate, or 0.
int ProbeFrameRate(const uint8_t* buffer, std::size_t length, float* rate);

} // namespace streams
