#include "app/ntp_query.h"

#include <cstdlib>
#include <vector>

#include "platform/clock.h"
#include "platform/net_socket.h"

namespace {

constexpr int64_t kNtpToUnix = 2208988800LL;
constexpr std::size_t kNtpPacket = 48;

} // namespace

bool SplitTimeServer(const std::string& text, std::string* host, uint16_t* port)
{
    const std::size_t colon = text.rfind(':');
    *port = 123;
    *host = text.substr(0, colon);
    if (colon != std::string::npos) {
        const std::string digits = text.substr(colon + 1);
        char* end = nullptr;
        const long value = std::strtol(digits.c_str(), &end, 10);
        if (digits.empty() || *end != '\0' || value < 1 || value > 65535) return false;
        *port = static_cast<uint16_t>(value);
    }
    return !host->empty();
}

std::optional<int64_t> NtpReplySeconds(const uint8_t* reply, std::size_t length)
{
    if (reply == nullptr || length < kNtpPacket) return std::nullopt;
    const uint32_t seconds = (uint32_t(reply[40]) << 24) | (uint32_t(reply[41]) << 16) | (uint32_t(reply[42]) << 8) |
                             uint32_t(reply[43]);
    if (seconds == 0) return std::nullopt;
    // The 32-bit count wraps in 2036; a value below 2^31 belongs to the next era.
    const int64_t era = seconds < 0x80000000u ? (int64_t(1) << 32) : 0;
    return era + int64_t(seconds) - kNtpToUnix;
}

std::optional<int64_t> AskNtpTime(const std::string& address, uint16_t port, int64_t waitMs)
{
    uint32_t ipv4 = 0;
    if (!platform::TextToIPv4(address, &ipv4)) return std::nullopt;
    const int socket = platform::OpenSocket(platform::NetFamily::IPv4, platform::NetKind::Datagram);
    if (socket == platform::kNoSocket) return std::nullopt;
    std::optional<int64_t> answer;
    uint8_t request[kNtpPacket] = {0x0B, 0x00, 0x00, 0x00};
    if (platform::BindAny(socket, platform::NetFamily::IPv4, 0) == 0 && platform::SetNonBlocking(socket) &&
        platform::SendDatagram(socket, platform::NetFamily::IPv4, ipv4, port, request, sizeof request) ==
            static_cast<long>(sizeof request)) {
        const int64_t deadline = platform::MonotonicMs() + waitMs;
        for (int64_t left = waitMs; left > 0 && !answer; left = deadline - platform::MonotonicMs()) {
            std::vector<platform::PollItem> items(1);
            items[0].socket = socket;
            if (platform::PollReadable(items, left) <= 0) break;
            uint8_t reply[512];
            const platform::Datagram got = platform::ReceiveDatagram(socket, reply, sizeof reply);
            // Only the server asked may answer.
            if (got.length < 0 || got.sourceIPv4 != ipv4 || got.sourcePort != port) continue;
            answer = NtpReplySeconds(reply, static_cast<std::size_t>(got.length));
        }
    }
    platform::CloseSocket(socket);
    return answer;
}
