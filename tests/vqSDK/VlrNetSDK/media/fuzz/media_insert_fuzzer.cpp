// Feeds sequences of media blocks, described field by field, to both
// reassemblers: the LAN one and frame_deck.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "vqSDK/VlrNetSDK/frame_pool.h"
#include "vqSDK/VlrNetSDK/media/frame_deck.h"
#include "vqSDK/VlrNetSDK/media/lan_reassembly.h"
#include "vqSDK/VlrNetSDK/media/media_block.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace {

class silent_requester : public qn_net::block_requester {
public:
    void request_block(uint32_t, uint32_t serial) override { last = serial; }
    uint32_t last = 0;
};

int TakeFrame(char* data, int32_t type, int32_t number, int32_t length, int32_t)
{
    if (type != qn_net::kFrameTypeAudio) {
        if (length < 4 || qn_net::ReadU32(data) != static_cast<uint32_t>(number)) std::abort();
        qn_net::frame_pool::free_buffer(data);
    } else if (length <= 0 || length > static_cast<int32_t>(qn_net::kBlockData)) {
        std::abort();
    }
    return 0;
}

struct decks {
    decks() : deck(pool)
    {
        deck.set_requester(&requester);
        deck.set_data_callback(&TakeFrame, 0);
        lan.set_callback(&TakeFrame, 0);
    }
    qn_net::frame_pool pool;
    silent_requester requester;
    qn_net::frame_deck deck;
    qn_net::lan_reassembly lan;
};

constexpr std::size_t kRecord = 12;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static decks* shared = new decks;  // the delivery thread outlives single runs
    static std::vector<uint8_t> body(qn_net::kBlockHeadSize + 1100);
    for (std::size_t at = 0; at + kRecord <= size; at += kRecord) {
        const uint8_t* r = data + at;
        const uint16_t type = r[0] % 5;
        const uint32_t frame = qn_net::ReadU16(r + 1);
        const uint32_t serial = qn_net::ReadU16(r + 3);
        const uint16_t index = qn_net::ReadU16(r + 5);
        const uint16_t count = qn_net::ReadU16(r + 7);
        const uint32_t length = qn_net::ReadU16(r + 9) % 1100;
        qn_net::WriteU32(&body[0], 7);
        qn_net::WriteU16(&body[8], type);
        qn_net::WriteU16(&body[10], 1);
        qn_net::WriteU32(&body[12], frame);
        qn_net::WriteU32(&body[16], serial);
        qn_net::WriteU16(&body[20], index);
        qn_net::WriteU16(&body[22], count);
        qn_net::WriteU32(&body[24], length);
        std::fill(body.begin() + qn_net::kBlockHeadSize, body.end(), r[11]);
        qn_net::media_block block;
        if (!qn_net::parse_media_block(body.data(), qn_net::kBlockHeadSize + length, &block)) std::abort();
        shared->lan.insert(block);
        if (type == qn_net::kFrameTypeAudio) {
            shared->deck.insert_audio_blk(block);
        } else {
            shared->deck.insert_frame_blk(block);
        }
    }
    return 0;
}
