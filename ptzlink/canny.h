// Fixed-point Canny edge detector with automatic thresholds, run by the
// matching engine on 8-bit sub-images. All state lives in one record; every
// work plane comes from one allocation.
#ifndef OSTRELS_PTZLINK_CANNY_H
#define OSTRELS_PTZLINK_CANNY_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace qnpl {

// Edge-map values.
inline constexpr uint8_t kCannyNone = 0;
inline constexpr uint8_t kCannyCandidate = 128;
inline constexpr uint8_t kCannyEdge = 255;

namespace canny_flag {
inline constexpr uint16_t kSourceOwned = 1 << 0;
inline constexpr uint16_t kBusy = 1 << 1;
inline constexpr uint16_t kPrepareRequested = 1 << 2;
inline constexpr uint16_t kSizeChanged = 1 << 3;
inline constexpr uint16_t kBuffersReady = 1 << 4;
inline constexpr int kMinChainShift = 5;  // 6 bits
inline constexpr uint16_t kMinChainMask = 0x3f << kMinChainShift;
inline constexpr uint16_t kAutoThreshold = 1 << 11;
}  // namespace canny_flag

// Source modes.
inline constexpr int32_t kCannySource8 = 0;   // an 8-bit plane
inline constexpr int32_t kCannySource32 = 1;  // 32-bit pixels, the top byte is read

// Largest side the detector accepts: trace points are 16-bit.
inline constexpr int32_t kCannyMaxSide = 32767;

struct CannyPoint {
    int16_t x;
    int16_t y;
};

struct CannyMap {
    int32_t width = 0, height = 0, stride = 0;
    uint8_t* pixels = nullptr;  // inside the work allocation; null when not in use
};

struct CannyRecord {
    int32_t width = 0, height = 0, stride = 0;
    uint16_t flags = 0;
    uint16_t flags2 = 0;
    size_t buffer_size = 0;
    int16_t threshold_high = 0, threshold_low = 0;
    std::unique_ptr<uint8_t[]> work;
    int32_t source_mode = kCannySource8;
    int32_t canny_direct = 0;  // 0: one map along the gradient; 1-4: per axis
    std::unique_ptr<uint8_t[]> owned_source;  // freed with the record when kSourceOwned
    const uint8_t* source = nullptr;
    int32_t source_stride = 0;
    CannyMap x_map, y_map;
    float rate_low = 0.0f, rate_high = 0.0f;
    int32_t chain_capacity = 0;
    uint8_t* blurred = nullptr;
    int8_t* gradient_x = nullptr;
    int8_t* gradient_y = nullptr;
    uint8_t* magnitude = nullptr;
    CannyPoint* stack = nullptr;
    CannyPoint* list = nullptr;
    std::array<uint32_t, 256> histogram{};

    int min_chain() const { return (flags & canny_flag::kMinChainMask) >> canny_flag::kMinChainShift; }
};

// 16384 / k rounded, entry 0 = 16384 (Q14 reciprocals of gradient values).
const std::array<int32_t, 129>& canny_reciprocals();

// Keys "auto_threshold", "threshold_low", "threshold_high", "rate_low_100",
// "rate_high_100", "canny_direct". 0 when the key is missing or unknown or a
// detection is running; 1 otherwise (an out-of-range direction is ignored).
int CannySetParam(CannyRecord& rec, const char* key, int64_t value);

// Lays out (or re-zeroes) the planes for the record's size. 0 when prepare
// was not requested, the size is unusable (sides 3 ... 32767, stride at
// least the width) or memory ran out.
int CannyPrepare(CannyRecord& rec);
void CannyBlur(CannyRecord& rec);
void CannyGradient(CannyRecord& rec);
void CannySuppress(CannyRecord& rec);
void CannySuppressAxes(CannyRecord& rec);
struct CannyThresholds {
    int high;
    int low;
};
CannyThresholds CannyAutoThreshold(CannyRecord& rec, const CannyMap& map);
void CannyTrace(CannyRecord& rec, CannyPoint seed, const CannyMap& map, int low);
void CannyHysteresis(CannyRecord& rec);

// One detection as the matching engine drives it, on `source` (mode and
// stride as set in the record). 1 with the final maps; 0 when the planes
// could not be prepared, and then the maps are empty (zero) or absent.
int CannyDetect(CannyRecord& rec, const uint8_t* source, int32_t source_stride, int32_t width, int32_t height);

// Which maps a suppression mode fills.
inline bool canny_uses_x_map(int32_t direct) { return direct >= 0 && direct <= 3; }
inline bool canny_uses_y_map(int32_t direct) { return direct == 1 || direct == 2 || direct == 4; }

}  // namespace qnpl

#endif
