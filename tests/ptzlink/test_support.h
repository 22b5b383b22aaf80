// Helpers of the PTZ linkage tests: a temporary folder, raw files and the
// Python oracles (Debian's interpreter, which carries numpy and OpenCV).
#ifndef OSTRELS_TESTS_PTZLINK_TEST_SUPPORT_H
#define OSTRELS_TESTS_PTZLINK_TEST_SUPPORT_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace ptzlink_test {

inline const char* kDebianPython = "/usr/bin/python3";

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir : public testing_support::TempFolder {
public:
    std::string file(const std::string& name) const { return Path() + "/" + name; }
    bool ok() const { return !Path().empty(); }
};

template <typename T>
inline bool write_raw(const std::string& path, const std::vector<T>& data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size() * sizeof(T)));
    return bool(out);
}

template <typename T>
inline std::vector<T> read_raw(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<T> out(bytes.size() / sizeof(T));
    if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size() * sizeof(T));
    return out;
}

inline std::string script_path(const std::string& name)
{
    return std::string(OSTRELS_SOURCE_DIR) + "/tests/ptzlink/" + name;
}

// Runs a script of this folder with Debian's Python; its standard output, or
// an empty text with `error` set when it failed.
inline std::string run_python(const std::string& script, const std::string& args, std::string* error)
{
    const std::string command = std::string(kDebianPython) + " " + script_path(script) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        *error = "cannot start " + command;
        return {};
    }
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    const int status = pclose(pipe);
    if (status != 0) {
        *error = command + " failed: " + out;
        return {};
    }
    return out;
}

}  // namespace ptzlink_test

#endif
