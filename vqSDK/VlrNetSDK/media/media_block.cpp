#include "vqSDK/VlrNetSDK/media/media_block.h"

#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace qn_net {

bool parse_media_block(const uint8_t* body, std::size_t bodyLength, media_block* block)
{
    if (body == nullptr || block == nullptr || bodyLength < kBlockHeadSize) return false;
    media_block parsed;
    parsed.camera = ReadU32(body);
    parsed.type = ReadU16(body + 8);
    parsed.stream = ReadU16(body + 10);
    parsed.frame_number = ReadU32(body + 12);
    parsed.serial = ReadU32(body + 16);
    parsed.index = ReadU16(body + 20);
    parsed.count = ReadU16(body + 22);
    parsed.length = ReadU32(body + 24);
    if (parsed.length > bodyLength - kBlockHeadSize) return false;
    parsed.data = body + kBlockHeadSize;
    *block = parsed;
    return true;
}

bool is_storable_video_block(const media_block& block)
{
    if (block.count == 0 || block.count > kMaxBlocksPerFrame) return false;
    if (block.index >= block.count) return false;
    if (block.length > kBlockData) return false;
    const bool last = block.index + 1u == block.count;
    return last || block.length == kBlockData;
}

} // namespace qn_net
