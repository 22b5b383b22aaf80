// ICMP echo ("ping") over IPv4. Uses an unprivileged ICMP datagram socket
// where net.ipv4.ping_group_range allows it, else a raw socket (root or
// CAP_NET_RAW).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class IcmpEcho {
public:
    IcmpEcho() = default;
    ~IcmpEcho();
    IcmpEcho(const IcmpEcho&) = delete;
    IcmpEcho& operator=(const IcmpEcho&) = delete;

    // False when neither kind of socket can be opened.
    bool Open();
    bool IsOpen() const { return fd_ >= 0; }
    bool IsRaw() const { return raw_; }

    // Sends one echo request with `payloadBytes` of data to a dotted IPv4
    // address and waits at most `timeoutMs` for the matching reply.
    bool Echo(const std::string& dottedAddress, int timeoutMs, std::size_t payloadBytes = 32);

private:
    int fd_ = -1;
    bool raw_ = false;
    uint16_t identifier_ = 0;
    uint16_t sequence_ = 0;
};

// Checks a dotted IPv4 address the way the resolver would accept it.
bool IsDottedIPv4(const std::string& text);

} // namespace platform
