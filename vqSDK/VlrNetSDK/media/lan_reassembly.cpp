#include "vqSDK/VlrNetSDK/media/lan_reassembly.h"

#include <cstring>

#include "vqSDK/VlrNetSDK/frame_pool.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace qn_net {

lan_reassembly::lan_reassembly() : slots_(new slot[kSlots]) {}

lan_reassembly::~lan_reassembly() { clear(); }

void lan_reassembly::set_callback(QN_NET_REAL_DATA_CALLBACK callback, int32_t value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    callback_ = callback;
    value_ = value;
}

void lan_reassembly::restart_sequence()
{
    std::lock_guard<std::mutex> lock(mutex_);
    inSequence_ = false;
    nextExpected_ = -1;
}

void lan_reassembly::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    callback_ = nullptr;
    value_ = 0;
    inSequence_ = false;
    nextExpected_ = -1;
    for (int i = 0; i < kSlots; ++i) release(slots_[i]);
}

int lan_reassembly::frames_in_progress() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    int count = 0;
    for (int i = 0; i < kSlots; ++i) count += slots_[i].in_use ? 1 : 0;
    return count;
}

void lan_reassembly::release(slot& s)
{
    frame_pool::free_buffer(s.buffer);
    s = slot{};
}

lan_reassembly::delivery lan_reassembly::take_complete(slot& s)
{
    delivery out{s.buffer, s.type, s.frame_number, s.total, true};
    s.buffer = nullptr;
    s = slot{};
    if (out.type != kFrameTypeDependent) {
        inSequence_ = true;
        nextExpected_ = int64_t{out.frame_number} + 1;
    } else if (inSequence_ && int64_t{out.frame_number} == nextExpected_) {
        nextExpected_ = int64_t{out.frame_number} + 1;
    } else {
        // Its predecessor never came: it would not decode.
        inSequence_ = false;
        out.deliver = false;
    }
    return out;
}

bool lan_reassembly::insert(const media_block& block)
{
    if (block.type == kFrameTypeAudio) {
        if (block.length == 0 || block.length > kBlockData) return false;
        QN_NET_REAL_DATA_CALLBACK callback;
        int32_t value;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            callback = callback_;
            value = value_;
        }
        if (callback == nullptr) return false;
        callback(const_cast<char*>(reinterpret_cast<const char*>(block.data)), kFrameTypeAudio,
                 static_cast<int32_t>(block.frame_number), static_cast<int32_t>(block.length), value);
        return true;
    }
    if (!is_storable_video_block(block)) return false;

    delivery done;
    QN_NET_REAL_DATA_CALLBACK callback = nullptr;
    int32_t value = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slot& s = slots_[block.frame_number & (kSlots - 1)];
        const bool holdsFrame = s.in_use && s.frame_number == block.frame_number;
        if (holdsFrame && s.count != block.count) return false;
        if (!holdsFrame) {
            release(s);
            s.buffer = frame_pool::allocate_buffer(frame_buffer_size(block.count));
            if (s.buffer == nullptr) return false;
            s.in_use = true;
            s.frame_number = block.frame_number;
            s.count = block.count;
        }
        // A repeated block would make the count look complete while another
        // block's area was never written.
        if (s.got.test(block.index)) return false;
        s.got.set(block.index);
        ++s.received;
        s.type = block.type;
        s.total += block.length;
        if (block.index == 0) {
            WriteU32(s.buffer, block.frame_number);
            s.total += 4;
        }
        std::memcpy(s.buffer + block_offset(block.index), block.data, block.length);
        if (s.received != s.count || callback_ == nullptr) return true;
        callback = callback_;
        value = value_;
        done = take_complete(s);
    }
    if (!done.deliver) {
        frame_pool::free_buffer(done.buffer);
        return true;
    }
    callback(reinterpret_cast<char*>(done.buffer), done.type, static_cast<int32_t>(done.frame_number),
             static_cast<int32_t>(done.total), value);
    return true;
}

} // namespace qn_net
