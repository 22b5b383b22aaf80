// Runs the simulated camera service (tools/camsim) as a test peer on loopback.
// The peer ends when this object closes its standard input, and at the latest
// after its own time limit.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"

namespace netsdk_test {

inline std::string CamsimCommand(const std::string& arguments)
{
    // Standard library only: Debian's interpreter, which starts fastest.
    return "PYTHONPATH=" OSTRELS_SOURCE_DIR "/tools/camsim exec /usr/bin/python3 -m camsim " + arguments;
}

// One of the simulated servers ("login", "mgr"); commands go to its standard
// input one line at a time.
class CamsimServer {
public:
    CamsimServer(const std::string& server, const std::string& options)
    {
        portFile_ = folder_.Path() + "/port";
        logFile_ = folder_.Path() + "/frames.jsonl";
        std::string command = CamsimCommand(server + " --port 0 --port-file " + portFile_ + " --log " + logFile_ +
                                            " --max-seconds 120 " + options);
        pipe_ = ::popen(command.c_str(), "w");
        if (pipe_ == nullptr) return;
        // The peer writes its port once it listens.
        testing_support::WaitUntil([&] {
            std::ifstream in(portFile_);
            if (!(in >> port_ >> pid_)) port_ = 0;
            return port_ != 0;
        }, testing_support::kEventBoundMs, 25);
    }
    ~CamsimServer()
    {
        if (pipe_ != nullptr) ::pclose(pipe_);
    }
    CamsimServer(const CamsimServer&) = delete;
    CamsimServer& operator=(const CamsimServer&) = delete;

    void Command(const std::string& line)
    {
        if (pipe_ == nullptr) return;
        std::fputs((line + "\n").c_str(), pipe_);
        std::fflush(pipe_);
    }

    uint16_t Port() const { return static_cast<uint16_t>(port_); }
    // The peer's process, for tests that freeze and thaw it.
    int Pid() const { return pid_; }
    // One JSON line per frame the peer received.
    std::vector<std::string> Frames() const
    {
        std::vector<std::string> lines;
        std::ifstream in(logFile_);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

private:
    testing_support::TempFolder folder_;
    std::string portFile_;
    std::string logFile_;
    FILE* pipe_ = nullptr;
    int port_ = 0;
    int pid_ = 0;
};

class CamsimLogin : public CamsimServer {
public:
    explicit CamsimLogin(const std::string& options = {}) : CamsimServer("login", options) {}
};

} // namespace netsdk_test
