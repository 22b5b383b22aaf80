// Small helpers shared by basekit's tests: a private temporary folder, whole
// file reads and writes, and running outside commands through the shell.
#ifndef BASEKIT_TEST_SUPPORT_H
#define BASEKIT_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/file_bytes.h"
#include "support/run_command.h"
#include "support/temp_folder.h"

namespace basekit_test {

namespace fs = std::filesystem;

class TempDir : public testing_support::TempFolder {
public:
    fs::path path() const { return Path(); }
    std::string file(const std::string &name) const { return Path() + "/" + name; }
};

inline std::vector<unsigned char> readBytes(const std::string &path) { return testing_support::ReadFileBytes(path); }

inline std::string readText(const std::string &path) { return testing_support::ReadFileText(path); }

inline void writeBytes(const std::string &path, const void *data, size_t length) {
    testing_support::WriteFileBytes(path, data, length);
}

inline void writeText(const std::string &path, const std::string &text) { writeBytes(path, text.data(), text.size()); }

// Runs a shell command; its exit status, and its standard output in `output`
// when given. (A scratch folder some callers name is no longer needed.)
inline int runShell(const std::string &command, std::string *output = nullptr, const TempDir * /*scratch*/ = nullptr) {
    testing_support::CommandResult result = testing_support::RunCommand(command);
    if (output != nullptr)
        *output = std::move(result.output);
    return result.exitCode;
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
