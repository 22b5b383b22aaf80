// Ini files are edited by users: any bytes must parse, and a write followed by
// a read must give back what was written.
#include "platform/ini.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    platform::FindIniValue(bytes, "Setting", "Lan");
    platform::FindIniValue(bytes, "dict", "DE");
    auto updated = platform::UpdateIniValue(bytes, "Setting", "Lan", "value 7");
    if (!updated) std::abort(); // a valid write is never refused
    auto back = platform::FindIniValue(*updated, "setting", "LAN");
    if (!back || *back != "value 7") std::abort();
    return 0;
}
