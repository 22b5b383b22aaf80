#include "platform/system_info.h"

#include "platform/files.h"
#include "platform/paths.h"

#include <langinfo.h>
#include <locale.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace platform {
namespace {

std::string FieldOf(const std::string& line)
{
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) return {};
    std::size_t start = line.find_first_not_of(" \t", colon + 1);
    return start == std::string::npos ? std::string() : line.substr(start);
}

std::string CountryFromLocaleName(const std::string& name)
{
    // language[_TERRITORY][.codeset][@modifier]
    std::size_t underscore = name.find('_');
    if (underscore == std::string::npos || underscore + 3 > name.size()) return {};
    std::string country = name.substr(underscore + 1, 2);
    if (!std::isalpha(static_cast<unsigned char>(country[0])) ||
        !std::isalpha(static_cast<unsigned char>(country[1])))
        return {};
    for (char& c : country) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return country;
}

} // namespace

OsVersion QueryOsVersion()
{
    OsVersion v;
    utsname names{};
    if (::uname(&names) != 0) return v;
    v.release = names.release;
    v.version = names.version;
    v.machine = names.machine;
    std::sscanf(names.release, "%d.%d.%d", &v.major, &v.minor, &v.build);
    return v;
}

bool Is64BitSystem()
{
    std::string machine = QueryOsVersion().machine;
    return machine == "x86_64" || machine == "aarch64" || machine == "ppc64le" || machine == "s390x" ||
           machine == "riscv64";
}

ProcessorInfo QueryProcessor()
{
    ProcessorInfo info;
    info.count = static_cast<int>(::sysconf(_SC_NPROCESSORS_ONLN));
    auto cpuinfo = ReadWholeFile("/proc/cpuinfo");
    if (!cpuinfo) return info;
    std::istringstream lines(*cpuinfo);
    std::string line;
    bool haveName = false, haveSpeed = false;
    while (std::getline(lines, line) && !(haveName && haveSpeed)) {
        if (!haveName && line.rfind("model name", 0) == 0) {
            info.name = FieldOf(line);
            haveName = true;
        } else if (!haveSpeed && line.rfind("cpu MHz", 0) == 0) {
            info.megahertz = static_cast<int>(std::strtod(FieldOf(line).c_str(), nullptr));
            haveSpeed = true;
        }
    }
    return info;
}

MemoryInfo QueryMemory()
{
    MemoryInfo info;
    struct sysinfo si{};
    if (::sysinfo(&si) == 0) info.physicalBytes = static_cast<uint64_t>(si.totalram) * si.mem_unit;
    // The user half of a 48-bit address space, as every 64-bit process here has.
    info.virtualBytes = sizeof(void*) == 8 ? (uint64_t{1} << 47) : (uint64_t{1} << 31);
    return info;
}

std::string LocaleCountryCode()
{
    locale_t locale = ::newlocale(LC_ADDRESS_MASK, "", static_cast<locale_t>(0));
    if (locale != static_cast<locale_t>(0)) {
        std::string code = ::nl_langinfo_l(_NL_ADDRESS_COUNTRY_AB2, locale);
        ::freelocale(locale);
        if (!code.empty()) return code;
    }
    for (const char* name : {"LC_ALL", "LC_ADDRESS", "LANG"}) {
        auto value = GetEnv(name);
        if (value && !value->empty()) return CountryFromLocaleName(*value);
    }
    return {};
}

} // namespace platform
