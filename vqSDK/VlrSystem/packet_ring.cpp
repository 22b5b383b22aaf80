#include "vqSDK/VlrSystem/packet_ring.h"

#include <cstring>

namespace {

void FreshBuffer(std::vector<uint8_t>& buffer)
{
    std::vector<uint8_t>(PacketRing::kInitialCapacity).swap(buffer);
}

} // namespace

PacketRing::PacketRing()
{
    for (Entry& entry : slots_) FreshBuffer(entry.packet.buffer);
}

bool PacketRing::Put(const uint8_t* data, int32_t length, int32_t type, int32_t number)
{
    if (data == nullptr || length <= 0) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& entry = slots_[putCount_ % kSlots];
    ++putCount_;
    if (entry.taken) return false;
    // A slot still waiting is overwritten: the ring keeps the newest packets.
    if (entry.packet.buffer.size() < static_cast<std::size_t>(length)) entry.packet.buffer.resize(length + 10);
    std::memcpy(entry.packet.buffer.data(), data, static_cast<std::size_t>(length));
    entry.packet.length = length;
    entry.packet.type = type;
    entry.packet.number = number;
    entry.sequence = ++sequence_;
    entry.filled = true;
    changed_.notify_one();
    return true;
}

int PacketRing::TakeOldest(bool* reset)
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (stopped_) return -1;
        int oldest = -1;
        for (int i = 0; i < kSlots; ++i) {
            const Entry& entry = slots_[i];
            if (entry.filled && !entry.taken && (oldest == -1 || entry.sequence < slots_[oldest].sequence)) oldest = i;
        }
        if (oldest != -1) {
            slots_[oldest].taken = true;
            if (reset != nullptr) *reset = resetPending_;
            resetPending_ = false;
            return oldest;
        }
        changed_.wait(lock);
    }
}

void PacketRing::Release(int slot)
{
    if (slot < 0 || slot >= kSlots) return;
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& entry = slots_[slot];
    entry.filled = false;
    entry.taken = false;
    if (entry.shrinkOnRelease) {
        FreshBuffer(entry.packet.buffer);
        entry.shrinkOnRelease = false;
    }
}

void PacketRing::Reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (Entry& entry : slots_) {
        if (entry.taken) {
            entry.shrinkOnRelease = true;
            continue;
        }
        entry.filled = false;
        FreshBuffer(entry.packet.buffer);
    }
    putCount_ = 0;
    resetPending_ = true;
}

void PacketRing::Stop()
{
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
}

int PacketRing::Waiting()
{
    std::lock_guard<std::mutex> lock(mutex_);
    int waiting = 0;
    for (const Entry& entry : slots_) waiting += entry.filled && !entry.taken ? 1 : 0;
    return waiting;
}
