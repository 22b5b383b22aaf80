// 40005 bodies built field by field for the reassembly tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vqSDK/VlrNetSDK/media/media_block.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace media_test {

struct BlockSpec {
    uint32_t camera = 7;
    uint16_t type = 0;
    uint16_t stream = 1;
    uint32_t frame = 1;
    uint32_t serial = 0;
    uint16_t index = 0;
    uint16_t count = 1;
    std::string data;
    // Overrides the data length field when not negative.
    int64_t claimedLength = -1;
};

inline std::vector<uint8_t> BlockBody(const BlockSpec& spec)
{
    std::vector<uint8_t> body(qn_net::kBlockHeadSize + spec.data.size());
    qn_net::WriteU32(&body[0], spec.camera);
    qn_net::WriteU32(&body[4], 0);
    qn_net::WriteU16(&body[8], spec.type);
    qn_net::WriteU16(&body[10], spec.stream);
    qn_net::WriteU32(&body[12], spec.frame);
    qn_net::WriteU32(&body[16], spec.serial);
    qn_net::WriteU16(&body[20], spec.index);
    qn_net::WriteU16(&body[22], spec.count);
    qn_net::WriteU32(&body[24], spec.claimedLength >= 0 ? static_cast<uint32_t>(spec.claimedLength)
                                                        : static_cast<uint32_t>(spec.data.size()));
    std::copy(spec.data.begin(), spec.data.end(), body.begin() + qn_net::kBlockHeadSize);
    return body;
}

// A parsed block that keeps its bytes.
struct OwnedBlock {
    explicit OwnedBlock(const BlockSpec& spec) : bytes(BlockBody(spec))
    {
        ok = qn_net::parse_media_block(bytes.data(), bytes.size(), &block);
    }
    std::vector<uint8_t> bytes;
    qn_net::media_block block;
    bool ok = false;
};

// Data of `length` bytes whose content tells frame and block apart.
inline std::string Payload(uint32_t frame, uint16_t index, std::size_t length)
{
    std::string data(length, '\0');
    for (std::size_t i = 0; i < length; ++i) data[i] = static_cast<char>((frame * 131 + index * 17 + i) & 0xFF);
    return data;
}

// The blocks of one frame of `total` data bytes, serials from `firstSerial`.
inline std::vector<BlockSpec> FrameBlocks(uint32_t frame, uint16_t type, std::size_t total, uint32_t firstSerial)
{
    std::vector<BlockSpec> blocks;
    const std::size_t count = total == 0 ? 1 : (total + qn_net::kBlockData - 1) / qn_net::kBlockData;
    for (std::size_t i = 0; i < count; ++i) {
        BlockSpec spec;
        spec.type = type;
        spec.frame = frame;
        spec.serial = firstSerial + static_cast<uint32_t>(i);
        spec.index = static_cast<uint16_t>(i);
        spec.count = static_cast<uint16_t>(count);
        const std::size_t length = std::min<std::size_t>(qn_net::kBlockData, total - i * qn_net::kBlockData);
        spec.data = Payload(frame, spec.index, length);
        blocks.push_back(spec);
    }
    return blocks;
}

inline std::string FrameData(const std::vector<BlockSpec>& blocks)
{
    std::string data;
    for (const auto& block : blocks) data += block.data;
    return data;
}

} // namespace media_test
