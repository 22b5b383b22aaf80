#include "streams/tf_packet_parser.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "streams/camera_packets.h"

namespace streams {

int TfSampleRate(int index)
{
    static const int kRates[] = {4000, 8000, 11025, 16000, 20000, 22050, 32000, 44100, 48000};
    return index >= 0 && index < 9 ? kRates[index] : 0;
}

bool clQnhParse::Create(std::size_t size)
{
    Release();
    // No packet needs more than the largest one; a larger request is refused
    // rather than allocated.
    if (size > kLargestPacket) return false;
    return Grow(std::max(size, kMinimumSize));
}

bool clQnhParse::Grow(std::size_t size)
{
    std::unique_ptr<uint8_t[]> bigger(new (std::nothrow) uint8_t[size]);
    if (!bigger) return false;
    if (used_ > read_) std::memcpy(bigger.get(), bytes_.get() + read_, used_ - read_);
    used_ -= read_;
    read_ = 0;
    bytes_ = std::move(bigger);
    capacity_ = size;
    return true;
}

void clQnhParse::Reset()
{
    used_ = 0;
    read_ = 0;
}

void clQnhParse::Release()
{
    bytes_.reset();
    capacity_ = 0;
    Reset();
}

bool clQnhParse::Append(const uint8_t* data, std::size_t length)
{
    if (!bytes_) return false;
    if (read_ > 0) {
        std::memmove(bytes_.get(), bytes_.get() + read_, used_ - read_);
        used_ -= read_;
        read_ = 0;
    }
    if (length > capacity_ - used_) return false;
    if (length > 0) std::memcpy(bytes_.get() + used_, data, length);
    used_ += length;
    return true;
}

bool clQnhParse::Next(TfPacket* packet)
{
    while (bytes_ && used_ - read_ >= kMinScan) {
        const uint8_t* base = bytes_.get();
        std::size_t at = read_;
        while (at + 4 <= used_ &&
               !(base[at] == 0 && base[at + 1] == 0 && base[at + 2] == 1 && IsPacketType(base[at + 3]))) {
            ++at;
        }
        if (at + 4 > used_) {
            // Filler: drop it, keeping what may begin a start code.
            read_ = used_ - 3;
            return false;
        }
        read_ = at;
        auto type = static_cast<PacketType>(base[at + 3]);
        const std::size_t headerSize = HeaderSizeOf(type);
        if (used_ - at < headerSize) return false;
        const uint64_t total = uint64_t{headerSize} + DeclaredLength(base + at, type);
        if (total > kLargestPacket) {
            read_ = at + 1; // a false header
            continue;
        }
        if (used_ - at < total) {
            // The packet may be larger than the buffer: make room for it and
            // a chunk, so that the caller's next chunks can complete it.
            const uint64_t needed = total + kAppendRoom;
            if (needed <= capacity_ || Grow(static_cast<std::size_t>(needed))) return false;
            read_ = at + 1;
            continue;
        }
        packet->start = base + at;
        packet->payload = base + at + headerSize;
        packet->payloadLength = static_cast<uint32_t>(total - headerSize);
        packet->totalLength = static_cast<uint32_t>(total);
        packet->video = type != PacketType::Audio;
        packet->keyFrame = type == PacketType::KeyFrame;
        packet->audio = type == PacketType::Audio;
        packet->sampleRateIndex = packet->audio ? base[at + 5] : -1;
        read_ = at + static_cast<std::size_t>(total);
        return true;
    }
    return false;
}

} // namespace streams
