// Arbitrary bytes as a JPEG picture with lens blocks: the tail finder and
// the block readers stay inside the picture.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "streams/jpeg_tail.h"
#include "streams/lens_blocks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::vector<uint8_t> picture(data, data + size);
    streams::JpegTail tail;
    if (!streams::FindJpegTail(picture.data(), picture.size(), &tail)) return 0;
    if (tail.pictureEnd > picture.size()) std::abort();
    if (tail.block == nullptr) return 0;
    if (tail.block < picture.data() || tail.block + tail.blockSize > picture.data() + picture.size()) std::abort();
    switch (tail.blockKind) {
    case 1: streams::ReadPanoramaBlock(tail.block); break;
    case 2: streams::ReadPtzBlock(tail.block); break;
    case 3: streams::ReadTiltBlock(tail.block); break;
    default: std::abort();
    }
    return 0;
}
