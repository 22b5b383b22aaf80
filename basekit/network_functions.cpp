#include "basekit/network_functions.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/hosts.h"
#include "platform/icmp_echo.h"
#include "platform/text.h"

namespace {

constexpr size_t kHostNameCapacity = 16;  // 15 characters and the terminator
constexpr size_t kDottedCapacity = 16;
constexpr int kMaxAddressIndex = 8;
constexpr int kMaxEchoCount = 0xFFFF;
constexpr size_t kEchoPayload = 32;

// The host name is read once per process, as callers ask for it often.
const std::string &shortHostName() {
    static std::once_flag once;
    static std::string name;
    std::call_once(once, [] {
        std::string full = platform::LocalHostName();
        const size_t dot = full.find('.');
        if (dot != std::string::npos)
            full.erase(dot);
        name = full.size() < kHostNameCapacity ? full : std::string();
    });
    return name;
}

bool isDecimalPart(const std::string &part) {
    if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0'))
        return false;
    for (char c : part)
        if (c < '0' || c > '9')
            return false;
    return std::stoi(part) <= 255;
}

}  // namespace

int GetHostName_s(char *text, size_t capacity) {
    if (text == nullptr || capacity == 0)
        return 0;
    const std::string &name = shortHostName();
    if (name.empty() || !platform::CopyIfFits(text, capacity, name)) {
        text[0] = '\0';
        return 0;
    }
    return 1;
}

int GetHostName(char *text) { return GetHostName_s(text, kHostNameCapacity); }

int GetHostIp(char *text, int index) {
    if (text == nullptr || index < 0 || index > kMaxAddressIndex)
        return 0;
    const std::string &host = shortHostName();
    const std::vector<std::string> addresses = platform::ResolveIPv4(host, kMaxAddressIndex + 1);
    if (addresses.empty()) {
        std::printf("hostname:%s gethostbyname ret NULL\n", host.c_str());
        return -1;
    }
    if (static_cast<size_t>(index) >= addresses.size())
        return -1;
    return platform::CopyIfFits(text, kDottedCapacity, addresses[static_cast<size_t>(index)]) ? 1 : -1;
}

const char *IpN2Str(uint32_t address) {
    thread_local char text[kDottedCapacity];
    unsigned char bytes[4];
    std::memcpy(bytes, &address, sizeof bytes);  // network order: first byte first
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

int CheckIp(const char *text) {
    if (text == nullptr)
        return 0;
    std::vector<std::string> parts(1);
    for (const char *p = text; *p != '\0'; ++p) {
        if (*p == '.')
            parts.emplace_back();
        else
            parts.back().push_back(*p);
    }
    if (parts.size() != 4)
        return 0;
    for (const std::string &part : parts)
        if (!isDecimalPart(part))
            return 0;
    return parts[0] == "0" ? 0 : 1;
}

int MyPing(const char *host, int count, int timeoutMs) {
    if (host == nullptr || *host == '\0')
        return -1;
    std::string address = host;
    if (!platform::IsDottedIPv4(address)) {
        const std::vector<std::string> found = platform::ResolveIPv4(address, 1);
        if (found.empty())
            return -1;
        address = found.front();
    }
    platform::IcmpEcho echo;
    if (!echo.Open())
        return -1;
    if (count <= 0)
        return 0;
    if (count > kMaxEchoCount)
        count = kMaxEchoCount;
    int replies = 0;
    for (int i = 0; i < count; ++i)
        if (echo.Echo(address, timeoutMs, kEchoPayload))
            ++replies;
    return replies;
}
