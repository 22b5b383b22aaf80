// The hub's ring of 25 packet slots between whoever puts live packets and the
// play worker that feeds them to the stream platform. A put never waits: it
// takes the next slot in turn and drops the packet when the worker is still
// feeding that slot. The worker takes the oldest packet waiting.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

class PacketRing {
public:
    enum { kSlots = 25, kInitialCapacity = 10240 };
    struct Packet {
        std::vector<uint8_t> buffer; // grown to length + 10 when a larger packet comes
        int32_t length = 0;
        int32_t number = 0;
        int32_t type = 0;            // 0 key frame, 1 other video frame, 3 G.711 A-law
    };

    PacketRing();
    PacketRing(const PacketRing&) = delete;
    PacketRing& operator=(const PacketRing&) = delete;

    // False when the packet was dropped: no data, or its slot is being fed.
    bool Put(const uint8_t* data, int32_t length, int32_t type, int32_t number);
    // Waits for the oldest waiting packet and marks its slot taken; -1 once
    // Stop was called. The slot's packet is the caller's until Release.
    // `reset` tells whether Reset was called since the last take, so that the
    // taker starts its frame order again with this packet.
    int TakeOldest(bool* reset);
    const Packet& Slot(int slot) const { return slots_[slot].packet; }
    void Release(int slot);
    // Forgets every waiting packet and gives each buffer its first size back;
    // a slot being fed is cleared when it is released.
    void Reset();
    void Stop();
    int Waiting();

private:
    struct Entry {
        Packet packet;
        uint32_t sequence = 0;
        bool filled = false;
        bool taken = false;
        bool shrinkOnRelease = false;
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    Entry slots_[kSlots];
    uint32_t putCount_ = 0;
    uint32_t sequence_ = 0;
    bool resetPending_ = false;
    bool stopped_ = false;
};
