#include "vqSDK/VlrNetSDK/media/frame_deck.h"

#include <cstring>
#include <system_error>

#include "Depend/qn_log.h"
#include "vqSDK/VlrNetSDK/sdk_session.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace qn_net {
namespace {

// Callbacks of this thread that are under way; a reset from inside one must
// not wait for itself.
thread_local int t_callbackDepth = 0;

// A block never asked for yet.
constexpr int64_t kNever = INT64_MIN / 4;

} // namespace

frame_deck::frame_deck(frame_pool& pool, const platform::Clock& clock)
    : pool_(pool), clock_(clock), slots_(new video_slot[kSlots]),
      audioOut_(new audio_out[kAudioPositions])
{
    for (int i = 0; i < kSlots; ++i) clear_slot(slots_[i]);
}

frame_deck::~frame_deck()
{
    stop();
    std::lock_guard<std::mutex> lock(mutex_);
    clear_video_locked();
}

void frame_deck::init()
{
    std::lock_guard<std::mutex> life(lifeMutex_);
    if (thread_.joinable() && !stop_.load()) return;
    if (thread_.joinable()) {
        // Stopped from its own callback: it has ended or is about to.
        if (thread_.get_id() == std::this_thread::get_id()) return;
        thread_.join();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Made here rather than on the receive thread when the first audio
        // block comes.
        if (!audio_) audio_.reset(new audio_slot[kSlots]);
        clear_video_locked();
        clear_audio_locked();
        stop_.store(false);
    }
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        stop_.store(true);
        QNLogPrint("%s(%d) delivery thread not started\n", "frame_deck::init", __LINE__);
    }
}

void frame_deck::stop()
{
    std::unique_lock<std::mutex> life(lifeMutex_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_.store(true);
        value_ = 0;
    }
    wake_.notify_all();
    // The delivery thread cannot wait for itself; it ends after its callback.
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void frame_deck::set_data_callback(QN_NET_REAL_DATA_CALLBACK callback, int32_t value)
{
    init();
    std::lock_guard<std::mutex> lock(mutex_);
    callback_ = callback;
    value_ = value;
    begin_play_locked();
}

void frame_deck::set_debug_callback(QN_NET_DEBUG_CALLBACK callback)
{
    init();
    debug_.store(callback);
}

bool frame_deck::arm_block_count(int32_t seconds, QN_NET_BLOCK_COUNT_CALLBACK callback)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (timer_.armed || seconds <= 0) return false;
    timer_ = block_timer{true, seconds, clock_.MonotonicMs(), 0, 0, callback};
    return true;
}

void frame_deck::set_camera(uint32_t camera)
{
    std::lock_guard<std::mutex> lock(mutex_);
    camera_ = camera;
}

void frame_deck::set_requester(block_requester* requester)
{
    std::lock_guard<std::mutex> lock(mutex_);
    requester_ = requester;
}

void frame_deck::detach_requester(block_requester* requester)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (requester_ == requester) requester_ = nullptr;
}

int frame_deck::frames_in_progress() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    int count = 0;
    for (int i = 0; i < kSlots; ++i) count += slots_[i].in_use ? 1 : 0;
    return count;
}

void frame_deck::reset()
{
    std::unique_lock<std::mutex> lock(mutex_);
    nextExpected_ = 0;
    waitingForKey_ = true;
    callback_ = nullptr;
    firstFrame_ = 0;
    clear_video_locked();
    pool_.reset();
    clear_audio_locked();
    wait_for_callbacks_locked(lock);
}

// --- play state -------------------------------------------------------------

void frame_deck::begin_play_locked()
{
    waitingForKey_ = true;
    nextExpected_ = 0;
    lastAudioFrame_ = 0;
    firstDelivery_ = true;
    inSequence_ = true;
}

void frame_deck::restart_locked()
{
    // The callback stays; everything counted from the old numbering goes.
    begin_play_locked();
    firstFrame_ = 0;
    clear_video_locked();
    clear_audio_locked();
    pool_.reset();
}

void frame_deck::clear_slot(video_slot& slot)
{
    frame_pool::free_buffer(slot.buffer);
    slot.buffer = nullptr;
    slot.holds = slot.in_use = slot.complete = false;
    slot.frame_number = 0;
    slot.type = slot.stream = slot.count = 0;
    slot.received = slot.total = slot.first_serial = 0;
    slot.missing_stamp_ms = kNever;
    slot.got.reset();
    std::memset(slot.length, 0, sizeof slot.length);
    std::memset(slot.resends, 0, sizeof slot.resends);
    for (auto& stamp : slot.requested_ms) stamp = kNever;
}

void frame_deck::clear_video_locked()
{
    for (int i = 0; i < kSlots; ++i) clear_slot(slots_[i]);
}

void frame_deck::clear_audio_locked()
{
    if (!audio_) return;
    for (int i = 0; i < kSlots; ++i) {
        audio_slot& slot = audio_[i];
        slot.frame_number = -1;
        slot.in_use = false;
        slot.base_serial = 0;
        for (auto& position : slot.positions) {
            position.has_data = false;
            position.length = 0;
        }
    }
}

bool frame_deck::holds(const video_slot& slot, int64_t frameNumber) const
{
    return slot.holds && int64_t{slot.frame_number} == frameNumber;
}

// --- video blocks -----------------------------------------------------------

bool frame_deck::prepare_slot(video_slot& slot, const media_block& block)
{
    clear_slot(slot);
    slot.buffer = frame_pool::allocate_buffer(frame_buffer_size(block.count));
    if (slot.buffer == nullptr) return false;
    slot.holds = slot.in_use = true;
    slot.frame_number = block.frame_number;
    slot.count = block.count;
    slot.type = block.type;
    slot.stream = block.stream;
    slot.first_serial = block.serial - block.index;
    return true;
}

bool frame_deck::insert_frame_blk(const media_block& block)
{
    if (block.type == kFrameTypeAudio) return false;
    if (!is_storable_video_block(block)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    const uint32_t number = block.frame_number;
    if (number < nextExpected_) {
        if (nextExpected_ - number <= kRestartDistance) return false;  // late
        restart_locked();
    }
    if (waitingForKey_ && block.type != kFrameTypeKey) return false;

    video_slot& slot = slots_[number & (kSlots - 1)];
    const bool collecting = slot.in_use && slot.frame_number == number;
    if (collecting && (slot.count != block.count || slot.type != block.type)) return false;
    // A late copy of a block of a frame that is already complete.
    if (!slot.in_use && slot.complete && slot.frame_number == number) return false;

    if (waitingForKey_) {
        waitingForKey_ = false;
        firstFrame_ = number;
    }
    if (!collecting && !prepare_slot(slot, block)) return false;
    if (timer_.armed) ++timer_.counted;
    if (slot.got.test(block.index)) return false;

    slot.got.set(block.index);
    ++slot.received;
    slot.length[block.index] = static_cast<uint16_t>(block.length);
    slot.total += block.length;
    if (block.index == 0) {
        WriteU32(slot.buffer, number);
        slot.total += 4;
    }
    std::memcpy(slot.buffer + block_offset(block.index), block.data, block.length);

    check_lost_blocks_locked(number, block.serial);
    if (slot.received == slot.count) {
        slot.complete = true;
        if (callback_ != nullptr) hand_over_locked(slot);
    }
    return true;
}

void frame_deck::hand_over_locked(video_slot& slot)
{
    frame_record* record = pool_.take_record();
    uint8_t* buffer = slot.buffer;
    slot.buffer = nullptr;
    // The slot keeps the frame's number, type and serials, so that the lost-
    // block check knows the frame arrived and late copies are dropped.
    slot.in_use = false;
    slot.received = 0;
    if (record == nullptr) {
        frame_pool::free_buffer(buffer);
        return;
    }
    record->frame_number = slot.frame_number;
    record->block_count = slot.count;
    record->type = slot.type;
    record->total_length = static_cast<int32_t>(slot.total);
    record->stream = slot.stream;
    {
        std::lock_guard<std::mutex> bufferLock(record->buffer_mutex);
        record->buffer = buffer;
    }
    pool_.put(record);  // a refused frame is released by the pool
}

// --- lost blocks ------------------------------------------------------------

void frame_deck::request_locked(uint32_t serial, bool firstTime)
{
    if (timer_.armed && firstTime) ++timer_.requested;
    if (requester_ != nullptr) requester_->request_block(camera_, serial);
}

int frame_deck::resend_missing_locked(video_slot& slot, int64_t firstSerial, int64_t endSerial, int allowance,
                                      int64_t now)
{
    if (endSerial + allowance - firstSerial - int64_t{slot.received} > kMaxMissingForResend) return -1;
    int requests = 0;
    for (int64_t serial = firstSerial; serial < endSerial && requests < kMaxRequestsPerCheck; ++serial) {
        const int64_t index = serial - firstSerial;
        if (index >= slot.count) break;
        if (slot.got.test(static_cast<std::size_t>(index))) continue;
        if (slot.resends[index] >= kMaxResendsPerBlock) continue;
        if (now - slot.requested_ms[index] <= kResendGapMs) continue;
        const bool firstTime = slot.resends[index] == 0;
        ++slot.resends[index];
        slot.requested_ms[index] = now;
        request_locked(static_cast<uint32_t>(serial), firstTime);
        ++requests;
    }
    return requests;
}

void frame_deck::check_lost_blocks_locked(uint32_t frameNumber, uint32_t serial)
{
    const int64_t now = clock_.MonotonicMs();
    video_slot& current = slots_[frameNumber & (kSlots - 1)];
    resend_missing_locked(current, current.first_serial, serial, 0, now);

    // Frames just before this one: finish the nearest that arrived in part,
    // and count the ones of which nothing arrived.
    const int64_t first = firstFrame_;
    int64_t lowestWanted = current.first_serial;
    int j = 1;
    for (; j <= 4; ++j) {
        const int64_t previous = int64_t{frameNumber} - j;
        if (previous < first) break;
        video_slot& slot = slots_[previous & (kSlots - 1)];
        if (holds(slot, previous)) {
            if (slot.received != 0) {
                resend_missing_locked(slot, slot.first_serial, int64_t{slot.first_serial} + slot.count, -1, now);
            }
            break;
        }
        if (now - slot.missing_stamp_ms > kResendGapMs) {
            --lowestWanted;
            slot.missing_stamp_ms = now;
        }
    }
    // Further back, up to the last key frame.
    for (int k = j; k <= 14; ++k) {
        const int64_t previous = int64_t{frameNumber} - k;
        if (previous < first) break;
        video_slot& slot = slots_[previous & (kSlots - 1)];
        if (holds(slot, previous) && slot.received != 0) {
            resend_missing_locked(slot, slot.first_serial, int64_t{slot.first_serial} + slot.count, -1, now);
        }
        if (slot.holds && slot.type == kFrameTypeKey) break;
    }
    if (current.type == kFrameTypeKey) return;
    // The last block of each frame missing as a whole: its head tells the
    // frame's size, and the checks above then ask for the rest.
    int requests = 0;
    for (int64_t wanted = int64_t{current.first_serial} - 1; wanted >= lowestWanted && wanted >= 0 &&
                                                             requests < kMaxWholeFrameRequests;
         --wanted, ++requests) {
        request_locked(static_cast<uint32_t>(wanted), true);
    }
}

// --- audio ------------------------------------------------------------------

bool frame_deck::insert_audio_blk(const media_block& block)
{
    if (block.length > kBlockData) return false;
    std::lock_guard<std::mutex> flush(audioFlushMutex_);
    int flushed = 0;
    QN_NET_REAL_DATA_CALLBACK callback = nullptr;
    int32_t value = 0;
    int64_t flushedFrame = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (block.frame_number < nextExpected_) return false;
        // A deck that was never started has none yet.
        if (!audio_) audio_.reset(new audio_slot[kSlots]);
        audio_slot& slot = audio_[block.frame_number & (kSlots - 1)];
        if (slot.frame_number != int64_t{block.frame_number}) {
            slot.frame_number = -1;
            slot.in_use = false;
            for (auto& position : slot.positions) position.has_data = false;
        }
        int position = 3;
        if (slot.in_use) {
            const int64_t at = int64_t{block.serial} - slot.base_serial + 3;
            if (at < 0 || at >= kAudioPositions) return false;
            position = static_cast<int>(at);
        } else {
            audio_slot& last = audio_[lastAudioFrame_ & (kSlots - 1)];
            if (callback_ != nullptr && last.in_use && last.frame_number == lastAudioFrame_) {
                for (auto& held : last.positions) {
                    if (held.has_data && held.length != 0) {
                        audioOut_[flushed].length = held.length;
                        std::memcpy(audioOut_[flushed].data, held.data, held.length);
                        ++flushed;
                    }
                    held.has_data = false;
                    held.length = 0;
                }
                callback = callback_;
                value = value_;
                flushedFrame = lastAudioFrame_;
            }
            slot.base_serial = block.serial;
            slot.frame_number = block.frame_number;
            lastAudioFrame_ = block.frame_number;
        }
        audio_position& target = slot.positions[position];
        std::memcpy(target.data, block.data, block.length);
        target.length = block.length;
        target.has_data = true;
        slot.in_use = true;
        if (flushed != 0) begin_callback_locked();
    }
    if (flushed == 0) return true;
    for (int i = 0; i < flushed; ++i) {
        callback(reinterpret_cast<char*>(audioOut_[i].data), kFrameTypeAudio, static_cast<int32_t>(flushedFrame),
                 static_cast<int32_t>(audioOut_[i].length), value);
    }
    end_callback();
    return true;
}

// --- delivery ---------------------------------------------------------------

void frame_deck::begin_callback_locked()
{
    ++callbacksInFlight_;
    ++t_callbackDepth;
}

void frame_deck::end_callback()
{
    --t_callbackDepth;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        --callbacksInFlight_;
    }
    callbacks_.notify_all();
}

void frame_deck::wait_for_callbacks_locked(std::unique_lock<std::mutex>& lock)
{
    const int own = t_callbackDepth;
    callbacks_.wait(lock, [&] { return callbacksInFlight_ <= own; });
}

void frame_deck::check_block_timer()
{
    QN_NET_BLOCK_COUNT_CALLBACK callback = nullptr;
    int32_t requested = 0;
    int32_t counted = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!timer_.armed || clock_.MonotonicMs() - timer_.armed_at_ms < timer_.seconds * 1000) return;
        callback = timer_.callback;
        requested = timer_.requested;
        counted = timer_.counted;
        timer_.armed = false;
    }
    if (callback != nullptr) callback(nullptr, requested, counted, 0, 0);
}

bool frame_deck::deliver_next()
{
    QN_NET_REAL_DATA_CALLBACK callback = nullptr;
    int32_t value = 0;
    uint8_t* buffer = nullptr;
    int32_t type = 0;
    uint32_t number = 0;
    int32_t total = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (callback_ == nullptr) return false;
        frame_record* record = pool_.take_next();
        if (record == nullptr) return false;
        type = record->type;
        number = record->frame_number;
        total = record->total_length;
        {
            std::lock_guard<std::mutex> bufferLock(record->buffer_mutex);
            buffer = record->buffer;
        }
        pool_.return_record(record);
        if (firstDelivery_ && type == kFrameTypeKey) {
            nextExpected_ = number;
            firstDelivery_ = false;
        }
        bool deliver = true;
        if (type == kFrameTypeDependent) {
            deliver = inSequence_ && number == nextExpected_;
            if (!deliver) inSequence_ = false;
        } else {
            inSequence_ = true;
        }
        nextExpected_ = number + 1;
        if (!deliver) {
            frame_pool::free_buffer(buffer);
            return true;
        }
        callback = callback_;
        value = value_;
        begin_callback_locked();
    }
    callback(reinterpret_cast<char*>(buffer), type, static_cast<int32_t>(number), total, value);
    end_callback();
    return true;
}

void frame_deck::run()
{
    // Its callbacks may end the session that owns the deck.
    const joined_thread_mark mark;
    while (true) {
        check_block_timer();
        if (stop_.load()) break;
        if (deliver_next()) continue;
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(1), [this] { return stop_.load(); });
    }
}

} // namespace qn_net
