#include "vqSDK/VlrNetSDK/net_utils.h"

#include <cstring>

#include "Depend/qn_log.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "vqSDK/VlrNetSDK/msg_header.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"

namespace qn_net {

using platform::NetFamily;

utils& utils::instance()
{
    static utils single;
    return single;
}

NetFamily utils::family() const { return lastWasIPv6_.load() ? NetFamily::IPv6 : NetFamily::IPv4; }

NetFamily utils::family_for(const char* address)
{
    if (address == nullptr) return family();
    NetFamily chosen = platform::FamilyOfText(address);
    lastWasIPv6_.store(chosen == NetFamily::IPv6);
    return chosen;
}

std::mutex& utils::send_lock(int socket) { return sendLocks_[static_cast<unsigned>(socket) % sendLocks_.size()]; }

int utils::bindEx(int socket, uint16_t port, NetFamily family)
{
    int result = platform::BindAny(socket, family, port);
    if (result != 0) QNLogPrint("%s(%d) WSAGetLastError:%d Return:%d\n", "utils::bindEx", 174, result, -1);
    return result;
}

int utils::make_udp_socket(const char* address, uint16_t port)
{
    NetFamily family = family_for(address);
    int socket = platform::OpenSocket(family, platform::NetKind::Datagram);
    if (socket < 0) {
        SetLastError(QN_NET_ERR_SOCKET);
        return -1;
    }
    if (bindEx(socket, port, family) != 0) {
        platform::CloseSocket(socket);
        SetLastError(QN_NET_ERR_BIND);
        return -1;
    }
    return socket;
}

int utils::connect_with_timeout(const char* address, uint16_t port, int seconds, int tenths)
{
    char text[64] = {};
    if (address != nullptr) platform::CopyBounded(text, sizeof text, address);
    NetFamily family = family_for(address == nullptr ? nullptr : text);
    int socket = platform::OpenSocket(family, platform::NetKind::Stream);
    if (socket < 0) {
        SetLastError(QN_NET_ERR_SOCKET);
        return -1;
    }
    if (!platform::SetNonBlocking(socket)) {
        platform::CloseSocket(socket);
        return -1;
    }
    int result = platform::ConnectText(socket, family, text, port);
    if (result == 0) return socket;
    if (result == platform::kNetWouldBlock) {
        int64_t waitMs = int64_t{seconds} * 1000 + int64_t{tenths} * 100;
        if (platform::WaitWritable(socket, waitMs) == 1) {
            int error = platform::PendingSocketError(socket);
            if (error == 0) return socket;
            QNConsoleTrace("getsockopt  err  %d\n", error);
        }
    }
    platform::CloseSocket(socket);
    return -1;
}

int utils::send_msg_tcp(int socket, uint32_t msgId, const void* body, std::size_t length)
{
    if (length > kMaxSendBody || (body == nullptr && length != 0)) {
        SetLastError(QN_NET_ERR_ILLEGAL_PARAM);
        return -1;
    }
    uint8_t frame[kSendBufferSize];
    WriteHeader(frame, msgId, static_cast<uint32_t>(length));
    if (length != 0) std::memcpy(frame + kHeaderSize, body, length);
    const std::size_t total = length + kHeaderSize;

    std::lock_guard<std::mutex> lock(send_lock(socket));
    std::size_t done = 0;
    int failures = 0;
    const int64_t deadline = platform::MonotonicMs() + kSendStallMs;
    while (done < total) {
        long sent = platform::SendBytes(socket, frame + done, total - done);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
            continue;
        }
        int error = platform::LastNetError();
        QNConsoleTrace("send_msg_tcp:%d\n", error);
        QNLogPrint("%s(%d) fd:%d error:%d\n", "utils::send_msg_tcp", 55, socket, error);
        if (error == platform::kNetAborted) return platform::kNetAborted;
        if (error == platform::kNetWouldBlock) {
            int64_t left = deadline - platform::MonotonicMs();
            if (left > 0 && platform::WaitWritable(socket, left) == 1) continue;
            return -1;
        }
        if (error == platform::kNetInterrupted) continue;
        if (++failures >= 3) return -1;
    }
    return static_cast<int>(total);
}

long utils::udp_send(int socket, uint32_t ipv4, uint16_t port, const void* data, std::size_t length)
{
    NetFamily family = NetFamily::IPv4;
    if (!platform::SocketFamily(socket, &family)) return -1;
    return platform::SendDatagram(socket, family, ipv4, port, data, length);
}

bool utils::ipv4_to_text(uint32_t ipv4, char* out, std::size_t capacity)
{
    if (out == nullptr) return false;
    return platform::CopyBounded(out, capacity < 22 ? capacity : 22, platform::IPv4ToText(ipv4));
}

bool utils::ipv6_to_text(const uint32_t words[4], char* out, std::size_t capacity)
{
    if (out == nullptr || words == nullptr) return false;
    return platform::CopyBounded(out, capacity < 65 ? capacity : 65, platform::IPv6ToText(words));
}

} // namespace qn_net
