// Arbitrary files of the ini dialect, asked for a section and key taken from
// the input's first two lines: the reader must never run past a value's room.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "basekit/file_manage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string path = "/tmp/basekit_ini_fuzzer_" + std::to_string(reinterpret_cast<uintptr_t>(&path));
    const std::string input(reinterpret_cast<const char *>(data), size);
    const size_t first = input.find('\n');
    const size_t second = first == std::string::npos ? std::string::npos : input.find('\n', first + 1);
    if (second == std::string::npos)
        return 0;
    const std::string section = input.substr(0, first);
    const std::string key = input.substr(first + 1, second - first - 1);
    if (std::FILE *file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(input.data() + second + 1, 1, size - second - 1, file);
        std::fclose(file);
    }
    IniFile ini(path.c_str());
    char value[IniFile::kValueCapacity];
    if (ini.ReadKeyValue(section.c_str(), key.c_str(), value) == 1 && std::strlen(value) >= sizeof value)
        __builtin_trap();
    char small[5];
    if (ini.ReadKeyValue(section.c_str(), key.c_str(), small, sizeof small) == 1 && std::strlen(small) >= sizeof small)
        __builtin_trap();
    int number = 0;
    float real = 0;
    ini.ReadKeyIntValue(section.c_str(), key.c_str(), &number);
    ini.ReadKeyFloatValue(section.c_str(), key.c_str(), &real);
    std::remove(path.c_str());
    return 0;
}
