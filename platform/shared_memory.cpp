#include "platform/shared_memory.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

std::string ObjectName(const std::string& name)
{
    return !name.empty() && name[0] == '/' ? name : "/" + name;
}

} // namespace

SharedMemoryBlock::~SharedMemoryBlock() { Close(); }

SharedMemoryBlock::OpenResult SharedMemoryBlock::Open(const std::string& name)
{
    Close();
    fd_ = ::shm_open(ObjectName(name).c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd_ >= 0) return OpenResult::Opened;
    return errno == ENOENT ? OpenResult::Missing : OpenResult::Failed;
}

bool SharedMemoryBlock::Create(const std::string& name, std::size_t size)
{
    Close();
    const std::string object = ObjectName(name);
    int fd = ::shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    // Other users' processes must be able to attach whatever our umask says.
    if (::fchmod(fd, 0666) != 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        const int error = errno;
        ::close(fd);
        ::shm_unlink(object.c_str());
        errno = error;
        return false;
    }
    fd_ = fd;
    return true;
}

std::size_t SharedMemoryBlock::Size() const
{
    struct stat st{};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
    return static_cast<std::size_t>(st.st_size);
}

void* SharedMemoryBlock::MapView() const
{
    const std::size_t size = Size();
    if (size == 0) return nullptr;
    void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    return view == MAP_FAILED ? nullptr : view;
}

void SharedMemoryBlock::Close()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool SharedMemoryBlock::UnmapView(void* address, std::size_t size)
{
    return address != nullptr && ::munmap(address, size) == 0;
}

bool SharedMemoryBlock::Remove(const std::string& name)
{
    return ::shm_unlink(ObjectName(name).c_str()) == 0;
}

} // namespace platform
