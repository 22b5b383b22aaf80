#include "platform/icmp_echo.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

uint16_t Checksum(const unsigned char* data, std::size_t length)
{
    uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < length; i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
    if (length & 1) sum += static_cast<uint32_t>(data[length - 1] << 8);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

} // namespace

bool IsDottedIPv4(const std::string& text)
{
    in_addr address{};
    return ::inet_pton(AF_INET, text.c_str(), &address) == 1;
}

IcmpEcho::~IcmpEcho()
{
    if (fd_ >= 0) ::close(fd_);
}

bool IcmpEcho::Open()
{
    if (fd_ >= 0) return true;
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    raw_ = false;
    if (fd_ < 0) {
        fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        raw_ = fd_ >= 0;
    }
    // A datagram socket gets its identifier from the kernel; a raw one uses
    // ours to tell its replies from other processes' ones.
    identifier_ = static_cast<uint16_t>(::getpid());
    return fd_ >= 0;
}

bool IcmpEcho::Echo(const std::string& dottedAddress, int timeoutMs, std::size_t payloadBytes)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    if (fd_ < 0 || ::inet_pton(AF_INET, dottedAddress.c_str(), &target.sin_addr) != 1) return false;

    const uint16_t sequence = ++sequence_;
    std::vector<unsigned char> packet(8 + payloadBytes, 0);
    packet[0] = ICMP_ECHO;
    packet[4] = static_cast<unsigned char>(identifier_ >> 8);
    packet[5] = static_cast<unsigned char>(identifier_);
    packet[6] = static_cast<unsigned char>(sequence >> 8);
    packet[7] = static_cast<unsigned char>(sequence);
    for (std::size_t i = 0; i < payloadBytes; ++i) packet[8 + i] = static_cast<unsigned char>('a' + i % 23);
    const uint16_t sum = Checksum(packet.data(), packet.size());
    packet[2] = static_cast<unsigned char>(sum >> 8);
    packet[3] = static_cast<unsigned char>(sum);
    if (::sendto(fd_, packet.data(), packet.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&target),
                 sizeof target) < 0)
        return false;

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    unsigned char reply[1500];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left < 0) return false;
        pollfd pfd{fd_, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(left));
        if (ready <= 0) {
            if (ready < 0 && errno == EINTR) continue;
            return false;
        }
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = ::recvfrom(fd_, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got <= 0 || from.sin_addr.s_addr != target.sin_addr.s_addr) continue;
        std::size_t offset = 0;
        if (raw_) {
            // Raw sockets see the IP header, and also our own request on
            // loopback: only an echo reply with our identifier counts.
            offset = static_cast<std::size_t>(reply[0] & 0x0F) * 4;
        }
        if (static_cast<std::size_t>(got) < offset + 8) continue;
        const unsigned char* icmp = reply + offset;
        if (icmp[0] != ICMP_ECHOREPLY) continue;
        if (raw_ && (icmp[4] << 8 | icmp[5]) != identifier_) continue;
        if ((icmp[6] << 8 | icmp[7]) == sequence) return true;
    }
}

} // namespace platform
