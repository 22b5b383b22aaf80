// Where the client finds the camera service: the login host, the web
// server's base URL, the region domain and the ports, read from the
// "Service" section of Config.ini in the data folder. No real host is built
// in: where the section leaves a host empty, it stays empty.
#pragma once

#include <cstdint>
#include <string>

struct ServiceEndpoints {
    std::string loginHost;    // "LoginHost": used as it is when set
    std::string webServer;    // "WebServer": "http://host[:port]", no trailing "/"
    std::string regionDomain; // "RegionDomain": the login host is "<region>.<domain>" without LoginHost
    uint16_t loginPort = 19000;    // "LoginPort"
    uint16_t udpFirst = 18050;     // "UdpPortFirst"
    uint16_t udpLast = 18100;      // "UdpPortLast"
};

// The section as it stands now; missing or out-of-range values keep their defaults.
ServiceEndpoints ReadServiceEndpoints();

// The login server's dotted IPv4 address for `region`: the configured host,
// else "<region>.<domain>"; a dotted address is taken as it is, any other
// name is looked up and its first address taken. Empty when there is no name
// or the look-up fails.
std::string LoginServerAddress(const ServiceEndpoints& endpoints, const std::string& region);
