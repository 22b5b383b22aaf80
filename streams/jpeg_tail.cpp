#include "streams/jpeg_tail.h"

#include "streams/lens_blocks.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace streams {
namespace {

constexpr std::size_t kMinPicture = 512;

std::size_t KnownBlockSize(uint32_t kind)
{
    switch (static_cast<TailKind>(kind)) {
    case TailKind::Panorama: return kPanoramaBlockSize;
    case TailKind::Ptz: return kPtzBlockSize;
    case TailKind::Tilt: return kTiltBlockSize;
    default: return 0;
    }
}

} // namespace

bool FindJpegTail(const uint8_t* data, std::size_t length, JpegTail* tail)
{
    if (data == nullptr || tail == nullptr || length < kMinPicture) return false;
    bool sawEnd = false;
    for (std::size_t at = length - 2; at >= length / 2; --at) {
        if (data[at] != 0xFF || data[at + 1] != 0xD9) continue;
        std::size_t behind = at + 2;
        if (!sawEnd) {
            sawEnd = true;
            *tail = JpegTail{behind, nullptr, 0, 0};
        }
        if (length - behind < 4) continue;
        uint32_t head = qn_net::ReadU32(data + behind);
        std::size_t size = KnownBlockSize(TailKindOf(head));
        if (size == 0 || TailSizeOf(head) != size || length - behind < size) continue;
        *tail = JpegTail{behind, data + behind, size, TailKindOf(head)};
        return true;
    }
    return sawEnd;
}

} // namespace streams
