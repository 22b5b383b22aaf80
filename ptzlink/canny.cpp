#include "canny.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace qnpl {
namespace {

constexpr int kQ14 = 16384;
constexpr int kMinMagnitude = 8;
// A work allocation above this is a size no sub-image can have.
constexpr size_t kMaxWorkBytes = size_t(1) << 30;

size_t align8(size_t v) { return (v + 7) & ~size_t(7); }

int map_count(int32_t direct) { return int(canny_uses_x_map(direct)) + int(canny_uses_y_map(direct)); }

uint8_t source_value(const CannyRecord& rec, int x, int y)
{
    const uint8_t* row = rec.source + int64_t(y) * rec.source_stride;
    return rec.source_mode == kCannySource8 ? row[x] : row[4 * x + 3];
}

// ((16384 - w) * first + w * diagonal) >> 14, with w possibly above 16384.
int interpolate(int w, int first, int diagonal) { return ((kQ14 - w) * first + w * diagonal) >> 14; }

void clear_inner(const CannyMap& map)
{
    for (int y = 1; y < map.height - 1; ++y) std::memset(map.pixels + int64_t(y) * map.stride + 1, 0, map.width - 2);
}

void set_min_chain(CannyRecord& rec, int length)
{
    rec.flags = static_cast<uint16_t>((rec.flags & ~canny_flag::kMinChainMask) |
                                      ((length << canny_flag::kMinChainShift) & canny_flag::kMinChainMask));
}

bool size_usable(const CannyRecord& rec)
{
    return rec.width >= 3 && rec.height >= 3 && rec.width <= kCannyMaxSide && rec.height <= kCannyMaxSide &&
           rec.stride >= rec.width && rec.stride <= kCannyMaxSide;
}

void drop_allocation(CannyRecord& rec)
{
    rec.work.reset();
    rec.buffer_size = 0;
    rec.blurred = nullptr;
    rec.gradient_x = rec.gradient_y = nullptr;
    rec.magnitude = nullptr;
    rec.stack = rec.list = nullptr;
    rec.x_map = CannyMap{};
    rec.y_map = CannyMap{};
}

bool allocate(CannyRecord& rec)
{
    drop_allocation(rec);
    const size_t plane = size_t(rec.height) * size_t(rec.stride);
    const size_t points = size_t(rec.chain_capacity) * sizeof(CannyPoint);
    const size_t maps = size_t(map_count(rec.canny_direct));
    const size_t size = align8(4 * plane) + align8(points) * 2 + plane * maps;
    if (size > kMaxWorkBytes) return false;
    rec.work.reset(new (std::nothrow) uint8_t[size]());
    if (!rec.work) return false;
    rec.buffer_size = size;
    uint8_t* p = rec.work.get();
    rec.blurred = p;
    rec.gradient_x = reinterpret_cast<int8_t*>(p + plane);
    rec.gradient_y = reinterpret_cast<int8_t*>(p + 2 * plane);
    rec.magnitude = p + 3 * plane;
    p += align8(4 * plane);
    rec.stack = reinterpret_cast<CannyPoint*>(p);
    p += align8(points);
    rec.list = reinterpret_cast<CannyPoint*>(p);
    p += align8(points);
    const CannyMap shape{rec.width, rec.height, rec.stride, nullptr};
    if (canny_uses_x_map(rec.canny_direct)) {
        rec.x_map = shape;
        rec.x_map.pixels = p;
        p += plane;
    }
    if (canny_uses_y_map(rec.canny_direct)) {
        rec.y_map = shape;
        rec.y_map.pixels = p;
    }
    return true;
}

}  // namespace

const std::array<int32_t, 129>& canny_reciprocals()
{
    static const std::array<int32_t, 129> table = [] {
        std::array<int32_t, 129> t{};
        t[0] = kQ14;
        for (int k = 1; k <= 128; ++k) t[k] = static_cast<int32_t>(double(kQ14) / k + 0.5);
        return t;
    }();
    return table;
}

int CannySetParam(CannyRecord& rec, const char* key, int64_t value)
{
    if (!key || (rec.flags & canny_flag::kBusy)) return 0;
    if (std::strcmp(key, "auto_threshold") == 0) {
        rec.flags = value != 0 ? rec.flags | canny_flag::kAutoThreshold
                               : static_cast<uint16_t>(rec.flags & ~canny_flag::kAutoThreshold);
    } else if (std::strcmp(key, "threshold_low") == 0) {
        rec.threshold_low = static_cast<int16_t>(value & 0xffff);
    } else if (std::strcmp(key, "threshold_high") == 0) {
        rec.threshold_high = static_cast<int16_t>(value & 0xffff);
    } else if (std::strcmp(key, "rate_low_100") == 0) {
        rec.rate_low = static_cast<float>(value) * 0.01f;
    } else if (std::strcmp(key, "rate_high_100") == 0) {
        rec.rate_high = static_cast<float>(value) * 0.01f;
    } else if (std::strcmp(key, "canny_direct") == 0) {
        if (value >= 0 && value <= 4) rec.canny_direct = static_cast<int32_t>(value);
    } else {
        return 0;
    }
    return 1;
}

int CannyPrepare(CannyRecord& rec)
{
    if (!(rec.flags & canny_flag::kPrepareRequested)) return 0;
    canny_reciprocals();
    if (!size_usable(rec)) return 0;
    // The layout also depends on the capacity and the number of maps: a record
    // whose allocation does not match them is laid out anew.
    if (rec.chain_capacity < 1) rec.chain_capacity = rec.width * 8;
    const bool layout_matches = rec.work && rec.x_map.width == rec.width && rec.x_map.height == rec.height &&
                                ((rec.x_map.pixels != nullptr) == canny_uses_x_map(rec.canny_direct)) &&
                                ((rec.y_map.pixels != nullptr) == canny_uses_y_map(rec.canny_direct));
    if ((rec.flags & canny_flag::kSizeChanged) || !layout_matches) {
        rec.flags &= ~canny_flag::kSizeChanged;
        set_min_chain(rec, std::clamp(rec.width / 32, 8, 60));
        if (!allocate(rec)) return 0;
    } else {
        std::memset(rec.work.get(), 0, rec.buffer_size);
    }
    rec.flags |= canny_flag::kBuffersReady;
    return 1;
}

void CannyBlur(CannyRecord& rec)
{
    const int w = rec.width, h = rec.height, stride = rec.stride;
    uint8_t* out = rec.blurred;
    if (rec.source && (rec.source_mode == kCannySource8 || rec.source_mode == kCannySource32)) {
        for (int y = 1; y < h - 1; ++y) {
            for (int x = 1; x < w - 1; ++x) {
                int sum = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) sum += source_value(rec, x + dx, y + dy);
                out[int64_t(y) * stride + x] = static_cast<uint8_t>((sum * 455) >> 12);
            }
        }
    }
    std::memcpy(out + 1, out + stride + 1, w - 2);
    std::memcpy(out + int64_t(h - 1) * stride + 1, out + int64_t(h - 2) * stride + 1, w - 2);
    // Every row, corners included: a corner left unwritten would hold a stale
    // or zero value and raise false edges on a flat picture.
    for (int y = 0; y < h; ++y) {
        uint8_t* row = out + int64_t(y) * stride;
        row[0] = row[1];
        row[w - 1] = row[w - 2];
    }
}

void CannyGradient(CannyRecord& rec)
{
    const int w = rec.width, h = rec.height, stride = rec.stride;
    const uint8_t* in = rec.blurred;
    for (int y = 1; y < h - 1; ++y) {
        const uint8_t* t = in + int64_t(y - 1) * stride;
        const uint8_t* m = t + stride;
        const uint8_t* b = m + stride;
        for (int x = 1; x < w - 1; ++x) {
            int gx = ((t[x - 1] + 2 * m[x - 1] + b[x - 1]) - (t[x + 1] + 2 * m[x + 1] + b[x + 1])) >> 2;
            int gy = ((t[x - 1] + 2 * t[x] + t[x + 1]) - (b[x - 1] + 2 * b[x] + b[x + 1])) >> 2;
            gx = std::clamp(gx, -127, 127);
            gy = std::clamp(gy, -127, 127);
            const int mag = static_cast<int>(std::sqrt(static_cast<float>(gx * gx + gy * gy)) + 0.5f);
            const int64_t at = int64_t(y) * stride + x;
            if (mag < kMinMagnitude) {
                rec.gradient_x[at] = rec.gradient_y[at] = 0;
                rec.magnitude[at] = 0;
            } else {
                rec.gradient_x[at] = static_cast<int8_t>(gx);
                rec.gradient_y[at] = static_cast<int8_t>(gy);
                rec.magnitude[at] = static_cast<uint8_t>(mag);
            }
        }
    }
}

void CannySuppress(CannyRecord& rec)
{
    const int w = rec.width, h = rec.height, stride = rec.stride;
    const CannyMap& map = rec.x_map;
    if (!map.pixels) return;
    const auto& recip = canny_reciprocals();
    auto M = [&](int x, int y) { return int(rec.magnitude[int64_t(y) * stride + x]); };
    std::memset(map.pixels, 0, map.width);
    std::memset(map.pixels + int64_t(h - 1) * map.stride, 0, map.width);
    for (int y = 0; y < h; ++y) map.pixels[int64_t(y) * map.stride] = map.pixels[int64_t(y) * map.stride + w - 1] = 0;
    for (int y = 1; y < h - 1; ++y) {
        for (int x = 1; x < w - 1; ++x) {
            const int64_t at = int64_t(y) * stride + x;
            uint8_t& out = map.pixels[int64_t(y) * map.stride + x];
            out = 0;
            const int mag = rec.magnitude[at];
            if (mag == 0) continue;
            const int gx = rec.gradient_x[at], gy = rec.gradient_y[at];
            const int ax = std::abs(gx), ay = std::abs(gy);
            const bool equal = gx * gy > 0;
            int a, b;
            if (ay <= ax) {
                const int wgt = recip[ax] * ay;
                a = interpolate(wgt, M(x + 1, y), equal ? M(x + 1, y + 1) : M(x + 1, y - 1));
                b = interpolate(wgt, M(x - 1, y), equal ? M(x - 1, y - 1) : M(x - 1, y + 1));
            } else {
                const int wgt = recip[ay] * ax;
                a = interpolate(wgt, M(x, y - 1), equal ? M(x - 1, y - 1) : M(x + 1, y - 1));
                b = interpolate(wgt, M(x, y + 1), equal ? M(x + 1, y + 1) : M(x - 1, y + 1));
            }
            if (mag >= a && mag >= b) out = kCannyCandidate;
        }
    }
}

void CannySuppressAxes(CannyRecord& rec)
{
    const int w = rec.width, h = rec.height, stride = rec.stride;
    const bool use_x = canny_uses_x_map(rec.canny_direct) && rec.x_map.pixels;
    const bool use_y = canny_uses_y_map(rec.canny_direct) && rec.y_map.pixels;
    if (use_x) clear_inner(rec.x_map);
    if (use_y) clear_inner(rec.y_map);
    const auto& recip = canny_reciprocals();
    auto M = [&](int x, int y) { return int(rec.magnitude[int64_t(y) * stride + x]); };
    for (int y = 1; y < h - 1; ++y) {
        for (int x = 1; x < w - 1; ++x) {
            const int64_t at = int64_t(y) * stride + x;
            const int mag = rec.magnitude[at];
            if (mag == 0) continue;
            const int gx = rec.gradient_x[at], gy = rec.gradient_y[at];
            const int ax = std::abs(gx), ay = std::abs(gy);
            const bool opposite = gx * gy < 1;
            if (use_x && ay * 10 >= ax * 5) {
                const int wgt = recip[ay] * ax;
                const int a = interpolate(wgt, M(x, y - 1), opposite ? M(x + 1, y - 1) : M(x - 1, y - 1));
                const int b = interpolate(wgt, M(x, y + 1), opposite ? M(x - 1, y + 1) : M(x + 1, y + 1));
                if (mag >= a && mag >= b) rec.x_map.pixels[int64_t(y) * rec.x_map.stride + x] = kCannyCandidate;
            }
            if (use_y && ax * 10 >= ay * 5) {
                const int wgt = recip[ax] * ay;
                const int a = interpolate(wgt, M(x + 1, y), !opposite ? M(x + 1, y + 1) : M(x + 1, y - 1));
                const int b = interpolate(wgt, M(x - 1, y), !opposite ? M(x - 1, y - 1) : M(x - 1, y + 1));
                if (mag >= a && mag >= b) rec.y_map.pixels[int64_t(y) * rec.y_map.stride + x] = kCannyCandidate;
            }
        }
    }
}

CannyThresholds CannyAutoThreshold(CannyRecord& rec, const CannyMap& map)
{
    rec.histogram.fill(0);
    for (int y = 0; y < map.height; ++y)
        for (int x = 0; x < map.width; ++x)
            if (map.pixels[int64_t(y) * map.stride + x] == kCannyCandidate)
                ++rec.histogram[rec.magnitude[int64_t(y) * rec.stride + x]];
    uint64_t total = 0;
    for (uint32_t c : rec.histogram) total += c;
    int top = 0;
    for (int m = 255; m >= 1; --m)
        if (rec.histogram[m]) {
            top = m;
            break;
        }
    const uint64_t target = static_cast<uint64_t>(rec.rate_high * static_cast<float>(total) + 0.5f);
    int high = 1;
    uint64_t running = rec.histogram[1];
    while (high < top - 1 && running < target) running += rec.histogram[++high];
    const int low = static_cast<int>(rec.rate_low * static_cast<float>(high) + 0.5f);
    return {high, low};
}

void CannyTrace(CannyRecord& rec, CannyPoint seed, const CannyMap& map, int low)
{
    static constexpr int kStep[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    const int capacity = rec.chain_capacity;
    if (capacity < 1) return;
    int depth = 0, listed = 0;
    rec.stack[depth++] = seed;
    rec.list[listed++] = seed;
    bool full = false;
    while (depth > 0 && !full) {
        const CannyPoint p = rec.stack[--depth];
        if (listed >= capacity) break;
        rec.list[listed++] = p;
        if (listed >= capacity) break;
        for (const auto& step : kStep) {
            const int nx = p.x + step[0], ny = p.y + step[1];
            if (nx < 0 || ny < 0 || nx >= map.width || ny >= map.height) continue;
            uint8_t& v = map.pixels[int64_t(ny) * map.stride + nx];
            if (v != kCannyCandidate || rec.magnitude[int64_t(ny) * rec.stride + nx] < low) continue;
            if (depth >= capacity) {
                full = true;
                break;
            }
            rec.stack[depth++] = CannyPoint{static_cast<int16_t>(nx), static_cast<int16_t>(ny)};
            v = kCannyEdge;
        }
    }
    if (listed >= 1 && listed < rec.min_chain())
        for (int i = 0; i < listed; ++i) map.pixels[int64_t(rec.list[i].y) * map.stride + rec.list[i].x] = kCannyNone;
}

void CannyHysteresis(CannyRecord& rec)
{
    const bool use_x = rec.x_map.pixels != nullptr;
    const bool use_y = rec.y_map.pixels != nullptr;
    CannyThresholds t{};
    if (rec.flags & canny_flag::kAutoThreshold) {
        if (use_x && use_y) {
            const CannyThresholds tx = CannyAutoThreshold(rec, rec.x_map);
            const CannyThresholds ty = CannyAutoThreshold(rec, rec.y_map);
            t = {std::max(tx.high, ty.high), std::min(tx.low, ty.low)};
        } else {
            t = CannyAutoThreshold(rec, use_x ? rec.x_map : rec.y_map);
        }
    } else if (use_x && use_y) {
        t = {std::max<int>(rec.threshold_high, rec.threshold_low), std::min<int>(rec.threshold_high, rec.threshold_low)};
    } else {
        t = {rec.threshold_high, rec.threshold_low};
    }
    CannyMap* maps[2] = {use_x ? &rec.x_map : nullptr, use_y ? &rec.y_map : nullptr};
    for (int y = 0; y < rec.height; ++y) {
        for (int x = 0; x < rec.width; ++x) {
            const int mag = rec.magnitude[int64_t(y) * rec.stride + x];
            for (CannyMap* map : maps) {
                if (!map) continue;
                uint8_t& v = map->pixels[int64_t(y) * map->stride + x];
                if (v != kCannyCandidate || mag < t.high) continue;
                v = kCannyEdge;
                CannyTrace(rec, CannyPoint{static_cast<int16_t>(x), static_cast<int16_t>(y)}, *map, t.low);
            }
        }
    }
    for (CannyMap* map : maps) {
        if (!map) continue;
        for (int y = 0; y < map->height; ++y) {
            uint8_t* row = map->pixels + int64_t(y) * map->stride;
            for (int x = 0; x < map->width; ++x)
                if (row[x] != kCannyEdge) row[x] = kCannyNone;
        }
    }
    if (rec.canny_direct == 1 && use_x && use_y) {
        for (int y = 0; y < rec.height; ++y)
            for (int x = 0; x < rec.width; ++x)
                if (rec.y_map.pixels[int64_t(y) * rec.y_map.stride + x] == kCannyEdge)
                    rec.x_map.pixels[int64_t(y) * rec.x_map.stride + x] = kCannyEdge;
    }
}

int CannyDetect(CannyRecord& rec, const uint8_t* source, int32_t source_stride, int32_t width, int32_t height)
{
    if (rec.width != width || rec.height != height || rec.stride != width) rec.flags |= canny_flag::kSizeChanged;
    rec.width = width;
    rec.height = height;
    rec.stride = width;
    rec.source = source;
    rec.source_stride = source_stride;
    rec.flags &= ~canny_flag::kBuffersReady;
    rec.flags |= canny_flag::kPrepareRequested;
    const bool prepared = source && CannyPrepare(rec) == 1;
    if (!prepared || !(rec.flags & canny_flag::kBuffersReady)) {
        rec.flags &= ~canny_flag::kBusy;
        // Maps from an earlier picture must not pass for this one's.
        if (rec.work && size_usable(rec) && rec.x_map.width == width && rec.x_map.height == height)
            std::memset(rec.work.get(), 0, rec.buffer_size);
        else
            drop_allocation(rec);
        return 0;
    }
    rec.flags |= canny_flag::kBusy;
    CannyBlur(rec);
    CannyGradient(rec);
    if (rec.canny_direct == 0)
        CannySuppress(rec);
    else
        CannySuppressAxes(rec);
    CannyHysteresis(rec);
    rec.flags &= ~canny_flag::kBusy;
    return 1;
}

}  // namespace qnpl
