// One NTP request over UDP (mode 3 client, version 1) and its answer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Splits "host[:port]" (port 123 when left out); false for an empty host or a
// port outside 1-65535.
bool SplitTimeServer(const std::string& text, std::string* host, uint16_t* port);

// Seconds since 1970 from the transmit time of a 48-byte reply (NTP seconds
// below 2^31 are read in the era that starts in 2036); empty for a short
// reply or a zero time.
std::optional<int64_t> NtpReplySeconds(const uint8_t* reply, std::size_t length);

// Sends one request to a dotted IPv4 address from an ephemeral port and waits
// up to `waitMs` for the server's answer.
std::optional<int64_t> AskNtpTime(const std::string& address, uint16_t port, int64_t waitMs);
