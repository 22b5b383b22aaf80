// Low-level files: descriptors with open flags, fixed-size files filled with
// one byte value, and the check whether another process has a file open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Open flags for OpenDescriptor, to be combined with "|".
extern const int kOpenReadOnly;
extern const int kOpenWriteOnly;
extern const int kOpenReadWrite;
extern const int kOpenCreate;
extern const int kOpenTruncate;
extern const int kOpenAppend;

// A descriptor, or -1. Created files get `mode`.
int OpenDescriptor(const std::string& path, int flags, unsigned mode = 0644);
bool CloseDescriptor(int fd);
// Bytes written (all of them unless an error came first), or -1.
long long WriteDescriptor(int fd, const void* data, std::size_t length);

// Creates or truncates the file and gives it `length` bytes of `value`.
bool CreateFilledFile(const std::string& path, uint64_t length, unsigned char value);

enum class FileUse {
    Unused,      // nobody else has the file open
    InUse,       // another descriptor is open on it, or it holds an exclusive lock
    CannotOpen,  // missing or unreadable
};
// Tries to take a write lease, which the kernel grants only when no other
// descriptor is open on the file (the owner or CAP_LEASE is needed). Without
// a lease it falls back to an exclusive advisory lock, which sees only
// processes that lock the file themselves.
FileUse CheckFileUse(const std::string& path);

} // namespace platform
