#include "vqSDK/VlrNetSDK/camera_command.h"

#include <cstring>

#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace qn_net {

std::vector<uint8_t> camera_command_body(uint32_t camera, uint32_t user, uint32_t subCommand, const void* inner,
                                         std::size_t length, bool withCopy)
{
    if (length > kCameraCommandInner || (inner == nullptr && length != 0)) return {};
    std::vector<uint8_t> body(kCameraCommandCopyAt + (withCopy ? length : 0), 0);
    WriteU32(body.data(), camera);
    WriteU32(body.data() + 4, user);
    WriteU32(body.data() + 8, static_cast<uint32_t>(length));
    WriteU32(body.data() + 12, subCommand);
    if (length != 0) {
        std::memcpy(body.data() + 16, inner, length);
        if (withCopy) std::memcpy(body.data() + kCameraCommandCopyAt, inner, length);
    }
    return body;
}

} // namespace qn_net
