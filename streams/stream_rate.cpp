#include "streams/stream_rate.h"

#include <algorithm>
#include <cstring>

namespace streams {

void StreamRate::Allocate()
{
    for (Series& series : series_) {
        series.bytes.assign(kSlotCount, kEmpty);
        series.frames.assign(kSlotCount, kEmpty);
    }
    allocated_ = true;
    Reset();
}

void StreamRate::Reset()
{
    for (Series& series : series_) {
        std::fill(series.bytes.begin(), series.bytes.end(), kEmpty);
        std::fill(series.frames.begin(), series.frames.end(), kEmpty);
        series.current = -1;
        series.totalBytes = 0;
        series.totalFrames = 0;
    }
    started_ = false;
    startMs_ = 0;
}

void StreamRate::Free()
{
    allocated_ = false;
    for (Series& series : series_) {
        series.bytes = {};
        series.frames = {};
        series.current = -1;
    }
}

int StreamRate::SlotOf(int64_t timeMs)
{
    int64_t slot = (timeMs / kSlotMs) % kSlotCount;
    return static_cast<int>(slot < 0 ? slot + kSlotCount : slot);
}

int StreamRate::Add(Series& series, uint32_t bytes, int64_t timeMs)
{
    if (!allocated_) return 0;
    if (!started_) {
        started_ = true;
        startMs_ = timeMs;
    }
    series.totalBytes += bytes;
    series.totalFrames += 1;
    int slot = SlotOf(timeMs);
    // A count at its limit stays there rather than wrapping into "empty".
    int32_t add = static_cast<int32_t>(std::min<uint32_t>(bytes, INT32_MAX));
    if (slot == series.current && series.bytes[slot] != kEmpty) {
        series.bytes[slot] = static_cast<int32_t>(std::min<int64_t>(int64_t{series.bytes[slot]} + add, INT32_MAX));
        series.frames[slot] = std::min<int32_t>(series.frames[slot], INT32_MAX - 1) + 1;
    } else {
        series.bytes[slot] = add;
        series.frames[slot] = 1;
        series.current = slot;
    }
    return 1;
}

void StreamRate::Advance(Series& series, int64_t timeMs)
{
    if (!allocated_) return;
    int slot = SlotOf(timeMs);
    if (slot == series.current) return;
    series.bytes[slot] = 0;
    series.frames[slot] = 0;
    series.current = slot;
}

StreamRate::Rates StreamRate::Query(const char* name, int64_t nowMs) const
{
    Rates rates;
    if (name == nullptr || !allocated_) return rates;
    if (std::strcmp(name, "total") == 0) {
        if (!started_ || nowMs <= startMs_) return rates;
        double elapsed = static_cast<double>(nowMs - startMs_);
        double bytes1 = static_cast<double>(series_[0].totalBytes);
        double bytes2 = static_cast<double>(series_[1].totalBytes);
        rates.firstKBps = static_cast<float>(bytes1 * 1000 / (elapsed * 1024));
        rates.secondKBps = static_cast<float>(bytes2 * 1000 / (elapsed * 1024));
        rates.bothKBps = static_cast<float>((bytes1 + bytes2) * 1000 / (elapsed * 1024));
        rates.firstFps = static_cast<float>(series_[0].totalFrames * 1000.0 / elapsed);
        rates.secondFps = static_cast<float>(series_[1].totalFrames * 1000.0 / elapsed);
        return rates;
    }
    if (std::strcmp(name, "recently") != 0) return rates;
    double bytes[2] = {0, 0};
    double frames[2] = {0, 0};
    int slots[2] = {0, 0};
    for (int s = 0; s < 2; ++s) {
        const Series& series = series_[s];
        for (int i = 0; i < kSlotCount; ++i) {
            if (i == series.current || series.bytes[i] == kEmpty) continue;
            bytes[s] += series.bytes[i];
            frames[s] += series.frames[i];
            ++slots[s];
        }
    }
    auto kbps = [](double total, int count) {
        return count == 0 ? 0.0f : static_cast<float>(total * 1000 / (static_cast<double>(count) * kSlotMs * 1024));
    };
    auto fps = [](double total, int count) {
        return count == 0 ? 0.0f : static_cast<float>(total * 1000 / (static_cast<double>(count) * kSlotMs));
    };
    rates.firstKBps = kbps(bytes[0], slots[0]);
    rates.secondKBps = kbps(bytes[1], slots[1]);
    rates.bothKBps = kbps(bytes[0] + bytes[1], std::max(slots[0], slots[1]));
    rates.firstFps = fps(frames[0], slots[0]);
    rates.secondFps = fps(frames[1], slots[1]);
    return rates;
}

} // namespace streams
