// Finds the lens block behind a JPEG picture's end (FF D9).
#pragma once

#include <cstddef>
#include <cstdint>

namespace streams {

struct JpegTail {
    std::size_t pictureEnd = 0;       // just past FF D9
    const uint8_t* block = nullptr;   // none when the picture has no known block
    std::size_t blockSize = 0;
    uint32_t blockKind = 0;           // 1 panorama, 2 PTZ, 3 tilt
};

// Looks for FF D9 from the end backwards over at most the second half of a
// picture of at least 512 bytes. A block counts when its head names a known
// kind with that kind's size and the whole block lies inside the data.
// False when there is no FF D9 in that range.
bool FindJpegTail(const uint8_t* data, std::size_t length, JpegTail* tail);

} // namespace streams
