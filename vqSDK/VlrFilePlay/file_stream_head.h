// The parameter-set head of a played file: the latest SPS, PPS and private
// SEI, each in a store of its own, and the three joined (SEI, SPS, PPS) for a
// decoder that is primed at a key frame. A parameter set longer than its
// store is refused and the one before it kept: it would not fit a decoder's
// head either, and cutting it would corrupt it.
#pragma once

#include <cstdint>
#include <mutex>

#include "vqSDK/VlrRealplay/mont_stream_head.h"

namespace fileplay {

constexpr uint32_t kParameterStoreBytes = 100;
constexpr uint32_t kJoinedStoreBytes = 3 * kParameterStoreBytes;

class FileStreamHead {
public:
    FileStreamHead() = default;
    FileStreamHead(const FileStreamHead&) = delete;
    FileStreamHead& operator=(const FileStreamHead&) = delete;

    // False when the unit is empty or longer than its store.
    bool Set(realplay::HeadPart part, const uint8_t* data, uint32_t length);
    void Clear();
    // The head when it holds an SPS and a PPS, else null. Its addresses stay
    // valid until the next Set or Clear: the stream's own thread follows them.
    const MontStreamHead* Head();

private:
    struct Store {
        uint8_t bytes[kParameterStoreBytes];
        uint32_t length;
    };
    void Join();

    std::mutex mutex_;
    Store sps_{}, pps_{}, sei_{};
    uint8_t joined_[kJoinedStoreBytes] = {};
    MontStreamHead head_{};
};

} // namespace fileplay
