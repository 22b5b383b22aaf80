// Windowed rate counter with two series (incoming bytes and frames of two
// kinds, as the pacing controllers count them): a ring of slots of a fixed
// length in milliseconds, and totals since the first sample.
#pragma once

#include <cstdint>
#include <vector>

namespace streams {

class StreamRate {
public:
    struct Rates {
        float firstKBps = 0;
        float secondKBps = 0;
        float bothKBps = 0;
        float firstFps = 0;
        float secondFps = 0;
    };

    static constexpr int kSlotMs = 100;
    static constexpr int kSlotCount = 50;

    // The slot arrays, all empty, and the totals at 0. Until then (and after
    // Free) every Add answers 0.
    void Allocate();
    // Arrays back to empty and totals to 0, keeping the arrays.
    void Reset();
    void Free();
    bool Stopped() const { return !allocated_; }

    // One frame of `bytes` at `timeMs`; 0 when the counter is stopped.
    int AddFirst(uint32_t bytes, int64_t timeMs) { return Add(series_[0], bytes, timeMs); }
    int AddSecond(uint32_t bytes, int64_t timeMs) { return Add(series_[1], bytes, timeMs); }
    // Keeps the window moving while nothing arrives: the slot of `timeMs`
    // becomes current with 0 bytes and 0 frames.
    void AdvanceFirst(int64_t timeMs) { Advance(series_[0], timeMs); }
    void AdvanceSecond(int64_t timeMs) { Advance(series_[1], timeMs); }

    // "total": since the first sample; "recently": over the window, counting
    // only filled slots other than each series' current one. Other names
    // give zeros.
    Rates Query(const char* name, int64_t nowMs) const;

private:
    static constexpr int32_t kEmpty = -1;
    struct Series {
        std::vector<int32_t> bytes;
        std::vector<int32_t> frames;
        int current = -1; // no slot yet
        uint64_t totalBytes = 0;
        uint64_t totalFrames = 0;
    };

    int Add(Series& series, uint32_t bytes, int64_t timeMs);
    void Advance(Series& series, int64_t timeMs);
    static int SlotOf(int64_t timeMs);

    Series series_[2];
    bool allocated_ = false;
    bool started_ = false;
    int64_t startMs_ = 0;
};

} // namespace streams
