// Where the video server of a play is: the management server's video-address
// answer (20204) leaves it in the connection's 40-byte address area, in the
// places the request left empty: the IPv4 address at byte 16 and the UDP port
// at byte 20, both in network order.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

namespace qn_net::play {

struct video_server {
    uint32_t ipv4 = 0;  // network order
    uint16_t port = 0;  // host order
};

inline video_server video_server_in(const std::array<uint8_t, 40>& area)
{
    video_server where;
    std::memcpy(&where.ipv4, area.data() + 16, sizeof where.ipv4);
    where.port = static_cast<uint16_t>(area[20] << 8 | area[21]);
    return where;
}

} // namespace qn_net::play
