#include "platform/hosts.h"

#include "platform/files.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>

namespace platform {
namespace {

std::string Dotted(const in_addr& address)
{
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

// Default gateway per interface from the kernel's routing table.
std::map<std::string, std::string> DefaultGateways()
{
    std::map<std::string, std::string> gateways;
    auto table = ReadWholeFile("/proc/net/route");
    if (!table) return gateways;
    std::istringstream lines(*table);
    std::string line;
    std::getline(lines, line); // column heads
    while (std::getline(lines, line)) {
        char name[64];
        unsigned destination = 0, gateway = 0;
        if (std::sscanf(line.c_str(), "%63s %x %x", name, &destination, &gateway) == 3 && destination == 0) {
            in_addr address;
            address.s_addr = gateway; // the table holds it in network order
            gateways.emplace(name, Dotted(address));
        }
    }
    return gateways;
}

} // namespace

std::vector<std::string> ResolveIPv4(const std::string& host, std::size_t limit)
{
    std::vector<std::string> addresses;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM; // one entry per address, not one per socket type
    addrinfo* result = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0) return addresses;
    for (addrinfo* ai = result; ai != nullptr && addresses.size() < limit; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET) continue;
        std::string text = Dotted(reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr);
        if (std::find(addresses.begin(), addresses.end(), text) == addresses.end()) addresses.push_back(text);
    }
    ::freeaddrinfo(result);
    return addresses;
}

std::string LocalHostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

std::vector<AdapterAddress> ListAdapterAddresses()
{
    std::vector<AdapterAddress> list;
    ifaddrs* all = nullptr;
    if (::getifaddrs(&all) != 0) return list;
    auto gateways = DefaultGateways();
    for (ifaddrs* ifa = all; ifa != nullptr; ifa = ifa->ifa_next) {
        if (ifa->ifa_addr == nullptr || ifa->ifa_addr->sa_family != AF_INET || !(ifa->ifa_flags & IFF_UP))
            continue;
        AdapterAddress entry;
        entry.adapter = ifa->ifa_name;
        entry.address = Dotted(reinterpret_cast<const sockaddr_in*>(ifa->ifa_addr)->sin_addr);
        entry.mask = ifa->ifa_netmask
                         ? Dotted(reinterpret_cast<const sockaddr_in*>(ifa->ifa_netmask)->sin_addr)
                         : std::string("0.0.0.0");
        auto gateway = gateways.find(entry.adapter);
        entry.gateway = gateway != gateways.end() ? gateway->second : "0.0.0.0";
        list.push_back(std::move(entry));
    }
    ::freeifaddrs(all);
    return list;
}

} // namespace platform
