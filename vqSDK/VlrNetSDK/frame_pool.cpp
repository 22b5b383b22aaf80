#include "vqSDK/VlrNetSDK/frame_pool.h"

#include <cstdlib>

namespace qn_net {

frame_pool::frame_pool(const platform::Clock& clock) : clock_(clock), records_(new frame_record[kRecords])
{
    for (int i = kRecords - 1; i >= 0; --i) {
        records_[i].poolNext = free_;
        free_ = &records_[i];
    }
}

frame_pool::~frame_pool()
{
    reset();
    for (int i = 0; i < kRecords; ++i) free_buffer(records_[i].buffer);
}

std::size_t frame_pool::buffer_class(std::size_t length)
{
    for (std::size_t size = 256; size <= 4096; size *= 2) {
        if (length <= size) return size;
    }
    return (length + 4096) / 4096 * 4096;
}

uint8_t* frame_pool::allocate_buffer(std::size_t length)
{
    return static_cast<uint8_t*>(std::malloc(buffer_class(length)));
}

void frame_pool::free_buffer(void* buffer) { std::free(buffer); }

frame_record* frame_pool::take_record()
{
    std::lock_guard<std::mutex> lock(poolMutex_);
    frame_record* record = free_;
    if (record == nullptr) return nullptr;
    free_ = record->poolNext;
    record->poolNext = nullptr;
    ++handedOut_;
    std::lock_guard<std::mutex> bufferLock(record->buffer_mutex);
    record->buffer = nullptr;
    return record;
}

void frame_pool::return_record(frame_record* record)
{
    if (record == nullptr) return;
    {
        std::lock_guard<std::mutex> bufferLock(record->buffer_mutex);
        record->buffer = nullptr;
    }
    record->queuePrev = record->queueNext = nullptr;
    std::lock_guard<std::mutex> lock(poolMutex_);
    record->poolNext = free_;
    free_ = record;
    --handedOut_;
}

void frame_pool::release_record(frame_record* record)
{
    if (record == nullptr) return;
    uint8_t* buffer = nullptr;
    {
        std::lock_guard<std::mutex> bufferLock(record->buffer_mutex);
        buffer = record->buffer;
        record->buffer = nullptr;
    }
    free_buffer(buffer);
    // A record without a buffer goes back too, or the pool would drain.
    return_record(record);
}

int frame_pool::put(frame_record* record)
{
    if (record == nullptr) return -1;
    std::lock_guard<std::mutex> lock(queueMutex_);
    const uint32_t number = record->frame_number;
    if (lastDelivered_ != 0 && number <= lastDelivered_) {
        release_record(record);
        return -1;
    }
    if (keyNumber_ == -1 && !is_key(record->type) && queued_ >= kHoldWithoutKey) {
        release_record(record);
        return -1;
    }
    frame_record* before = tail_;
    while (before != nullptr && before->frame_number > number) before = before->queuePrev;
    if (before != nullptr && before->frame_number == number) {
        release_record(record);
        return -1;
    }
    record->queuePrev = before;
    record->queueNext = before == nullptr ? head_ : before->queueNext;
    if (record->queueNext != nullptr) {
        record->queueNext->queuePrev = record;
    } else {
        tail_ = record;
    }
    if (before != nullptr) {
        before->queueNext = record;
    } else {
        head_ = record;
    }
    ++queued_;
    if (is_key(record->type)) {
        ++keyCount_;
        keyNumber_ = number;
    }
    return 0;
}

frame_record* frame_pool::take_next()
{
    std::lock_guard<std::mutex> lock(queueMutex_);
    frame_record* candidate = head_;
    if (candidate == nullptr || keyNumber_ == -1) return nullptr;
    const int64_t now = clock_.MonotonicMs();
    const uint32_t number = candidate->frame_number;
    if (keyNumber_ > 0 && lastDelivered_ != 0) {
        // A key frame at the head needs nothing before it.
        if (candidate->type == 0) lastDelivered_ = number - 1;
        // A key frame waits behind the gap: the missing frames would not
        // decode anyway.
        if (lastDelivered_ != 0 && lastDelivered_ != number - 1 && keyCount_ != 0) lastDelivered_ = number - 1;
        if (lastDelivered_ != 0 && number != lastDelivered_ + 1 && now - lastDeliveryMs_ > kGapWaitMs) {
            lastDelivered_ = number - 1;
        }
    }
    if (lastDelivered_ != 0 && number != lastDelivered_ + 1) return nullptr;

    if (is_key(candidate->type)) --keyCount_;
    head_ = candidate->queueNext;
    if (head_ != nullptr) {
        head_->queuePrev = nullptr;
    } else {
        tail_ = nullptr;
    }
    candidate->queuePrev = candidate->queueNext = nullptr;
    --queued_;
    lastDelivered_ = number;
    candidate->delay = delivered_ ? now - lastDeliveryMs_ : 0;
    lastDeliveryMs_ = now;
    delivered_ = true;
    return candidate;
}

void frame_pool::reset()
{
    std::lock_guard<std::mutex> lock(queueMutex_);
    lastDelivered_ = 0;
    keyNumber_ = -1;
    keyCount_ = 0;
    lastDeliveryMs_ = 0;
    delivered_ = false;
    while (head_ != nullptr) {
        frame_record* record = head_;
        head_ = record->queueNext;
        release_record(record);
    }
    tail_ = nullptr;
    queued_ = 0;
}

int frame_pool::handed_out() const
{
    std::lock_guard<std::mutex> lock(poolMutex_);
    return handedOut_;
}

int frame_pool::queued() const
{
    std::lock_guard<std::mutex> lock(queueMutex_);
    return queued_;
}

uint32_t frame_pool::last_delivered() const
{
    std::lock_guard<std::mutex> lock(queueMutex_);
    return lastDelivered_;
}

} // namespace qn_net
