// The camera messages that the LAN camera connection and the video-server
// connection send alike, and the ids of what comes back.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qn_net {

enum : uint32_t {
    kMsgKeepAlive = 1,
    kMsgIgnored = 3,
    kMsgStunRequest = 40001,
    kMsgStunAnswer = 40002,
    kMsgServerIgnored = 40003,
    kMsgResend = 40004,
    kMsgConnectVideo = 40013,
    kMsgConnectVideoAnswer = 40014,
    kMsgCloseChannel = 40015,
    kMsgTalk = 40023,
};

constexpr std::size_t kStunBodySize = 12;
// 40014 and the server's 40015 are whole messages of exactly this length.
constexpr std::size_t kFixedAnswerTotal = 44;
constexpr std::size_t kTalkHeadSize = 12;
constexpr std::size_t kTalkPacketData = 320;

// 40001: camera id, user id, connection value.
std::array<uint8_t, 12> stun_request_body(uint32_t camera, uint32_t user, uint32_t connectionValue);
// 40013: user id, connection value, 1, 1, camera id.
std::array<uint8_t, 16> connect_video_body(uint32_t user, uint32_t connectionValue, uint32_t camera);
// 40015: user id, connection value, 1, 0, camera id, 1, 0, 0.
std::array<uint8_t, 24> close_channel_body(uint32_t user, uint32_t connectionValue, uint32_t camera);
// 40004: camera id of the play, serial wanted, user id.
std::array<uint8_t, 12> resend_body(uint32_t camera, uint32_t serial, uint32_t user);
// Video keep-alive (message 1 over UDP): user id, camera id.
std::array<uint8_t, 8> video_keep_alive_body(uint32_t user, uint32_t camera);
// 40023 head: connection value, camera id of the talk, packet sequence.
void write_talk_head(uint8_t* out, uint32_t connectionValue, uint32_t camera, uint32_t sequence);

} // namespace qn_net
