// Socket operations of the SDK: bind, UDP sockets, TCP connect with a
// time-out, framing and sending a message over TCP, and UDP send.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/net_socket.h"

namespace qn_net {

class utils {
public:
    // send_msg_tcp's result for a connection the peer or the system aborted.
    static constexpr int kConnectionAborted = platform::kNetAborted;

    static utils& instance();

    // Family of sockets created without an address text: the family of the
    // last address text given to a socket-creating call.
    platform::NetFamily family() const;

    // Binds to the wildcard address of `family` and `port`; 0 or the error.
    int bindEx(int socket, uint16_t port, platform::NetFamily family);

    // A datagram socket bound to `port`, its family from `address` (null:
    // the last family); -1 with 12000 (no socket) or 12002 (bind failed).
    int make_udp_socket(const char* address, uint16_t port);

    // A connected, non-blocking stream socket, or -1 (12000 when no socket
    // could be made). Waits seconds + tenths / 10 for the connection.
    int connect_with_timeout(const char* address, uint16_t port, int seconds, int tenths);

    // Frames the body behind a header and sends it whole. Returns the frame
    // length, 10053 when the connection was aborted, or -1. A short send goes
    // on from the first byte not yet taken, and the frames of threads that
    // send on one socket at once never mix. Bodies above 5100 bytes are
    // refused (-1, 14000).
    int send_msg_tcp(int socket, uint32_t msgId, const void* body, std::size_t length);

    // Sends prepared bytes to an IPv4 address (network order).
    long udp_send(int socket, uint32_t ipv4, uint16_t port, const void* data, std::size_t length);

    // Dotted text, at most 22 bytes with the terminator; false for a null buffer.
    static bool ipv4_to_text(uint32_t ipv4, char* out, std::size_t capacity);
    // Text of an IPv6 address given as four words, at most 65 bytes.
    static bool ipv6_to_text(const uint32_t words[4], char* out, std::size_t capacity);

private:
    utils() = default;
    platform::NetFamily family_for(const char* address);
    std::mutex& send_lock(int socket);

    // Kept only for calls without an address text; each call with a text
    // decides its own family.
    std::atomic<bool> lastWasIPv6_{false};
    std::array<std::mutex, 64> sendLocks_;
};

// How long a blocked send waits for the socket to take more bytes.
constexpr int64_t kSendStallMs = 1000;

} // namespace qn_net
