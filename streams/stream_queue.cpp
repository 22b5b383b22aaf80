#include "streams/stream_queue.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace streams {

namespace {

constexpr std::size_t kMiB = 1048576;

uint32_t RoundUp8(uint32_t length) { return (length + 7u) & ~7u; }

// The frame-rate byte of a large-set head: whole rates up to 30, and above
// that 1 / (byte - 30) for rates below one frame a second.
float FrameRateOf(uint32_t rateByte)
{
    if (rateByte == 0) return 0;
    if (rateByte <= 30) return static_cast<float>(rateByte);
    return 1.0f / static_cast<float>(rateByte - 30);
}

} // namespace

StreamQueue::StreamQueue(QueueCapacity capacity) : capacity_(capacity)
{
    bool large = capacity == QueueCapacity::Large;
    video_.slotCount = large ? 512 : 256;
    video_.poolSize = large ? 4 * kMiB : 1 * kMiB;
    audio_.slotCount = large ? 5120 : 256;
    audio_.poolSize = large ? 2 * kMiB : kMiB / 4;
}

std::size_t StreamQueue::MaxFrameLength(QueueKind kind) const
{
    const Ring& ring = kind == QueueKind::Audio ? audio_ : video_;
    return std::min(ring.poolSize - kAudioEndReserve, kLengthLimit);
}

bool StreamQueue::Admits(int owner) const { return open_ && owner != 0 && owner == owner_; }

StreamQueue::Ring* StreamQueue::RingOf(int kind)
{
    if (IsVideo(kind)) return &video_;
    if (kind == static_cast<int>(QueueKind::Audio)) return &audio_;
    return nullptr;
}

bool StreamQueue::Allocate()
{
    try {
        for (Ring* ring : {&video_, &audio_}) {
            if (ring->slots.size() != ring->slotCount) ring->slots.assign(ring->slotCount, Slot{});
            if (!ring->pool.Allocated() && !ring->pool.Allocate(ring->poolSize)) throw std::bad_alloc();
        }
    } catch (const std::bad_alloc&) {
        FreeMemory();
        return false;
    }
    return true;
}

void StreamQueue::FreeMemory()
{
    for (Ring* ring : {&video_, &audio_}) {
        std::vector<Slot>().swap(ring->slots);
        ring->pool.Free();
    }
}

void StreamQueue::EmptyRings(bool zero)
{
    for (Ring* ring : {&video_, &audio_}) {
        std::fill(ring->slots.begin(), ring->slots.end(), Slot{});
        ring->write = ring->read = 0;
        ring->framesQueued = 0;
        ring->hasLast = false;
        ring->lastFrame = 0;
        ring->lastWritten = -1;
        ring->openAudio = -1;
        ring->beingRead = -1;
        ring->pool.Empty(zero);
    }
    cacheLevel_ = kCacheLevelStart;
    cacheFilled_ = false;
}

int StreamQueue::Open(int owner)
{
    std::lock_guard<std::mutex> hold(mutex_);
    bool valid = capacity_ == QueueCapacity::Large ? owner >= 1 && owner <= 7 : owner > 0;
    if (!valid || (owner_ != 0 && owner_ != owner)) return 0;
    if (!Allocate()) return 0;
    EmptyRings(false);
    owner_ = owner;
    open_ = true;
    return 1;
}

int StreamQueue::Close(int owner)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (!Admits(owner)) return 0;
    EmptyRings(false);
    FreeMemory();
    owner_ = 0;
    open_ = false;
    return 1;
}

int StreamQueue::Clear(int owner)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (!Admits(owner)) return 0;
    EmptyRings(false);
    return 1;
}

int StreamQueue::Put(int owner, const uint8_t* data, uint32_t length, const StreamFrameHead& head, int kind,
                     StreamQueueStats* stats)
{
    if (capacity_ != QueueCapacity::Large) return 0;
    Frame frame{data,
                length,
                (head.word0 & 0x10u) != 0,
                (head.word0 >> 5) & 0x3FFu,
                head.frameNumber,
                static_cast<uint16_t>(head.width),
                static_cast<uint16_t>(head.height),
                FrameRateOf((head.word0 >> 15) & 0xFFu),
                0};
    return PutFrame(owner, frame, kind, stats);
}

int StreamQueue::Put(int owner, const StreamFrameRecord& record, StreamQueueStats* stats)
{
    if (capacity_ != QueueCapacity::Small) return 0;
    Frame frame{record.data, record.length, (record.flags & 1u) != 0, 0, record.frameNumber, 0, 0, 0, record.value};
    return PutFrame(owner, frame, record.kind, stats);
}

int StreamQueue::PutFrame(int owner, const Frame& frame, int kind, StreamQueueStats* stats)
{
    std::lock_guard<std::mutex> hold(mutex_);
    Ring* ring = RingOf(kind);
    if (!Admits(owner) || ring == nullptr) return 0;
    if (frame.data == nullptr || frame.length == 0) return 0;
    if (frame.length > MaxFrameLength(IsVideo(kind) ? QueueKind::Video : QueueKind::Audio)) return 0;
    bool stored = ring == &video_ ? PutVideo(*ring, frame) : PutAudio(*ring, frame);
    if (!stored) return 0;
    if (ring == &video_ && needCache_ && !cacheFilled_ && ring->framesQueued > static_cast<uint64_t>(cacheLevel_)) {
        cacheFilled_ = true;
    }
    if (stats != nullptr) Fill(*ring, &ring->slots[ring->lastWritten], stats);
    return 1;
}

std::size_t StreamQueue::Used(const Ring& ring) const
{
    return (ring.write + ring.slotCount - ring.read) % ring.slotCount;
}

int StreamQueue::StartSlot(Ring& ring, const Frame& frame, uint32_t footprint, std::size_t limit)
{
    // Missing frame numbers become one gap slot, so that the frames-queued
    // count stays a count of frame numbers.
    bool gap = ring.hasLast && static_cast<uint64_t>(ring.lastFrame) + 1 < frame.frameNumber;
    std::size_t free = ring.slotCount - 1 - Used(ring);
    if (free < (gap ? 2u : 1u)) return -1;
    int64_t offset = ring.pool.Place(footprint, limit);
    if (offset == BytePool::kNoRoom) return -1;
    if (gap) {
        Slot& slot = ring.slots[ring.write];
        slot = Slot{};
        slot.gap = slot.filled = true;
        slot.firstFrame = ring.lastFrame + 1;
        slot.lastFrame = frame.frameNumber - 1;
        ring.framesQueued += static_cast<uint64_t>(slot.lastFrame) - slot.firstFrame + 1;
        ring.write = (ring.write + 1) % ring.slotCount;
    }
    int index = static_cast<int>(ring.write);
    Slot& slot = ring.slots[index];
    slot = Slot{};
    slot.key = frame.key;
    slot.length = frame.length;
    slot.footprint = footprint;
    slot.headBits = frame.headBits;
    slot.firstFrame = slot.lastFrame = frame.frameNumber;
    slot.offset = offset;
    slot.value = frame.value;
    std::memcpy(ring.pool.Take(offset, footprint), frame.data, frame.length);
    ring.write = (ring.write + 1) % ring.slotCount;
    ring.framesQueued += 1;
    ring.hasLast = true;
    ring.lastFrame = frame.frameNumber;
    ring.lastWritten = index;
    return index;
}

bool StreamQueue::PutVideo(Ring& ring, const Frame& frame)
{
    int index = StartSlot(ring, frame, RoundUp8(frame.length), ring.poolSize);
    if (index < 0) return false;
    Slot& slot = ring.slots[index];
    slot.filled = true;
    if (capacity_ == QueueCapacity::Large) {
        slot.width = frame.width;
        slot.height = frame.height;
        slot.frameRate = frame.frameRate;
    }
    return true;
}

bool StreamQueue::PutAudio(Ring& ring, const Frame& frame)
{
    // Pieces of one audio frame gather in one slot, which becomes readable
    // when another frame follows or it passes the merge limit.
    if (ring.openAudio >= 0) {
        Slot& open = ring.slots[ring.openAudio];
        if (open.lastFrame == frame.frameNumber && open.length <= kAudioMergeLimit && ring.pool.CanGrow(frame.length)) {
            std::memcpy(ring.pool.At(open.offset) + open.length, frame.data, frame.length);
            ring.pool.Grow(frame.length);
            open.length += frame.length;
            open.footprint += frame.length;
            if (open.length > kAudioMergeLimit) {
                open.filled = true;
                ring.openAudio = -1;
            }
            return true;
        }
    }
    // A new slot starts over at 0 when less than the end reserve would
    // remain behind it.
    int previous = ring.openAudio;
    int index = StartSlot(ring, frame, frame.length, ring.poolSize - kAudioEndReserve + 1);
    if (index < 0) return false;
    if (previous >= 0) ring.slots[previous].filled = true;
    Slot& slot = ring.slots[index];
    slot.filled = slot.length > kAudioMergeLimit;
    ring.openAudio = slot.filled ? -1 : index;
    return true;
}

void StreamQueue::Fill(const Ring& ring, const Slot* slot, StreamQueueStats* stats) const
{
    StreamQueueStats out;
    uint64_t word = 0;
    word |= static_cast<uint64_t>(ring.pool.FillThousandths() & 0x3FFu) << 6;
    word |= static_cast<uint64_t>(Thousandths(Used(ring), ring.slotCount) & 0x3FFu) << 16;
    word |= (ring.framesQueued & 0x3FFu) << 26;
    word |= static_cast<uint64_t>(cacheLevel_ & 0x3FF) << 36;
    out.writeKiB = RoundedKiB(ring.pool.WritePosition());
    out.readKiB = RoundedKiB(ring.pool.ReadPosition());
    if (slot != nullptr) {
        word |= (slot->gap ? 1u : 0u) | (slot->key ? 2u : 0u);
        out.firstFrame = slot->firstFrame;
        out.lastFrame = slot->lastFrame;
        out.width = slot->width;
        out.height = slot->height;
        out.frameRate = slot->frameRate;
        out.value = slot->value;
    }
    out.word = word;
    *stats = out;
}

int StreamQueue::Read(int owner, const uint8_t** data, uint32_t* length, StreamQueueStats* stats, int kind)
{
    std::lock_guard<std::mutex> hold(mutex_);
    Ring* ring = RingOf(kind);
    if (!Admits(owner) || ring == nullptr) return 0;
    if (needCache_ && !cacheFilled_) return 0;
    if (ring->beingRead < 0) {
        if (Used(*ring) < static_cast<std::size_t>(readLag_) || !ring->slots[ring->read].filled) return 0;
        ring->beingRead = static_cast<int>(ring->read);
    }
    Slot& slot = ring->slots[ring->beingRead];
    if (data != nullptr) *data = slot.gap ? nullptr : ring->pool.At(slot.offset);
    if (length != nullptr) *length = slot.length;
    if (stats != nullptr) Fill(*ring, &slot, stats);
    return 1;
}

int StreamQueue::Release(int owner, int kind)
{
    std::lock_guard<std::mutex> hold(mutex_);
    Ring* ring = RingOf(kind);
    if (!Admits(owner) || ring == nullptr || ring->beingRead < 0) return 0;
    Slot& slot = ring->slots[ring->beingRead];
    ring->pool.Free(slot.offset, slot.footprint);
    uint64_t span = static_cast<uint64_t>(slot.lastFrame) - slot.firstFrame + 1;
    ring->framesQueued -= std::min(span, ring->framesQueued);
    slot = Slot{};
    ring->read = (ring->read + 1) % ring->slotCount;
    ring->beingRead = -1;
    // An underrun: the reader waits again, for a deeper cache this time.
    if (ring == &video_ && needCache_ && cacheFilled_ && ring->framesQueued < kUnderrunMark) {
        cacheLevel_ = std::min(cacheLevel_ + kCacheLevelStep, kCacheLevelMax);
        cacheFilled_ = false;
    }
    return 1;
}

int StreamQueue::State(int owner, StreamQueueStats* stats)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (!Admits(owner) || stats == nullptr) return 0;
    Fill(video_, nullptr, stats);
    return 1;
}

int StreamQueue::Command(int owner, const char* name, const char* value)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (!Admits(owner) || name == nullptr) return 0;
    if (std::strcmp(name, "clear_all") == 0) {
        EmptyRings(true);
        return 1;
    }
    if (std::strcmp(name, "need_cache") == 0 && value != nullptr) {
        if (std::strcmp(value, "y") == 0) {
            needCache_ = true;
            return 1;
        }
        if (std::strcmp(value, "n") == 0) {
            needCache_ = false;
            return 1;
        }
    }
    return 0;
}

} // namespace streams
