// What the computer is: operating system, processor, memory, locale.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct OsVersion {
    int major = 0;
    int minor = 0;
    int build = 0;        // the patch level of the kernel release
    std::string release;  // e.g. "6.1.0-18-amd64"
    std::string version;  // the kernel's build text
    std::string machine;  // e.g. "x86_64"
};
OsVersion QueryOsVersion();

// True on a 64-bit system (x86_64, aarch64 and the like).
bool Is64BitSystem();

struct ProcessorInfo {
    std::string name;     // "model name", empty when unknown
    int megahertz = 0;    // "cpu MHz" of the first processor, 0 when unknown
    int count = 0;        // processors online
};
ProcessorInfo QueryProcessor();

struct MemoryInfo {
    uint64_t physicalBytes = 0;
    uint64_t virtualBytes = 0; // size of a process's user address space
};
MemoryInfo QueryMemory();

// Two-letter ISO 3166 code of the user's locale (LC_ALL, LC_ADDRESS, LANG);
// empty when the locale names no country.
std::string LocaleCountryCode();

} // namespace platform
