// What a test can learn about its own process.
#pragma once

#include <fstream>
#include <string>

namespace testing_support {

// Threads of this process, from the kernel's count; -1 when unknown.
inline int ThreadCount()
{
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    }
    return -1;
}

} // namespace testing_support
