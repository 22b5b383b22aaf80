#include "vqSDK/VlrNetSDK/frame_scanner.h"

#include "vqSDK/VlrNetSDK/msg_header.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace qn_net {

std::size_t scan_frames(const uint8_t* data, std::size_t length, frame_sink& sink)
{
    std::size_t position = 0;
    while (length - position >= kHeaderSize) {
        const uint8_t* at = data + position;
        if (ReadU32(at) != QN_NET_MSG_MAGIC) {
            ++position;
            continue;
        }
        uint32_t total = ReadU32(at + 12);
        if (!IsAcceptedTotal(total)) {
            position += kHeaderSize;
            continue;
        }
        if (length - position < total) break;
        sink.on_frame(at, total);
        position += total;
    }
    return position;
}

} // namespace qn_net
