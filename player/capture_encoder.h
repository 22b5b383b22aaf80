// Captured PCM bytes to A-law. Reads from the capture device may end inside a
// sample; the odd byte is kept for the next read, so that every later sample
// stays whole.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talk_audio {

class CaptureEncoder {
public:
    // Encodes the whole little-endian 16-bit samples of what was carried plus
    // `count` new bytes into `alaw` (room for (count + 1) / 2 codes); the
    // count of codes written.
    std::size_t Encode(const char* bytes, std::size_t count, uint8_t* alaw);
    // Forgets a carried byte, for a fresh capture.
    void Reset() { m_carrying = false; }

private:
    bool m_carrying = false;
    uint8_t m_carried = 0;
};

} // namespace talk_audio
