// What the program knows of the computer it runs on, and the system report
// "report.txt" it writes at every start.
#pragma once

#include <cstdint>

// 1 when the system is 64-bit.
int QNIsWow64();

struct QNOsVersion {
    int majorVersion = 0;
    int minorVersion = 0;
    int buildNumber = 0;
    int platformId = 0;
    char csdVersion[128] = {};
    int servicePackMajor = 0;
    int servicePackMinor = 0;
    int suiteMask = 0;
    int productType = 0;      // 1 workstation
    int architecture = 0xFFFF; // 0 x86, 5 ARM, 9 x64, 12 ARM64, 0xFFFF unknown
    int processorCount = 0;
};
// Fills the record; 1 on success.
int QNGetOsVersion(QNOsVersion* version);

// Processor name (cut to capacity), architecture code, count and MHz; 1 on
// success. Unknown values stay empty or 0.
int QNGetProcessorInfo(wchar_t* name, int capacity, int* type, int* count, int* megahertz);

struct QNDiskEntry {
    char name[32];       // mount point, cut to fit
    uint32_t freeMB;     // available megabytes
    uint32_t totalMB;
    float usedPercent;   // (total - free) * 100 / total
};
constexpr int kQNMaxDisks = 20;
// Real mounted file systems with a size, at most `capacity`; the count.
int QNGetDiskList(QNDiskEntry* entries, int capacity);

// The disk that holds `path` (the mount with the longest matching mount
// point; -1 when that is not among the first 20): its index, with the path's first four characters
// as drive text (when a buffer of 5 is given), its free megabytes and used
// percent. -1 when no disk matches; the outputs then stay as they were.
int QNGetDiskFreeMByte(const wchar_t* path, wchar_t* drive, uint32_t* freeMB, float* usedPercent);

// Up to 10 dotted IPv4 addresses of `host` in resolver order; 1 when at least
// one was found, else 0 with count 0.
int QNGetHostIp(const char* host, char addresses[10][32], int* count);

// The two-letter country code of the user's locale; 1 when known.
int QNGetCountryCode(wchar_t* buffer, int capacity);

struct QNAdapterAddress {
    char address[32];
    char mask[32];
    char gateway[32];
    char gatewayPrefix[32]; // the gateway's first three parts, "%d.%d.%d"
    int valid;
};
// Every adapter address that is not "0.0.0.0", at most `capacity`; the count.
int QNGetAdapterAddresses(QNAdapterAddress* entries, int capacity);

// Rewrites the report at `path`, or at "Log/report.txt" in the data folder
// when null. 1, or 0 when the file cannot be written.
int QNWriteSystemReport(const char* path = nullptr);
