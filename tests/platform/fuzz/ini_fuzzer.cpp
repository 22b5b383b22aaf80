// Ini files are edited by users: any bytes must parse, and a write followed by
// a read must give back what was written, for any key the writer accepts.
#include "platform/ini.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first line, when short, names a key; the rest is the file.
    std::size_t cut = input.find('\n');
    std::string_view key = (cut != std::string_view::npos && cut < 16) ? input.substr(0, cut) : "Lan";
    std::string_view bytes = cut != std::string_view::npos && cut < 16 ? input.substr(cut + 1) : input;

    platform::FindIniValue(bytes, "Setting", key);
    platform::FindIniValue(bytes, "dict", "DE");
    if (!platform::UpdateIniValue(bytes, "Setting", "Lan", "value 7")) std::abort(); // a valid write
    auto updated = platform::UpdateIniValue(bytes, "Setting", key, "value 7");
    if (!updated) return 0; // refused keys are fine, as long as accepted ones read back
    auto back = platform::FindIniValue(*updated, "setting", key);
    if (!back || *back != "value 7") std::abort();
    return 0;
}
