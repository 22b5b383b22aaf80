#include "vqSDK/VlrNetSDK/media/camera_messages.h"

#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace qn_net {

std::array<uint8_t, 12> stun_request_body(uint32_t camera, uint32_t user, uint32_t connectionValue)
{
    std::array<uint8_t, 12> body{};
    WriteU32(&body[0], camera);
    WriteU32(&body[4], user);
    WriteU32(&body[8], connectionValue);
    return body;
}

std::array<uint8_t, 16> connect_video_body(uint32_t user, uint32_t connectionValue, uint32_t camera)
{
    std::array<uint8_t, 16> body{};
    WriteU32(&body[0], user);
    WriteU32(&body[4], connectionValue);
    WriteU16(&body[8], 1);
    WriteU16(&body[10], 1);
    WriteU32(&body[12], camera);
    return body;
}

std::array<uint8_t, 24> close_channel_body(uint32_t user, uint32_t connectionValue, uint32_t camera)
{
    std::array<uint8_t, 24> body{};
    WriteU32(&body[0], user);
    WriteU32(&body[4], connectionValue);
    WriteU16(&body[8], 1);
    WriteU16(&body[10], 0);
    WriteU32(&body[12], camera);
    WriteU16(&body[16], 1);
    WriteU16(&body[18], 0);
    WriteU32(&body[20], 0);
    return body;
}

std::array<uint8_t, 12> resend_body(uint32_t camera, uint32_t serial, uint32_t user)
{
    std::array<uint8_t, 12> body{};
    WriteU32(&body[0], camera);
    WriteU32(&body[4], serial);
    WriteU32(&body[8], user);
    return body;
}

std::array<uint8_t, 8> video_keep_alive_body(uint32_t user, uint32_t camera)
{
    std::array<uint8_t, 8> body{};
    WriteU32(&body[0], user);
    WriteU32(&body[4], camera);
    return body;
}

void write_talk_head(uint8_t* out, uint32_t connectionValue, uint32_t camera, uint32_t sequence)
{
    WriteU32(out, connectionValue);
    WriteU32(out + 4, camera);
    WriteU32(out + 8, sequence);
}

} // namespace qn_net
