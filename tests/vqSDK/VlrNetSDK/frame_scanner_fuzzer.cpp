// Feeds arbitrary bytes through the frame scanner in the pieces a receive
// buffer would see, checking that every frame lies within what was held.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "vqSDK/VlrNetSDK/frame_scanner.h"
#include "vqSDK/VlrNetSDK/msg_header.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace {

struct checking_sink final : public qn_net::frame_sink {
    const uint8_t* begin = nullptr;
    const uint8_t* end = nullptr;
    void on_frame(const uint8_t* frame, std::size_t length) override
    {
        if (frame < begin || frame + length > end || length < qn_net::kHeaderSize ||
            length > qn_net::kMaxFrameTotal || qn_net::ReadU32(frame + 12) != length) {
            std::abort();
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::vector<uint8_t> buffer(qn_net::kMaxFrameTotal);
    std::size_t fill = 0;
    std::size_t position = 0;
    while (position < size) {
        // The first byte of each step says how much the next read brings.
        std::size_t step = 1 + data[position] * 53;
        ++position;
        std::size_t take = std::min({step, size - position, buffer.size() - fill});
        std::memcpy(buffer.data() + fill, data + position, take);
        position += take;
        fill += take;
        checking_sink sink;
        sink.begin = buffer.data();
        sink.end = buffer.data() + fill;
        std::size_t used = qn_net::scan_frames(buffer.data(), fill, sink);
        if (used > fill) std::abort();
        std::memmove(buffer.data(), buffer.data() + used, fill - used);
        fill -= used;
        if (fill >= buffer.size()) std::abort();  // a full buffer would stop the reads for ever
    }
    return 0;
}
