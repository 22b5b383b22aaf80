#include "platform/processes.h"

#include "platform/files.h"
#include "platform/paths.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace platform {
namespace {

// A process that has ended but was not yet reaped is no running copy.
bool IsZombie(const std::string& pid)
{
    auto stat = ReadWholeFile("/proc/" + pid + "/stat");
    if (!stat) return true; // gone meanwhile
    std::size_t close = stat->rfind(')');
    return close == std::string::npos || close + 2 >= stat->size() || (*stat)[close + 2] == 'Z';
}

std::string ProcessName(const std::string& pid)
{
    std::string exe(4096, '\0');
    std::string link = "/proc/" + pid + "/exe";
    ssize_t n = ::readlink(link.c_str(), exe.data(), exe.size());
    if (n > 0 && static_cast<std::size_t>(n) < exe.size()) {
        exe.resize(static_cast<std::size_t>(n));
        const std::string deleted = " (deleted)";
        if (exe.size() > deleted.size() && exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0)
            exe.resize(exe.size() - deleted.size());
        return FileNamePart(exe);
    }
    auto comm = ReadWholeFile("/proc/" + pid + "/comm");
    if (!comm) return {};
    while (!comm->empty() && comm->back() == '\n') comm->pop_back();
    return *comm;
}

template <typename Visit>
void ForEachProcess(Visit visit)
{
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return;
    while (dirent* entry = ::readdir(proc)) {
        std::string id = entry->d_name;
        if (id.empty() || !std::all_of(id.begin(), id.end(), [](unsigned char c) { return std::isdigit(c); }))
            continue;
        if (!visit(std::stoi(id), id)) break;
    }
    ::closedir(proc);
}

} // namespace

std::vector<ProcessEntry> ListProcesses()
{
    std::vector<ProcessEntry> list;
    ForEachProcess([&](int pid, const std::string& id) {
        if (IsZombie(id)) return true;
        std::string name = ProcessName(id);
        if (!name.empty()) list.push_back({pid, std::move(name)});
        return true;
    });
    return list;
}

int CountProcessesNamed(const std::string& name, int limit)
{
    int count = 0;
    ForEachProcess([&](int, const std::string& id) {
        if (ProcessName(id) == name && !IsZombie(id)) ++count;
        return limit <= 0 || count < limit;
    });
    return count;
}

int CurrentProcessId() { return static_cast<int>(::getpid()); }

} // namespace platform
