#include "app/facade_rules.h"

#include <algorithm>
#include <cctype>
#include <cstddef>


namespace facade {

namespace {

// The SDK's account field, terminator included.
constexpr std::size_t kLoginNameField = 64;

struct CodeRange {
    int32_t first;
    int32_t last;
    const char* text;
};

const char kConnectFailureBang[] = "Connect failure!";

// In order: a code that appears twice takes its first text.
constexpr CodeRange kTexts[] = {
    {0, 0, "no error"},
    {100, 100, "This account has been registered."},
    {102, 102, "The account isn't exist,please register first."},
    {104, 104, "Incorrect password!"},
    {110, 110, "Incorrect password!"},
    {105, 105, "Failed to get camera list!"},
    {106, 107, "No demo user"},
    {302, 302, "Login failure!Please check the network settings and try again!"},
    {401, 401, "Failed to add!"},
    {403, 403, "Delete camera failed!"},
    {416, 416, "Can't share for yourself."},
    {417, 417, "Share to limit!"},
    {800, 800, "Obtain failure!"},
    {801, 802, "Incorrect code!"},
    {1201, 1201, "This account has been logged on another device"},
    {11500, 11500, "App init failure!"},
    {11501, 11501, "Server is offline, reconnecting..."},
    {11503, 11503, "Camera is not online!"},
    {12005, 12005, "Camera is not online!"},
    {11509, 11509, "The device does not support this feature, please upgrade to the latest firmware."},
    {11507, 11507, "Connect failure"},
    {12000, 12003, "Connect failure"},
    {1, 2, kConnectFailureBang},
    {101, 101, kConnectFailureBang},
    {103, 103, kConnectFailureBang},
    {108, 109, kConnectFailureBang},
    {111, 113, kConnectFailureBang},
    {200, 204, kConnectFailureBang},
    {300, 301, kConnectFailureBang},
    {400, 400, kConnectFailureBang},
    {402, 402, kConnectFailureBang},
    {404, 415, kConnectFailureBang},
    {418, 419, kConnectFailureBang},
    {500, 501, kConnectFailureBang},
    {600, 603, kConnectFailureBang},
    {700, 700, kConnectFailureBang},
    {803, 807, kConnectFailureBang},
    {900, 900, kConnectFailureBang},
    {1000, 1008, kConnectFailureBang},
    {1100, 1109, kConnectFailureBang},
    {1200, 1200, kConnectFailureBang},
    {1202, 1202, kConnectFailureBang},
    {1300, 1301, kConnectFailureBang},
    {1303, 1310, kConnectFailureBang},
    {1400, 1400, kConnectFailureBang},
    {1500, 1500, kConnectFailureBang},
    {11502, 11502, kConnectFailureBang},
    {11504, 11506, kConnectFailureBang},
    {11508, 11508, kConnectFailureBang},
    {12004, 12004, kConnectFailureBang},
    {13000, 13000, kConnectFailureBang},
    {16000, 16001, kConnectFailureBang},
    {14000, 14000, "Illegal param!"},
    {15000, 15000, "Connect timeout!"},
};

} // namespace

bool IsFeatureSupported(uint32_t feature, int32_t kind)
{
    uint32_t allowed = 0;
    switch (kind) {
    case kKindNoServer: allowed = 0x0001; break;
    case kKindShared: allowed = 0x1c95; break;
    case kKindOwn: allowed = 0x1fff; break;
    default: break;
    }
    return feature != 0 && (feature & allowed) == feature;
}

int32_t PlayStateOf(int32_t moduleState, int32_t second)
{
    if (second != 0) return 0;
    if (moduleState >= 16 && moduleState <= 20) return moduleState - 15;
    return 0;
}

int32_t FileStateOf(int32_t moduleEvent, int32_t second)
{
    if (second != 0) return 0;
    if (moduleEvent >= 2 && moduleEvent <= 5) return moduleEvent + 9;
    return PlayStateOf(moduleEvent, 0);
}

std::optional<int32_t> MessageOfNetEvent(int32_t kind)
{
    switch (kind) {
    case 1: return 10;
    case 2: return 11;
    case 3: return 0;
    case 4: return 1;
    case 5: return 2;
    case 14: return 12;
    case 15: return 13;
    default: break;
    }
    if (kind >= 6 && kind <= 11) return kind - 2;
    return std::nullopt;
}

float GotoPan(float pan)
{
    return std::clamp(pan, 0.0f, 360.0f);
}

PtzAngles ClampPtzPosition(int32_t mode, int32_t pan, int32_t tilt)
{
    if (mode != 1) return {pan, tilt};
    return {std::clamp(pan, 5, 355), std::clamp(tilt, -9, 113)};
}

std::optional<std::string> LoginName(std::string_view sdkKey, std::string_view account)
{
    std::string name = sdkKey.empty() ? std::string(account) : "#" + std::string(sdkKey) + "#" + std::string(account);
    if (name.size() >= kLoginNameField) return std::nullopt;
    return name;
}

std::optional<std::string> RegionCodeOf(std::string_view reply)
{
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!reply.empty() && space(reply.front())) reply.remove_prefix(1);
    while (!reply.empty() && space(reply.back())) reply.remove_suffix(1);
    if (reply.empty() || reply.size() > 15) return std::nullopt;
    for (const char c : reply) {
        const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letterOrDigit && c != '-') return std::nullopt;
    }
    return std::string(reply);
}

std::string AccountKey(std::string_view name)
{
    std::size_t end = 0;
    for (int characters = 0; characters < 6 && end < name.size(); ++characters) {
        ++end;
        while (end < name.size() && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) ++end;
    }
    std::string key(name.substr(0, end));
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return c < 0x80 ? static_cast<char>(std::tolower(c)) : static_cast<char>(c); });
    return key;
}

const char* ErrorText(int32_t code)
{
    for (const CodeRange& range : kTexts) {
        if (code >= range.first && code <= range.last) return range.text;
    }
    return "default";
}

} // namespace facade
