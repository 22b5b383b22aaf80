#include "app/service_endpoints.h"

#include <cstring>

#include "Depend/ini_config.h"
#include "Depend/qn_log.h"
#include "Depend/qn_system.h"

namespace {

constexpr const wchar_t* kSection = L"Service";

std::string ReadText(IniConfig& config, const wchar_t* key)
{
    char value[IniConfig::kValueCapacity] = {};
    config.ReadStringA(kSection, key, value);
    return value;
}

void ReadPort(IniConfig& config, const wchar_t* key, uint16_t* port)
{
    int value = -1;
    if (config.ReadInt(kSection, key, &value) == 1 && value > 0 && value <= 65535) {
        *port = static_cast<uint16_t>(value);
    }
}

// Four decimal parts of 0 to 255, as QN_NET_Init takes them.
bool IsDottedIPv4(const std::string& text)
{
    int parts = 0;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t digits = 0;
        int value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
            value = value * 10 + (text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || value > 255) return false;
        ++parts;
        if (at == text.size()) return parts == 4;
        if (text[at] != '.' || parts == 4) return false;
        ++at;
    }
    return false;
}

} // namespace

ServiceEndpoints ReadServiceEndpoints()
{
    IniConfig config;
    ServiceEndpoints endpoints;
    endpoints.loginHost = ReadText(config, L"LoginHost");
    endpoints.webServer = ReadText(config, L"WebServer");
    while (!endpoints.webServer.empty() && endpoints.webServer.back() == '/') endpoints.webServer.pop_back();
    endpoints.regionDomain = ReadText(config, L"RegionDomain");
    ReadPort(config, L"LoginPort", &endpoints.loginPort);
    ReadPort(config, L"UdpPortFirst", &endpoints.udpFirst);
    ReadPort(config, L"UdpPortLast", &endpoints.udpLast);
    if (endpoints.udpLast < endpoints.udpFirst) {
        endpoints.udpFirst = ServiceEndpoints{}.udpFirst;
        endpoints.udpLast = ServiceEndpoints{}.udpLast;
    }
    return endpoints;
}

std::string LoginServerAddress(const ServiceEndpoints& endpoints, const std::string& region)
{
    std::string host = endpoints.loginHost;
    if (host.empty()) {
        if (region.empty() || endpoints.regionDomain.empty()) return {};
        host = region + "." + endpoints.regionDomain;
    }
    if (IsDottedIPv4(host)) return host;
    char addresses[10][32] = {};
    int count = 0;
    if (QNGetHostIp(host.c_str(), addresses, &count) != 1 || count < 1) {
        QNLogPrint("%s(%d) Error:%d\n", __FUNCTION__, __LINE__, count);
        return {};
    }
    return addresses[0];
}
