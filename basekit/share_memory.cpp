#include "basekit/share_memory.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "basekit/system_functions.h"
#include "platform/shared_memory.h"

namespace {

// Views by address, so that a view can be unmapped from its address alone.
std::mutex &viewsMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<void *, size_t> &views() {
    static std::map<void *, size_t> table;
    return table;
}

void *mapAndRecord(const platform::SharedMemoryBlock &block, size_t &size) {
    size = block.Size();
    void *view = block.MapView();
    if (view == nullptr) {
        size = 0;
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(viewsMutex());
    views()[view] = size;
    return view;
}

bool unmapRecorded(void *address) {
    size_t size = 0;
    {
        std::lock_guard<std::mutex> lock(viewsMutex());
        const auto it = views().find(address);
        if (it == views().end())
            return false;
        size = it->second;
        views().erase(it);
    }
    return platform::SharedMemoryBlock::UnmapView(address, size);
}

std::string shmName(int key) { return "SHM" + std::to_string(key); }

}  // namespace

ShareMemory::ShareMemory() = default;

ShareMemory::ShareMemory(int key, int size) { CreateAndMapShareMemory(key, size, nullptr); }

ShareMemory::~ShareMemory() = default;

void ShareMemory::ShmName(int key, char *name, size_t capacity) {
    if (name != nullptr && capacity > 0)
        std::snprintf(name, capacity, "SHM%d", key);
}

void *ShareMemory::GetShmPtr() { return view_; }

int ShareMemory::CheckShareMemory(int key) {
    if (handle_ && handle_->IsOpen())
        return 1;
    auto block = std::make_unique<platform::SharedMemoryBlock>();
    if (block->Open(shmName(key)) != platform::SharedMemoryBlock::OpenResult::Opened)
        return 0;
    handle_ = std::move(block);
    return 1;
}

int ShareMemory::CreateShareMemory(int key, int size) {
    if (handle_ && handle_->IsOpen()) {
        created_ = 1;
        return 0;
    }
    if (size <= 0)
        return 0;
    auto block = std::make_unique<platform::SharedMemoryBlock>();
    if (!block->Create(shmName(key), static_cast<size_t>(size)) &&
        block->Open(shmName(key)) != platform::SharedMemoryBlock::OpenResult::Opened)
        return 0;
    handle_ = std::move(block);
    created_ = 1;
    return 1;
}

void *ShareMemory::MapShareMemory(int key) {
    if (view_ != nullptr)
        return view_;
    if (!handle_ || !handle_->IsOpen()) {
        if (!CheckShareMemory(key))
            return nullptr;
    }
    view_ = mapAndRecord(*handle_, viewSize_);
    return view_;
}

int ShareMemory::UnMapShareMemory(void *address) {
    if (address == nullptr || !unmapRecorded(address))
        return 0;
    if (address == view_) {
        view_ = nullptr;
        viewSize_ = 0;
    }
    return 1;
}

int ShareMemory::UnMapShareMemory() { return UnMapShareMemory(view_); }

int ShareMemory::FreeShareMemory(int) {
    if (!handle_ || !handle_->IsOpen())
        return 0;
    UnMapShareMemory();
    handle_.reset();
    return 1;
}

void *ShareMemory::CreateAndMapShareMemory(int key, int size, int *created) {
    if (created != nullptr)
        *created = 0;
    // Without a size there is nothing to create: only an existing block maps.
    if (size <= 0)
        return MapShareMemory(key);
    // A block another process is creating right now can be seen before it
    // has its size; look again for a short while.
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (void *view = MapShareMemory(key))
            return view;
        if (!handle_ || !handle_->IsOpen()) {
            auto block = std::make_unique<platform::SharedMemoryBlock>();
            if (block->Create(shmName(key), static_cast<size_t>(size))) {
                handle_ = std::move(block);
                created_ = 1;
                view_ = mapAndRecord(*handle_, viewSize_);
                if (view_ != nullptr && created != nullptr)
                    *created = 1;
                return view_;
            }
        }
        handle_.reset();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return nullptr;
}

T_Proc_Mem *ProcMan::ptr = nullptr;

namespace {

std::mutex &procManMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

ProcMan::ProcMan() {
    std::lock_guard<std::mutex> lock(procManMutex());
    if (ptr != nullptr)
        return;
    void *view = CreateAndMapShareMemory(kKey, kSize, nullptr);
    if (view == nullptr || GetShmSize() < sizeof(T_Proc_Mem)) {
        LastErrDisp("Create LogShareMemory Error");
        return;
    }
    ptr = static_cast<T_Proc_Mem *>(view);
}

ProcMan::~ProcMan() = default;

ProcMan g_proc_man;
