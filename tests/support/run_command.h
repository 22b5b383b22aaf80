// Runs a shell command and captures its standard output, for checks against
// outside tools.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace testing_support {

struct CommandResult {
    int exitCode = -1;
    std::string output;
};

inline CommandResult RunCommand(const std::string& command)
{
    CommandResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

inline bool HaveCommand(const std::string& name)
{
    return RunCommand("command -v " + name + " >/dev/null 2>&1").exitCode == 0;
}

// The text with trailing line ends removed.
inline std::string Chomp(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

} // namespace testing_support
