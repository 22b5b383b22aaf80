#include "streams/input_cache.h"

#include <algorithm>
#include <cstring>

namespace streams {

InputCache::InputCache(std::size_t size) : buffer_(std::max(size, kMinimumSize)) {}

InputCache::StoreResult InputCache::Store(const uint8_t* data, std::size_t length, BufferType type)
{
    if (length >= buffer_.size()) return StoreResult::TooLarge;
    std::lock_guard<std::mutex> hold(positions_);
    if (writeLap_ == readLap_) {
        if (buffer_.size() - writePos_ < length + kGap) {
            // Start the next lap; the reader finishes this one up to its end.
            lapEnd_ = writePos_;
            writePos_ = 0;
            ++writeLap_;
        } else {
            std::memcpy(buffer_.data() + writePos_, data, length);
            writePos_ += length;
            lapEnd_ = writePos_;
            cachedType_ = type;
            return StoreResult::Stored;
        }
    }
    if (readPos_ < writePos_ + length + kGap) return StoreResult::Blocked;
    std::memcpy(buffer_.data() + writePos_, data, length);
    writePos_ += length;
    cachedType_ = type;
    return StoreResult::Stored;
}

bool InputCache::NextPiece(Piece* piece)
{
    std::lock_guard<std::mutex> hold(positions_);
    if (readLap_ < writeLap_ && readPos_ >= lapEnd_) {
        ++readLap_;
        readPos_ = 0;
    }
    std::size_t end = readLap_ < writeLap_ ? lapEnd_ : writePos_;
    if (readPos_ >= end) return false;
    piece->data = buffer_.data() + readPos_;
    piece->length = std::min(end - readPos_, kMaxPiece);
    piece->type = cachedType_;
    piece->generation = generation_;
    return true;
}

void InputCache::Consumed(const Piece& piece)
{
    std::lock_guard<std::mutex> hold(positions_);
    if (piece.generation == generation_) readPos_ += piece.length;
}

void InputCache::Reset()
{
    std::lock_guard<std::recursive_mutex> idle(processing_);
    std::lock_guard<std::mutex> hold(positions_);
    writeLap_ = readLap_ = 0;
    writePos_ = readPos_ = lapEnd_ = 0;
    ++generation_;
}

} // namespace streams
