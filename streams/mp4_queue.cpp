#include "streams/mp4_queue.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <string_view>

namespace streams {

namespace {

uint32_t RoundUp8(uint32_t length) { return (length + 7u) & ~7u; }

constexpr uint32_t kKeyBit = 0x10;
constexpr uint32_t kCompletesBit = 0x20;

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

} // namespace

MP4QUE::MP4QUE() = default;

MP4QUE::~MP4QUE()
{
    std::lock_guard<std::mutex> control(control_);
    StopConsumer();
}

void MP4QUE::StopConsumer()
{
    stopped_ = true;
    if (consumer_.joinable() && !OnConsumer()) consumer_.join();
}

void MP4QUE::Reset()
{
    started_ = false;
    first_ = next_ = lastVideo_ = lastAudio_ = 0;
    framesQueued_ = 0;
    currentVideo_ = currentAudio_ = held_ = -1;
    std::fill(slots_.begin(), slots_.end(), Slot{});
    video_.Empty();
    audio_.Empty();
    cacheLevel_ = StreamQueue::kCacheLevelStart;
    cacheFilled_ = false;
}

int MP4QUE::Open(int owner)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (owner < 0 || owner > 7 || held_ >= 0 || HeldByOther(owner)) return 0;
    try {
        if (slots_.size() != kSlotCount) slots_.assign(kSlotCount, Slot{});
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (!video_.Allocated() && !video_.Allocate(kVideoPool)) return 0;
    if (!audio_.Allocated() && !audio_.Allocate(kAudioPool)) return 0;
    Reset();
    owner_ = owner;
    open_ = true;
    return 1;
}

std::unique_lock<std::mutex> MP4QUE::TakeControl()
{
    // Not on the consumer's own thread: its callback may start or stop the
    // queue while another call holds the lock and waits for the consumer.
    std::unique_lock<std::mutex> control(control_, std::defer_lock);
    if (!OnConsumer()) control.lock();
    return control;
}

bool MP4QUE::OpenTo(int owner)
{
    std::lock_guard<std::mutex> hold(mutex_);
    return open_ && Admits(owner);
}

int MP4QUE::Close(int owner)
{
    // The consumer ends first, also when the close is then refused.
    const std::unique_lock<std::mutex> control = TakeControl();
    StopConsumer();
    std::lock_guard<std::mutex> hold(mutex_);
    if (held_ >= 0 || HeldByOther(owner)) return 0;
    Reset();
    std::vector<Slot>().swap(slots_);
    video_.Free();
    audio_.Free();
    open_ = false;
    owner_ = 0;
    return 1;
}

int MP4QUE::CloseOwn()
{
    int owner;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        owner = owner_;
    }
    return Close(owner);
}

int MP4QUE::Detach(int owner)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (held_ >= 0 || stopped_ || HeldByOther(owner)) return 0;
    owner_ = 0;
    source_ = 0;
    return 1;
}

int MP4QUE::SetOwner(int owner)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (owner < 0 || owner > 7 || held_ >= 0 || HeldByOther(owner)) return 0;
    owner_ = owner;
    return 1;
}

int MP4QUE::SetCallback(Mp4QueueCallback callback, void* user, int64_t value)
{
    std::lock_guard<std::mutex> hold(mutex_);
    callback_ = callback;
    user_ = user;
    value_ = value;
    return 1;
}

uint64_t MP4QUE::FillBits() const
{
    uint64_t bits = static_cast<uint64_t>(video_.FillThousandths() & 0x3FFu) << 5;
    bits |= static_cast<uint64_t>(Thousandths(next_ - first_, kSlotCount) & 0x3FFu) << 15;
    return bits;
}

int MP4QUE::Put(int owner, const uint8_t* data, uint32_t length, const StreamFrameHead* head, int kind,
                Mp4QueueStats* stats)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (!open_ || !Admits(owner) || head == nullptr) return 0;
    if (static_cast<int>((head->word0 >> 6) & 3u) != source_) return 1; // another source's frame: dropped
    bool video = kind == 1 || kind == 3;
    if (!video && kind != 2) return 0;
    if (data == nullptr && length != 0) return 0;
    if (next_ - first_ > kRoom) return 0;
    uint32_t n = head->frameNumber;
    // A number already taken out can no longer be filled in.
    if (started_ && n < first_) return 0;
    bool stored = video ? PutVideo(n, data, length, head->word0, *head) : PutAudio(n, data, length, head->word0);
    if (!stored) return 0;
    if (stats != nullptr) {
        stats->word = (stats->word & ~(uint64_t{0xFFFFF} << 5)) | FillBits();
        stats->writeKiB = RoundedKiB(video_.WritePosition());
        stats->readKiB = RoundedKiB(video_.ReadPosition());
    }
    if (needCache_ && !cacheFilled_ && framesQueued_ > cacheLevel_) cacheFilled_ = true;
    return 1;
}

void MP4QUE::MoveOn(uint32_t last, uint32_t n, bool video)
{
    uint32_t laps = (n - last) / kSlotCount;
    if (laps > 1) last += kSlotCount * (laps - 1);
    if (started_ && static_cast<int32_t>(first_ - last) > 0) last = first_;
    for (uint32_t k = last; k != n; ++k) {
        Slot& slot = slots_[k % kSlotCount];
        slot.flags |= video ? kVideoComplete : kAudioComplete;
        (video ? slot.videoFrame : slot.audioFrame) = n;
    }
}

void MP4QUE::Started(uint32_t n)
{
    if (!started_) {
        first_ = n;
        next_ = n + 1;
        started_ = true;
    } else if (n + 1 > next_) {
        next_ = n + 1;
    }
}

bool MP4QUE::PutVideo(uint32_t n, const uint8_t* data, uint32_t length, uint32_t word0, const StreamFrameHead& head)
{
    bool completes = (word0 & kCompletesBit) != 0;
    if (currentVideo_ >= 0 && n <= lastVideo_) {
        // A further piece, written behind the frame's bytes while the frame is
        // still open and the pool has room there.
        Slot& slot = slots_[currentVideo_];
        if (n != lastVideo_ || (slot.flags & kVideoComplete) != 0) return false;
        uint32_t grown = slot.videoLength + length;
        uint32_t growth = RoundUp8(grown) - slot.videoFootprint;
        if (!video_.CanGrow(growth)) return false;
        if (length != 0) std::memcpy(video_.At(slot.videoOffset) + slot.videoLength, data, length);
        video_.Grow(growth);
        slot.videoLength = grown;
        slot.videoFootprint = RoundUp8(grown);
        if (completes) slot.flags |= kVideoComplete;
        return true;
    }
    if (currentVideo_ >= 0) MoveOn(lastVideo_, n, true);
    Slot& slot = slots_[n % kSlotCount];
    if ((slot.flags & kVideoComplete) != 0 || length == 0) return false;
    uint32_t footprint = RoundUp8(length);
    bool key = (word0 & kKeyBit) != 0;
    // The reserve at the pool's end is the room for further pieces.
    int64_t offset = video_.Place(footprint, kVideoPool - (key ? kKeyReserve : kReserve));
    if (offset == BytePool::kNoRoom) return false;
    std::memcpy(video_.Take(offset, footprint), data, length);
    slot.flags = (slot.flags & kAudioComplete) | (key ? kKey : 0) | (completes ? kVideoComplete : 0);
    slot.hasVideo = true;
    slot.videoOffset = offset;
    slot.videoLength = length;
    slot.videoFootprint = footprint;
    slot.width = static_cast<uint16_t>(head.width);
    slot.height = static_cast<uint16_t>(head.height);
    slot.videoFrame = n;
    currentVideo_ = static_cast<int>(n % kSlotCount);
    lastVideo_ = n;
    ++framesQueued_;
    Started(n);
    return true;
}

bool MP4QUE::PutAudio(uint32_t n, const uint8_t* data, uint32_t length, uint32_t word0)
{
    bool completes = (word0 & kCompletesBit) != 0;
    int index = static_cast<int>(n % kSlotCount);
    Slot& slot = slots_[index];
    if (currentAudio_ == index && n == lastAudio_ && slot.audioLength != 0) {
        // A further piece: taken only where it continues the frame's audio.
        if ((slot.flags & kAudioComplete) != 0 || !audio_.CanGrow(length)) return false;
        if (length != 0) std::memcpy(audio_.At(slot.audioOffset) + slot.audioLength, data, length);
        audio_.Grow(length);
        slot.audioLength += length;
        slot.audioFootprint += length;
        if (completes) slot.flags |= kAudioComplete;
        return true;
    }
    if (currentAudio_ >= 0) {
        // Pieces come in number order; moving on completes the frame before.
        if (n < lastAudio_) return false;
        MoveOn(lastAudio_, n, false);
    }
    if ((slot.flags & kAudioComplete) != 0 || length == 0) return false;
    int64_t offset = audio_.Place(length, kAudioPool - kReserve);
    if (offset == BytePool::kNoRoom) return false;
    std::memcpy(audio_.Take(offset, length), data, length);
    slot.flags |= completes ? kAudioComplete : 0;
    slot.audioOffset = offset;
    slot.audioLength = length;
    slot.audioFootprint = length;
    slot.audioFrame = n;
    currentAudio_ = index;
    lastAudio_ = n;
    Started(n);
    return true;
}

int MP4QUE::Read(int owner, Mp4QueueStats* stats)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (!open_ || !Admits(owner) || stats == nullptr) return 0;
    if (needCache_ && !cacheFilled_) return 0;
    if (held_ < 0) {
        if (!started_ || first_ == next_) return 0;
        int index = static_cast<int>(first_ % kSlotCount);
        const Slot& slot = slots_[index];
        if ((slot.flags & (kVideoComplete | kAudioComplete)) != (kVideoComplete | kAudioComplete)) return 0;
        held_ = index;
    }
    const Slot& slot = slots_[held_];
    Mp4QueueStats out;
    out.word = ((slot.flags & kKey) != 0 ? 1u : 0u) | FillBits();
    out.word |= static_cast<uint64_t>(framesQueued_ & 0x3FF) << 25;
    out.word |= static_cast<uint64_t>(cacheLevel_ & 0x3FF) << 35;
    out.writeKiB = RoundedKiB(video_.WritePosition());
    out.readKiB = RoundedKiB(video_.ReadPosition());
    out.videoData = slot.videoLength != 0 ? video_.At(slot.videoOffset) : nullptr;
    out.videoLength = slot.videoLength;
    out.audioData = slot.audioLength != 0 ? audio_.At(slot.audioOffset) : nullptr;
    out.audioLength = slot.audioLength;
    out.videoFrame = slot.videoFrame;
    out.audioFrame = slot.audioFrame;
    out.width = slot.width;
    out.height = slot.height;
    *stats = out;
    return 1;
}

int MP4QUE::Release(int owner)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (!open_ || !Admits(owner)) return 0;
    if (held_ < 0) return 1;
    Slot& slot = slots_[held_];
    video_.Free(slot.videoOffset, slot.videoFootprint);
    audio_.Free(slot.audioOffset, slot.audioFootprint);
    if (slot.hasVideo && framesQueued_ > 0) --framesQueued_;
    slot = Slot{};
    held_ = -1;
    ++first_;
    if (needCache_ && cacheFilled_ && framesQueued_ < StreamQueue::kUnderrunMark) {
        cacheLevel_ = std::min(cacheLevel_ + StreamQueue::kCacheLevelStep, StreamQueue::kCacheLevelMax);
        cacheFilled_ = false;
    }
    return 1;
}

int MP4QUE::State(int owner, Mp4QueueState* state)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (!open_ || !Admits(owner) || state == nullptr) return 0;
    state->word = (video_.FillThousandths() & 0x3FFu) |
                  (static_cast<uint64_t>(Thousandths(next_ - first_, kSlotCount) & 0x3FFu) << 10) |
                  (static_cast<uint64_t>(framesQueued_ & 0x3FF) << 20) |
                  (static_cast<uint64_t>(cacheLevel_ & 0x3FF) << 30);
    state->writeKiB = RoundedKiB(video_.WritePosition());
    state->readKiB = RoundedKiB(video_.ReadPosition());
    return 1;
}

int MP4QUE::Command(int owner, const char* name, const char* value)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (!Admits(owner) || held_ >= 0 || name == nullptr) return 0;
    std::string_view text = value != nullptr ? value : "";
    if (std::strcmp(name, "clear_all") == 0) {
        Reset();
        video_.Empty(true);
        audio_.Empty(true);
        return 1;
    }
    if (std::strcmp(name, "need_cache") == 0) {
        if (text == "y" || text == "n") needCache_ = text == "y";
        return 1;
    }
    if (std::strcmp(name, "stream_source") == 0) {
        if (text == "source_00" || text == "source_01") source_ = text == "source_01" ? 1 : 0;
        return 1;
    }
    return 0;
}

int MP4QUE::Start(int owner)
{
    const std::unique_lock<std::mutex> control = TakeControl();
    if (!OpenTo(owner)) return 0;
    if (!stopped_) return 1;
    if (OnConsumer()) {
        // Stopped and started again from its own callback: it just goes on.
        stopped_ = false;
        return 1;
    }
    if (consumer_.joinable()) consumer_.join();
    stopped_ = false;
    consumer_ = std::thread([this] { Consume(); });
    return 1;
}

int MP4QUE::Stop(int owner)
{
    const std::unique_lock<std::mutex> control = TakeControl();
    if (!OpenTo(owner)) return 0;
    StopConsumer();
    return 1;
}

void MP4QUE::Consume()
{
    consumerId_ = std::this_thread::get_id();
    Mp4QueueOutput out;
    Mp4QueueStats frame;
    bool waitingForKey = true;
    while (!stopped_) {
        int owner;
        {
            std::lock_guard<std::mutex> hold(mutex_);
            owner = owner_;
        }
        if (Read(owner, &frame) == 1) {
            bool skipped = frame.videoLength == 0 && frame.audioLength == 0;
            bool key = (frame.word & 1u) != 0;
            if (skipped || frame.videoFrame != frame.audioFrame) {
                // Something was lost: wait for the next key frame.
                waitingForKey = true;
            } else if (!waitingForKey || key) {
                out.kind = "video&audio";
                out.queueWord = static_cast<uint32_t>((frame.word >> 1) & 0xFFFFFFF0u) | 1u;
                out.queueWord2 = static_cast<uint32_t>((frame.word >> 33) & 0xFFFu);
                out.writeKiB = frame.writeKiB;
                out.readKiB = frame.readKiB;
                out.width = frame.width;
                out.height = frame.height;
                out.frame = &frame;
                for (int attempt = 0; attempt < kDeliveryTries && !stopped_; ++attempt) {
                    Mp4QueueCallback callback;
                    void* user;
                    int64_t value;
                    {
                        std::lock_guard<std::mutex> hold(mutex_);
                        callback = callback_;
                        user = user_;
                        value = value_;
                    }
                    if (callback == nullptr || callback(&out, user, value) != 0) break;
                    Pause(10);
                }
                out.frame = nullptr;
                waitingForKey = false;
            }
            Release(owner);
        }
        Pause(3);
    }
    out.kind = "STOP_A";
    Mp4QueueCallback callback;
    void* user;
    int64_t value;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        callback = callback_;
        user = user_;
        value = value_;
    }
    if (callback != nullptr) callback(&out, user, value);
    consumerId_ = std::thread::id();
}

} // namespace streams
