// Named memory blocks that every process on the machine can map (POSIX
// shared memory). A block lives until it is removed by name, not merely until
// the last process lets go of it.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

class SharedMemoryBlock {
public:
    enum class OpenResult { Opened, Missing, Failed };

    SharedMemoryBlock() = default;
    ~SharedMemoryBlock(); // closes the handle; mappings stay until UnmapView
    SharedMemoryBlock(const SharedMemoryBlock&) = delete;
    SharedMemoryBlock& operator=(const SharedMemoryBlock&) = delete;

    // Opens an existing block by name ("/NAME" form is added when missing).
    OpenResult Open(const std::string& name);
    // Creates a new zero-filled block of `size` bytes, readable and writable
    // by every user; fails when the name exists already.
    bool Create(const std::string& name, std::size_t size);
    bool IsOpen() const { return fd_ >= 0; }
    // Size of the block as it exists now.
    std::size_t Size() const;
    // A read-write view of the whole block, or nullptr.
    void* MapView() const;
    void Close();

    static bool UnmapView(void* address, std::size_t size);
    // Removes the name; processes that mapped the block keep their view.
    static bool Remove(const std::string& name);

private:
    int fd_ = -1;
};

} // namespace platform
