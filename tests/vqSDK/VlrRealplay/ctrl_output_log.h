// What a pacing controller handed on, in order, with the clock's time of each call, and the frames fed to it.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "streams/stream_queue.h"
#include "vqSDK/VlrRealplay/stream_ctrl_output.h"

namespace pacing_test {

struct Released {
    std::string kind;
    uint32_t frame = 0;
    uint32_t length = 0;
    int64_t atMs = 0;
    uint32_t audioRate = 0;
    float frameRate = 0;
    uint64_t syncId = 0;
};

class OutputLog {
public:
    explicit OutputLog(const platform::Clock& clock) : clock_(clock) {}

    // Set before the controller plays: the callback's answer (1 when unset).
    std::function<int(const Released&)> answer;

    static int Callback(const uint8_t*, uint32_t length, const QN_STREAM_OUT_RECORD* record, void* user, int32_t)
    {
        auto* log = static_cast<OutputLog*>(user);
        Released entry{record->kind,      record->frameNumber, length,          log->clock_.MonotonicMs(),
                       record->audioRate, record->frameRate,   record->SyncId()};
        {
            std::lock_guard<std::mutex> hold(log->mutex_);
            log->entries_.push_back(entry);
        }
        return log->answer ? log->answer(entry) : 1;
    }

    std::vector<Released> All() const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return entries_;
    }
    // Frames only ("h264_I", "h264_P") or ("g711a").
    std::vector<Released> Video() const
    {
        return Select([](const std::string& k) { return k.rfind("h264_", 0) == 0; });
    }
    std::vector<Released> Audio() const
    {
        return Select([](const std::string& k) { return k == "g711a"; });
    }
    std::size_t Count(const std::string& kind) const
    {
        return Select([&](const std::string& k) { return k == kind; }).size();
    }

private:
    template <typename Keep>
    std::vector<Released> Select(Keep keep) const
    {
        std::vector<Released> out;
        std::lock_guard<std::mutex> hold(mutex_);
        for (const Released& entry : entries_)
            if (keep(entry.kind)) out.push_back(entry);
        return out;
    }

    const platform::Clock& clock_;
    mutable std::mutex mutex_;
    std::vector<Released> entries_;
};

// A video frame as the play modules put it: a slice NAL unit, its number in the head, the key mark and the
// frame-rate byte (whole frames a second up to 30; 0 unknown).
struct FedFrame {
    std::vector<uint8_t> bytes;
    streams::StreamFrameHead head;
};

inline FedFrame VideoFrame(uint32_t number, bool key, uint8_t rateByte, std::size_t length = 64)
{
    FedFrame frame;
    frame.bytes.assign(length, static_cast<uint8_t>(number));
    const uint8_t start[] = {0, 0, 0, 1, static_cast<uint8_t>(key ? 0x65 : 0x41)};
    std::copy(std::begin(start), std::end(start), frame.bytes.begin());
    frame.head.word0 = 1u | (key ? 0x10u : 0u) | (static_cast<uint32_t>(rateByte) << 15);
    frame.head.frameNumber = number;
    frame.head.width = 1920;
    frame.head.height = 1080;
    return frame;
}

// A-law audio: 320 bytes are 40 ms at 8000 samples a second.
inline FedFrame AudioFrame(uint32_t number, std::size_t length = 320)
{
    FedFrame frame;
    frame.bytes.assign(length, static_cast<uint8_t>(0xD5));
    frame.head.frameNumber = number;
    return frame;
}

} // namespace pacing_test
