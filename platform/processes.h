// Running processes, from /proc.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct ProcessEntry {
    int pid = 0;
    // File name of the executable (the base name of /proc/<pid>/exe, or the
    // kernel's process name when that link cannot be read).
    std::string name;
};

// Processes that run (ended ones that were not yet reaped are left out).
std::vector<ProcessEntry> ListProcesses();

// Processes whose executable file name equals `name` exactly (case matters);
// counting stops at `limit` when it is positive.
int CountProcessesNamed(const std::string& name, int limit = 0);

int CurrentProcessId();

} // namespace platform
