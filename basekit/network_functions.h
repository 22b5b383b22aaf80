/*
 * Host names, IPv4 addresses and ping.
 */
#ifndef BASEKIT_NETWORK_FUNCTIONS_H
#define BASEKIT_NETWORK_FUNCTIONS_H

#include <stddef.h>
#include <stdint.h>

#include "basekit/export.h"

BASEKIT_C_BEGIN

// The host name cut at its first "."; a name longer than 15 characters gives
// the empty text. The unbounded form needs 16 characters of room. Returns 1
// when a name was given, else 0 (and the empty text).
BASEKIT_API int GetHostName(char *text);
BASEKIT_API int GetHostName_s(char *text, size_t capacity);
// The index-th IPv4 address (0-8) of the host name as dotted text (16
// characters of room): 1, -1 when the host has no such address or the look-up
// fails, 0 for an index outside 0-8.
BASEKIT_API int GetHostIp(char *text, int index);
// Dotted text of an address in network byte order; the text belongs to the
// calling thread and lasts until its next call.
BASEKIT_API const char *IpN2Str(uint32_t address);
// 1 for four "."-separated decimal parts of 1-3 digits, each 0-255, the first
// not 0, no leading zeros; else 0.
BASEKIT_API int CheckIp(const char *text);
// Number of echo replies to `count` ICMP echo requests (count up to 65,535;
// 0 or less sends none), each waited for at most `timeoutMs`. -1 when the
// host cannot be resolved or no ICMP socket can be opened.
BASEKIT_API int MyPing(const char *host, int count, int timeoutMs);

BASEKIT_C_END

#endif
