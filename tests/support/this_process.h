// What a test can learn about its own process.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
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

// The threads of this process by id, each with the name the kernel keeps
// for it (at most 15 bytes; a thread nobody named has its process's name).
inline std::map<int, std::string> ThreadNames()
{
    std::map<int, std::string> names;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream in(task.path() / "comm");
        std::string name;
        // A thread that ended while the folder was read has no name left.
        if (!std::getline(in, name)) continue;
        names[std::stoi(task.path().filename().string())] = name;
    }
    return names;
}

} // namespace testing_support
