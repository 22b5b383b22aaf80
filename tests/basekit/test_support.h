// Small helpers shared by basekit's tests: a private temporary folder, whole
// file reads and writes, and running outside commands through the shell.
#ifndef BASEKIT_TEST_SUPPORT_H
#define BASEKIT_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace basekit_test {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("basekit_test_" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const fs::path &path() const { return path_; }
    std::string file(const std::string &name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

inline std::vector<unsigned char> readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string readText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::string &path, const void *data, size_t length) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char *>(data), static_cast<std::streamsize>(length));
}

inline void writeText(const std::string &path, const std::string &text) { writeBytes(path, text.data(), text.size()); }

// Runs a shell command; its standard output goes to `output` when given.
inline int runShell(const std::string &command, std::string *output = nullptr, const TempDir *scratch = nullptr) {
    if (output == nullptr)
        return std::system(command.c_str());
    TempDir own;
    const std::string capture = (scratch ? *scratch : own).file("shell_output.txt");
    const int status = std::system((command + " > '" + capture + "'").c_str());
    *output = readText(capture);
    return status;
}

inline std::string quote(const std::string &text) { return "'" + text + "'"; }

inline std::vector<unsigned char> randomBytes(size_t length, unsigned seed) {
    std::mt19937 gen(seed);
    std::vector<unsigned char> data(length);
    for (auto &b : data)
        b = static_cast<unsigned char>(gen());
    return data;
}

}  // namespace basekit_test

#endif
