// Mounted file systems stand in for drives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct MountedDisk {
    std::string mountPoint;
    std::string device;
    std::string type;
    uint64_t totalBytes = 0;
    uint64_t freeBytes = 0; // available to an unprivileged user, as `df` shows it
};

// Real file systems from the mount table, in its order (a mount point mounted
// over keeps only its latest entry), skipping kernel pseudo file systems and
// those whose size is 0; at most `limit` entries.
std::vector<MountedDisk> ListMountedDisks(std::size_t limit);

// Index into `disks` of the mount whose mount point is the longest prefix of
// `path` on a path-component boundary; -1 when none.
int FindDiskForPath(const std::vector<MountedDisk>& disks, const std::string& path);

} // namespace platform
