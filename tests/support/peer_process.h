// A test peer started through the shell that runs until its standard input
// closes; ready once it has written `readyFile`.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/wait_until.h"

namespace testing_support {

class PeerProcess {
public:
    PeerProcess(const std::string& command, const std::string& readyFile, int timeoutSeconds)
    {
        pipe_ = ::popen(command.c_str(), "w");
        if (pipe_ == nullptr) return;
        ready_ = WaitUntil([&] { return std::filesystem::exists(readyFile); }, timeoutSeconds * 1000, 25);
    }
    ~PeerProcess()
    {
        if (pipe_ != nullptr) ::pclose(pipe_);
    }
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool Ready() const { return ready_; }

private:
    std::FILE* pipe_ = nullptr;
    bool ready_ = false;
};

} // namespace testing_support
