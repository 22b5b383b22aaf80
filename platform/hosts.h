// Host names, addresses and network adapters (IPv4).
#pragma once

#include <string>
#include <vector>

namespace platform {

// Dotted IPv4 addresses of `host` in the order the resolver gives them, each
// once, at most `limit`. Empty when the look-up fails.
std::vector<std::string> ResolveIPv4(const std::string& host, std::size_t limit);

std::string LocalHostName();

struct AdapterAddress {
    std::string adapter;  // interface name
    std::string address;  // dotted
    std::string mask;     // dotted
    std::string gateway;  // dotted default gateway of the interface, "0.0.0.0" when none
};

// Every IPv4 address of every interface that is up, in interface order.
std::vector<AdapterAddress> ListAdapterAddresses();

} // namespace platform
