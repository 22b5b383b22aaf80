// The packet parser of copied TF-card segments: file data goes in in chunks,
// whole camera packets (00 00 01 FC / FD / FA) come out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace streams {

struct TfPacket {
    const uint8_t* start = nullptr; // the packet's start code
    const uint8_t* payload = nullptr;
    uint32_t payloadLength = 0;
    uint32_t totalLength = 0; // header and payload
    bool video = false;
    bool keyFrame = false;
    bool audio = false;
    int sampleRateIndex = -1; // audio only
};

// The sample rate an audio packet's index names; 0 for indexes without one.
int TfSampleRate(int index);

class clQnhParse {
public:
    static constexpr std::size_t kMinimumSize = 512 * 1024;
    // A packet may make the buffer grow up to this size; a header that
    // declares more is taken for a false one and skipped.
    static constexpr std::size_t kLargestPacket = 16 * 1024 * 1024;
    // Room kept behind a waiting packet, so that a caller's chunk of up to
    // this size can always complete it.
    static constexpr std::size_t kAppendRoom = 64 * 1024;
    // Nothing is scanned while fewer bytes are buffered.
    static constexpr std::size_t kMinScan = 64;

    // false when the buffer cannot be had or `size` is above the largest
    // packet; `size` is raised to the minimum.
    bool Create(std::size_t size);
    void Reset();
    // false when the data does not fit (offer it again after taking packets).
    bool Append(const uint8_t* data, std::size_t length);
    // The next whole packet; pointers stay valid until the next call.
    bool Next(TfPacket* packet);
    void Release();

    std::size_t Capacity() const { return capacity_; }
    std::size_t Pending() const { return used_ - read_; }

private:
    bool Grow(std::size_t size);

    std::unique_ptr<uint8_t[]> bytes_;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    std::size_t read_ = 0;
};

} // namespace streams
