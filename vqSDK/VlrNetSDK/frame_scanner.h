// Cuts a byte stream into whole frames: resynchronises on the magic, drops a
// header whose total length lies outside 20..12288, and keeps an incomplete
// frame for the next read.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qn_net {

// Called for every whole frame; the bytes are valid during the call only.
class frame_sink {
public:
    virtual void on_frame(const uint8_t* frame, std::size_t length) = 0;

protected:
    ~frame_sink() = default;
};

// Scans `data` and hands each whole frame to `sink`. Returns how many leading
// bytes are used up (frames and dropped bytes); the caller keeps the rest,
// which is at most one incomplete frame or 19 bytes without a magic.
std::size_t scan_frames(const uint8_t* data, std::size_t length, frame_sink& sink);

} // namespace qn_net
