// Helpers of the cloud-storage tests: a private temporary folder, file
// contents, outside commands, a fixed clock, and failure texts that never show
// a secret.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "support/file_bytes.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/temp_folder.h"

namespace cloud_test {

namespace fs = std::filesystem;

inline std::string SourcePath(const std::string& relative)
{
    return std::string(OSTRELS_SOURCE_DIR) + "/" + relative;
}

class TempFolder : public testing_support::TempFolder {
public:
    // The folder with its trailing separator.
    std::string Folder() const { return Path() + "/"; }
    std::string File(const std::string& name) const { return Path() + "/" + name; }
};

inline std::string ReadFile(const std::string& path) { return testing_support::ReadFileText(path); }

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    testing_support::WriteFileBytes(path, bytes.data(), bytes.size());
}

// Runs a shell command; returns its exit status and, when asked, its
// standard output.
inline int Run(const std::string& command, std::string* output = nullptr)
{
    testing_support::CommandResult result = testing_support::RunCommand(command);
    if (output != nullptr) output->append(result.output);
    return result.exitCode;
}

inline std::string Quote(const std::string& text);

// Debian's interpreter, which carries botocore and boto3 (python3-botocore,
// python3-boto3).
inline std::string DebianPython()
{
    return "/usr/bin/python3";
}

// The set-up's environment for moto (scripts/oracles.sh), which also sees
// Debian's botocore and boto3.
inline std::string MotoPython()
{
    return std::string(OSTRELS_SOURCE_DIR) + "/.oracles/venv/bin/python3";
}

inline std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') quoted += "'\\''";
        else quoted.push_back(c);
    }
    return quoted + "'";
}

// Text for a failure message with every secret replaced.
inline std::string Redacted(std::string text, const std::vector<std::string>& secrets)
{
    for (const std::string& secret : secrets) {
        if (secret.empty()) continue;
        for (std::size_t at; (at = text.find(secret)) != std::string::npos;) text.replace(at, secret.size(), "<hidden>");
    }
    return text;
}

using testing_support::PeerProcess;

// "name=value" lines.
inline std::string Setting(const std::string& text, const std::string& name)
{
    const std::string key = name + "=";
    std::size_t at = text.rfind("\n" + key);
    at = text.compare(0, key.size(), key) == 0 ? 0 : (at == std::string::npos ? at : at + 1);
    if (at == std::string::npos) return {};
    const std::size_t end = text.find('\n', at);
    return text.substr(at + key.size(), end == std::string::npos ? std::string::npos : end - at - key.size());
}

// Seconds since 1970 of a local wall-clock time (daylight saving as the zone
// has it).
inline int64_t LocalInstant(int year, int month, int day, int hour, int minute, int second)
{
    platform::CivilTime civil;
    civil.year = year;
    civil.month = month;
    civil.day = day;
    civil.hour = hour;
    civil.minute = minute;
    civil.second = second;
    civil.isDst = -1;
    return platform::FromLocalTime(civil).value();
}

class FixedClock : public platform::Clock {
public:
    explicit FixedClock(int64_t seconds) : seconds_(seconds) {}
    platform::WallTime WallNow() const override { return {seconds_, 0}; }

private:
    int64_t seconds_;
};

} // namespace cloud_test
