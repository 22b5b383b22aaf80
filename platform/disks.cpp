#include "platform/disks.h"

#include "platform/paths.h"

#include <mntent.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

namespace platform {
namespace {

bool IsPseudoFileSystem(std::string_view type)
{
    static constexpr std::array<std::string_view, 24> kPseudo = {
        "proc",     "sysfs",      "devpts",  "cgroup",   "cgroup2",    "securityfs",
        "debugfs",  "tracefs",    "pstore",  "bpf",      "mqueue",     "hugetlbfs",
        "configfs", "fusectl",    "autofs",  "binfmt_misc", "rpc_pipefs", "nsfs",
        "efivarfs", "selinuxfs",  "ramfs",   "overlay_proc", "devtmpfs", "fuse.gvfsd-fuse"};
    return std::find(kPseudo.begin(), kPseudo.end(), type) != kPseudo.end();
}

} // namespace

std::vector<MountedDisk> ListMountedDisks(std::size_t limit)
{
    std::vector<MountedDisk> disks;
    FILE* table = ::setmntent("/proc/self/mounts", "r");
    if (table == nullptr) return disks;
    mntent entry;
    char buffer[4096];
    while (::getmntent_r(table, &entry, buffer, sizeof buffer) != nullptr) {
        if (IsPseudoFileSystem(entry.mnt_type)) continue;
        struct statvfs vfs;
        if (::statvfs(entry.mnt_dir, &vfs) != 0 || vfs.f_blocks == 0) continue;
        MountedDisk disk;
        disk.mountPoint = entry.mnt_dir;
        disk.device = entry.mnt_fsname;
        disk.type = entry.mnt_type;
        disk.totalBytes = static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize;
        disk.freeBytes = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
        auto same = std::find_if(disks.begin(), disks.end(),
                                 [&](const MountedDisk& d) { return d.mountPoint == disk.mountPoint; });
        if (same != disks.end()) disks.erase(same);
        disks.push_back(std::move(disk));
    }
    ::endmntent(table);
    if (disks.size() > limit) disks.resize(limit);
    return disks;
}

int FindDiskForPath(const std::vector<MountedDisk>& disks, const std::string& path)
{
    std::string normal = NormalizePath(path);
    int best = -1;
    std::size_t bestLength = 0;
    for (std::size_t i = 0; i < disks.size(); ++i) {
        const std::string& mount = disks[i].mountPoint;
        bool prefix = mount == "/" ? !normal.empty() && normal.front() == '/'
                                   : normal.compare(0, mount.size(), mount) == 0 &&
                                         (normal.size() == mount.size() || normal[mount.size()] == '/');
        if (prefix && (best < 0 || mount.size() > bestLength)) {
            best = static_cast<int>(i);
            bestLength = mount.size();
        }
    }
    return best;
}

} // namespace platform
