#include "platform/file_descriptors.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

namespace platform {

const int kOpenReadOnly = O_RDONLY;
const int kOpenWriteOnly = O_WRONLY;
const int kOpenReadWrite = O_RDWR;
const int kOpenCreate = O_CREAT;
const int kOpenTruncate = O_TRUNC;
const int kOpenAppend = O_APPEND;

int OpenDescriptor(const std::string& path, int flags, unsigned mode)
{
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, static_cast<mode_t>(mode));
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool CloseDescriptor(int fd) { return fd >= 0 && ::close(fd) == 0; }

long long WriteDescriptor(int fd, const void* data, std::size_t length)
{
    const char* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, bytes + done, length - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return done > 0 ? static_cast<long long>(done) : -1;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(done);
}

bool CreateFilledFile(const std::string& path, uint64_t length, unsigned char value)
{
    const int fd = OpenDescriptor(path, O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    bool ok = ::ftruncate(fd, static_cast<off_t>(length)) == 0;
    if (ok && length > 0) {
        void* view = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        ok = view != MAP_FAILED;
        if (ok) {
            std::memset(view, value, length);
            ok = ::msync(view, length, MS_SYNC) == 0;
            ::munmap(view, length);
        }
    }
    const int error = errno;
    ::close(fd);
    errno = error;
    return ok;
}

FileUse CheckFileUse(const std::string& path)
{
    const int fd = OpenDescriptor(path, O_RDONLY);
    if (fd < 0) return FileUse::CannotOpen;
    FileUse use = FileUse::Unused;
    // Someone opening the file while we hold the lease makes the kernel
    // signal us; route that to a signal whose default action is to ignore it.
    ::fcntl(fd, F_SETSIG, SIGURG);
    if (::fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
    } else if (errno == EAGAIN || errno == EBUSY) {
        use = FileUse::InUse;
    } else if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        ::flock(fd, LOCK_UN);
    } else {
        use = FileUse::InUse;
    }
    ::close(fd);
    return use;
}

} // namespace platform
