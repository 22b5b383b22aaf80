// A connected TCP pair on loopback: the SDK's client socket (non-blocking, as
// the SDK makes it) and the accepted peer socket.
#pragma once

#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/net_utils.h"

namespace netsdk_test {

// 127.0.0.1 as the SDK keeps addresses (network order).
inline uint32_t LoopbackIPv4()
{
    uint32_t ipv4 = 0;
    platform::TextToIPv4("127.0.0.1", &ipv4);
    return ipv4;
}

struct LoopbackPair {
    LoopbackPair()
    {
        int listener = platform::ListenLoopback(platform::NetFamily::IPv4, 0, 4);
        if (listener < 0) return;
        uint16_t port = platform::LocalPort(listener);
        client = qn_net::utils::instance().connect_with_timeout("127.0.0.1", port, 1, 0);
        if (client >= 0) peer = platform::AcceptConnection(listener);
        platform::CloseSocket(listener);
    }
    ~LoopbackPair()
    {
        platform::CloseSocket(client);
        platform::CloseSocket(peer);
    }
    LoopbackPair(const LoopbackPair&) = delete;
    LoopbackPair& operator=(const LoopbackPair&) = delete;

    bool ok() const { return client >= 0 && peer >= 0; }

    int client = platform::kNoSocket;
    int peer = platform::kNoSocket;
};

} // namespace netsdk_test
