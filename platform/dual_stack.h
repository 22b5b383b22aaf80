// IPv6 sockets that also carry IPv4 traffic as IPv4-mapped addresses.
#pragma once

namespace platform {

// Lets an IPv6 socket send to and receive from IPv4 peers whatever the
// system's default is. Call before binding. False when the socket refuses.
bool AllowIPv4Mapped(int socket);

} // namespace platform
