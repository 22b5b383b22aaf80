// Frame reassembly of the LAN route: blocks come over one TCP connection in
// order, so a frame is delivered from the receive thread as soon as its last
// block is in. Audio blocks pass straight through.
//
// The stream-data callback is never called while the reassembly lock is held:
// a complete frame is taken out of its slot first, so the callback may call
// back into the connection (set a callback, close a slot table) without
// deadlocking. The buffer of every non-audio frame passes to the callback.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <mutex>

#include "vqSDK/VlrNetSDK/media/media_block.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

namespace qn_net {

class lan_reassembly {
public:
    static constexpr int kSlots = 128;

    lan_reassembly();
    ~lan_reassembly();
    lan_reassembly(const lan_reassembly&) = delete;
    lan_reassembly& operator=(const lan_reassembly&) = delete;

    void set_callback(QN_NET_REAL_DATA_CALLBACK callback, int32_t value);
    // A new connection: the next dependent frame needs a frame of another type
    // before it.
    void restart_sequence();
    // Clears the callback and frees every frame being collected.
    void clear();

    // Stores one block; true when it was stored or passed on.
    bool insert(const media_block& block);

    // Frames being collected now.
    int frames_in_progress() const;

private:
    struct slot {
        bool in_use = false;
        uint32_t frame_number = 0;
        uint16_t type = 0;
        uint16_t count = 0;
        uint32_t received = 0;
        uint32_t total = 0;
        uint8_t* buffer = nullptr;
        std::bitset<kMaxBlocksPerFrame> got;
    };
    struct delivery {
        uint8_t* buffer = nullptr;
        int32_t type = 0;
        uint32_t frame_number = 0;
        uint32_t total = 0;
        bool deliver = false;
    };

    static void release(slot& s);
    delivery take_complete(slot& s);

    mutable std::mutex mutex_;
    std::unique_ptr<slot[]> slots_;
    QN_NET_REAL_DATA_CALLBACK callback_ = nullptr;
    int32_t value_ = 0;
    bool inSequence_ = false;
    int64_t nextExpected_ = -1;
};

} // namespace qn_net
