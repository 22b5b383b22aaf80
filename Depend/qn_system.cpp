#include "Depend/qn_system.h"

#include "Depend/qn_folders.h"
#include "platform/clock.h"
#include "platform/disks.h"
#include "platform/files.h"
#include "platform/hosts.h"
#include "platform/paths.h"
#include "platform/system_info.h"
#include "platform/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t kBlockLimit = 200; // every formatted block of the report

int ArchitectureCode(const std::string& machine)
{
    if (machine == "x86_64") return 9;
    if (machine == "aarch64") return 12;
    if (machine == "i386" || machine == "i486" || machine == "i586" || machine == "i686") return 0;
    if (machine.rfind("arm", 0) == 0) return 5;
    if (machine == "ia64") return 6;
    return 0xFFFF;
}

// One formatted block of the report, at most kBlockLimit - 1 bytes. A cut
// falls on a character boundary and keeps the block's own line end, so the
// next block still starts on a line of its own.
std::string Block(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Block(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(n > 0 ? static_cast<std::size_t>(n) + 1 : 1, '\0');
    if (n > 0) std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    if (text.size() < kBlockLimit) return text;
    std::string end = text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0 ? "\r\n"
                      : text.back() == '\n'                                           ? "\n"
                                                                                       : "";
    text.resize(platform::Utf8PrefixLength(text, kBlockLimit - 1 - end.size()));
    return text + end;
}

double UsedPercent(uint64_t totalBytes, uint64_t freeBytes)
{
    return totalBytes == 0 ? 0.0
                           : static_cast<double>(totalBytes - freeBytes) * 100.0 / static_cast<double>(totalBytes);
}

// The service's clock is China Standard Time: the whole time stamp moves to
// UTC+8, so that the date turns with the hour.
std::string TimeLine()
{
    platform::WallTime now = platform::WallNow();
    platform::CivilTime t = platform::ToUtcTime(now.seconds + 8 * 3600, now.milliseconds);
    return Block("[%4d-%02d-%02d %02d:%02d:%02d_%03d]\r\n", t.year, t.month, t.day, t.hour, t.minute, t.second,
                 t.millisecond);
}

std::string ProductTypeLine(int type)
{
    switch (type) {
    case 1: return " ProductType:VER_NT_WORKSTATION \r\n";
    case 2: return " ProductType:VER_NT_DOMAIN_CONTROLLER \r\n";
    case 3: return " ProductType:VER_NT_SERVER \r\n";
    default: return Block(" ProductType:%d \r\n", type);
    }
}

std::string ArchitectureLine(int architecture)
{
    switch (architecture) {
    case 0: return " x86 \r\n";
    case 5: return " ARM \r\n";
    case 6: return " Intel Itanium-based \r\n";
    case 9: return " x64 (AMD or Intel) \r\n";
    case 0xFFFF: return " Unknown architecture. \r\n";
    default: return Block(" OemId:%d. \r\n", architecture);
    }
}

} // namespace

int QNIsWow64() { return platform::Is64BitSystem() ? 1 : 0; }

int QNGetOsVersion(QNOsVersion* version)
{
    if (version == nullptr) return 0;
    platform::OsVersion os = platform::QueryOsVersion();
    *version = QNOsVersion{};
    version->majorVersion = os.major;
    version->minorVersion = os.minor;
    version->buildNumber = os.build;
    version->platformId = 2; // the value a current system reports
    platform::CopyBounded(version->csdVersion, sizeof version->csdVersion, os.version);
    version->productType = 1;
    version->architecture = ArchitectureCode(os.machine);
    version->processorCount = platform::QueryProcessor().count;
    return os.release.empty() ? 0 : 1;
}

int QNGetProcessorInfo(wchar_t* name, int capacity, int* type, int* count, int* megahertz)
{
    platform::ProcessorInfo cpu = platform::QueryProcessor();
    if (name != nullptr && capacity > 0)
        platform::CopyBounded(name, static_cast<std::size_t>(capacity), platform::Utf8ToWide(cpu.name));
    if (type != nullptr) *type = ArchitectureCode(platform::QueryOsVersion().machine);
    if (count != nullptr) *count = cpu.count;
    if (megahertz != nullptr) *megahertz = cpu.megahertz;
    return 1;
}

int QNGetDiskList(QNDiskEntry* entries, int capacity)
{
    if (entries == nullptr || capacity <= 0) return 0;
    auto disks = platform::ListMountedDisks(static_cast<std::size_t>(capacity));
    for (std::size_t i = 0; i < disks.size(); ++i) {
        QNDiskEntry& e = entries[i];
        e = QNDiskEntry{};
        platform::CopyBounded(e.name, sizeof e.name, disks[i].mountPoint);
        e.freeMB = static_cast<uint32_t>(disks[i].freeBytes >> 20);
        e.totalMB = static_cast<uint32_t>(disks[i].totalBytes >> 20);
        e.usedPercent = static_cast<float>(UsedPercent(disks[i].totalBytes, disks[i].freeBytes));
    }
    return static_cast<int>(disks.size());
}

int QNGetDiskFreeMByte(const wchar_t* path, wchar_t* drive, uint32_t* freeMB, float* usedPercent)
{
    if (path == nullptr) return -1;
    // Match against every mount: a path on a mount past the listed ones must not
    // be taken for one on a shorter prefix such as "/".
    auto disks = platform::ListMountedDisks(SIZE_MAX);
    int index = platform::FindDiskForPath(disks, platform::WideToUtf8(path));
    if (index < 0 || index >= kQNMaxDisks) return -1;
    const platform::MountedDisk& disk = disks[static_cast<std::size_t>(index)];
    if (drive != nullptr) platform::CopyBounded(drive, 5, std::wstring_view(path).substr(0, 4));
    if (freeMB != nullptr) *freeMB = static_cast<uint32_t>(disk.freeBytes >> 20);
    if (usedPercent != nullptr)
        *usedPercent = static_cast<float>(UsedPercent(disk.totalBytes, disk.freeBytes));
    return index;
}

int QNGetHostIp(const char* host, char addresses[10][32], int* count)
{
    if (count != nullptr) *count = 0;
    if (host == nullptr || addresses == nullptr) return 0;
    auto found = platform::ResolveIPv4(host, 10);
    for (std::size_t i = 0; i < found.size(); ++i) platform::CopyBounded(addresses[i], 32, found[i]);
    if (count != nullptr) *count = static_cast<int>(found.size());
    return found.empty() ? 0 : 1;
}

int QNGetCountryCode(wchar_t* buffer, int capacity)
{
    if (buffer == nullptr || capacity <= 0) return 0;
    std::string code = platform::LocaleCountryCode();
    if (code.empty()) return 0;
    return platform::CopyIfFits(buffer, static_cast<std::size_t>(capacity), platform::Utf8ToWide(code)) ? 1 : 0;
}

int QNGetAdapterAddresses(QNAdapterAddress* entries, int capacity)
{
    if (entries == nullptr || capacity <= 0) return 0;
    int n = 0;
    for (const auto& a : platform::ListAdapterAddresses()) {
        if (n >= capacity) break;
        if (a.address == "0.0.0.0") continue;
        QNAdapterAddress& e = entries[n++];
        e = QNAdapterAddress{};
        platform::CopyBounded(e.address, sizeof e.address, a.address);
        platform::CopyBounded(e.mask, sizeof e.mask, a.mask);
        platform::CopyBounded(e.gateway, sizeof e.gateway, a.gateway);
        int p[4] = {};
        std::sscanf(a.gateway.c_str(), "%d.%d.%d.%d", &p[0], &p[1], &p[2], &p[3]);
        std::snprintf(e.gatewayPrefix, sizeof e.gatewayPrefix, "%d.%d.%d", p[0], p[1], p[2]);
        e.valid = 1;
    }
    return n;
}

int QNWriteSystemReport(const char* path)
{
    std::string file;
    if (path != nullptr) {
        file = platform::NormalizePath(path);
    } else {
        wchar_t data[4096] = {};
        if (!QNGetAppDataPathEx(data, 4096)) return 0;
        file = platform::WideToUtf8(data) + "/Log/report.txt";
    }

    wchar_t program[4096] = {};
    QNGetExePath(program, 4096);
    QNOsVersion os;
    QNGetOsVersion(&os);
    platform::ProcessorInfo cpu = platform::QueryProcessor();
    platform::MemoryInfo memory = platform::QueryMemory();
    wchar_t country[16] = {};
    QNGetCountryCode(country, 16);

    std::string report = TimeLine();
    report += "[User]\r\n";
    report += Block(" Client Path:%s\r\n", platform::WideToUtf8(program).c_str());
    report += "[Operating System]\r\n";
    report += Block(" MajorVersion:%d\n MinorVersion:%d\n BuildNumber:%d\n PlatformId:%d\n", os.majorVersion,
                    os.minorVersion, os.buildNumber, os.platformId);
    report += " \r\n";
    report += Block(" CSDVersion:%s\n ServicePackMajor:%d\n ServicePackMinor:%d\n SuiteMask:%d\n", os.csdVersion,
                    os.servicePackMajor, os.servicePackMinor, os.suiteMask);
    report += ProductTypeLine(os.productType);
    report += "[PROCESSOR]\r\n";
    report += ArchitectureLine(os.architecture);
    report += Block(" NumberOfProcessors:%d\n", cpu.count);
    report += Block(" Frequency:%ld MHz\n", static_cast<long>(cpu.megahertz));
    report += Block(" System Type:%s\n", QNIsWow64() ? "64 bit" : "32 bit");
    report += Block(" Physical Memory(MB):%ld\n Virtual Memory(MB):%ld\n", static_cast<long>(memory.physicalBytes >> 20),
                    static_cast<long>(memory.virtualBytes >> 20));
    report += " \r\n";
    report += Block("Country:%s\n", platform::WideToUtf8(country).c_str());
    report += "end report.txt\n";
    report += TimeLine();
    return platform::WriteWholeFile(file, report) ? 1 : 0;
}
