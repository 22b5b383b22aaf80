// A source's input cache: a ring over one buffer that the caller's thread
// fills and the source's "buff_cache" thread drains, in laps. The writer
// moves the write position and lap; the reader moves the read position and
// lap. A writer that reaches the end of the buffer starts a new lap at 0 as
// soon as the reader is far enough ahead.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "streams/buffer_types.h"

namespace streams {

class InputCache {
public:
    static constexpr std::size_t kMinimumSize = 1048576;
    static constexpr std::size_t kMaxPiece = 16384;
    static constexpr std::size_t kGap = 8;

    enum class StoreResult { Stored, TooLarge, Blocked };

    explicit InputCache(std::size_t size);

    std::size_t Size() const { return buffer_.size(); }
    StoreResult Store(const uint8_t* data, std::size_t length, BufferType type);

    // The next piece to pass on, if any: at most kMaxPiece bytes.
    struct Piece {
        const uint8_t* data = nullptr;
        std::size_t length = 0;
        BufferType type = BufferType::Unknown;
        uint64_t generation = 0;
    };
    bool NextPiece(Piece* piece);
    // The piece was taken: moves the read position past it (unless the
    // cache was reset meanwhile).
    void Consumed(const Piece& piece);
    BufferType CachedType() const { return cachedType_.load(); }

    // Back to empty. Waits for a piece being processed on another thread.
    void Reset();
    // Held by the reader while a piece is processed.
    std::recursive_mutex& ProcessingLock() { return processing_; }

private:
    std::vector<uint8_t> buffer_;
    std::mutex positions_;
    std::recursive_mutex processing_;
    uint64_t writeLap_ = 0;
    uint64_t readLap_ = 0;
    std::size_t writePos_ = 0;
    std::size_t readPos_ = 0;
    std::size_t lapEnd_ = 0;
    uint64_t generation_ = 0;
    std::atomic<BufferType> cachedType_{BufferType::Unknown};
};

} // namespace streams
