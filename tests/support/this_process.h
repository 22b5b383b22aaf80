// What a test can learn about its own process.
#pragma once

#include <fstream>
#include <string>
#include <thread>

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

// The thread count to compare with once a test's own threads are gone. A
// sanitizer brings up a helper thread with the first thread a process starts
// and keeps it, so one thread is started and joined before counting.
inline int SettledThreadCount()
{
    std::thread([] {}).join();
    return ThreadCount();
}

} // namespace testing_support
