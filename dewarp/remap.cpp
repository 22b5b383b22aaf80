#include "remap.h"

#include <algorithm>
#include <cstddef>
#include <cmath>

#include "cubic_weights.h"
#include "drawing.h"
#include "fixed_point.h"
#include "source_coordinates.h"

namespace qn_dewarp {

namespace {

constexpr int32_t kGreyEntry = 128; // (128, 128): no source

struct Plane {
    const uint8_t* pixels;
    int32_t stride;
    int width, height;
    int at(int x, int y) const { return pixels[static_cast<ptrdiff_t>(y) * stride + x]; }
};

struct Source {
    Plane luma, cb, cr;
    int32_t scale_x, scale_y; // x 1024
    const cubic_weights::Table* weights;
};

inline int clamp_index(int i, int size) { return i < 0 ? 0 : (i >= size ? size - 1 : i); }

// Bilinear interpolation with 7-bit phases, each step (d x phase) >> 7.
inline int bilinear(const Plane& p, int ix, int iy, int fx, int fy)
{
    const int x0 = clamp_index(ix, p.width), x1 = clamp_index(ix + 1, p.width);
    const int y0 = clamp_index(iy, p.height), y1 = clamp_index(iy + 1, p.height);
    const int a = p.at(x0, y0), b = p.at(x1, y0), c = p.at(x0, y1), d = p.at(x1, y1);
    const int top = a + (((b - a) * fx) >> 7);
    const int bottom = c + (((d - c) * fx) >> 7);
    return top + (((bottom - top) * fy) >> 7);
}

inline int cubic(const cubic_weights::Table& table, const Plane& p, int x, int y)
{
    const auto& wx = table[x & 127];
    const auto& wy = table[y & 127];
    const int ix = x >> 7, iy = y >> 7;
    int64_t sum = 0;
    if (ix >= 1 && iy >= 1 && ix + 2 < p.width && iy + 2 < p.height) {
        const uint8_t* row = p.pixels + static_cast<ptrdiff_t>(iy - 1) * p.stride + ix - 1;
        for (int j = 0; j < 4; ++j, row += p.stride) {
            const int32_t h = wx[0] * row[0] + wx[1] * row[1] + wx[2] * row[2] + wx[3] * row[3];
            sum += int64_t(wy[j]) * h;
        }
    } else {
        // At the picture's edge the taps are held inside it; the tap that
        // would fall outside has weight 0 there, so the result is unchanged.
        int cols[4];
        for (int i = 0; i < 4; ++i) cols[i] = clamp_index(ix - 1 + i, p.width);
        for (int j = 0; j < 4; ++j) {
            const uint8_t* row = p.pixels + static_cast<ptrdiff_t>(clamp_index(iy - 1 + j, p.height)) * p.stride;
            const int32_t h = wx[0] * row[cols[0]] + wx[1] * row[cols[1]] + wx[2] * row[cols[2]] + wx[3] * row[cols[3]];
            sum += int64_t(wy[j]) * h;
        }
    }
    if (sum < 0) return 0;
    if (sum >= (int64_t(1) << 28)) return 255;
    return static_cast<int>(sum >> 20);
}

// Scales a map coordinate to the source and keeps every tap inside it.
template <Interpolation Mode>
inline int32_t to_source(int32_t v, int32_t scale, int size)
{
    int64_t s = scaled_coordinate(v, scale);
    if (Mode == Interpolation::Cubic && int64_t(v) * scale <= 132095) s = 128;
    return held_coordinate(s, size);
}

// Luma coordinates are held to (size - 2) x 128, so for a source of at least
// 2 x 2 the right and lower taps are always inside it.
inline int bilinear_inside(const Plane& p, int32_t x, int32_t y)
{
    const uint8_t* a = p.pixels + static_cast<ptrdiff_t>(y >> 7) * p.stride + (x >> 7);
    const int fx = x & 127, fy = y & 127;
    const int top = a[0] + (((a[1] - a[0]) * fx) >> 7);
    const int bottom = a[p.stride] + (((a[p.stride + 1] - a[p.stride]) * fx) >> 7);
    return top + (((bottom - top) * fy) >> 7);
}

template <Interpolation Mode>
inline int luma_sample(const Source& src, int32_t x, int32_t y)
{
    if (Mode == Interpolation::Nearest) return src.luma.at((x + 64) >> 7, (y + 64) >> 7);
    if (Mode == Interpolation::Bilinear) return bilinear_inside(src.luma, x, y);
    return cubic(*src.weights, src.luma, x, y);
}

template <Interpolation Mode>
inline int chroma_sample(const Plane& p, int32_t x, int32_t y)
{
    if (Mode == Interpolation::Nearest)
        return p.at(clamp_index(((x >> 1) + 64) >> 7, p.width), clamp_index(((y >> 1) + 64) >> 7, p.height));
    return bilinear(p, x >> 8, y >> 8, (x >> 1) & 127, (y >> 1) & 127);
}

template <bool Blend>
inline void put(uint8_t& out, int v, int blend)
{
    if (Blend) v += ((out - v) * blend) >> 8;
    out = clamp_u8(v);
}

template <Interpolation Mode, bool Blend>
void remap(const Source& src, const int32_t* map, const _vm_screen& view, int blend, int first_row, int end_row)
{
    const int w = view.width, h = view.height;
    uint8_t* const y_plane = view.planar.plane[0];
    const int32_t y_stride = view.planar.stride[0];
    uint8_t* const cb = cb_plane(view);
    uint8_t* const cr = cr_plane(view);
    const int32_t cb_pitch = cb_stride(view), cr_pitch = cr_stride(view);
    const int cw = w / 2, ch = h / 2;
    const int sw = src.luma.width, sh = src.luma.height;

    auto entry = [&](int x, int y) { return map + (static_cast<ptrdiff_t>(y) * w + x) * 2; };
    for (int by = first_row; by < std::min(end_row, h); by += 2) {
        for (int bx = 0; bx < w; bx += 2) {
            for (int dy = 0; dy < 2 && by + dy < h; ++dy) {
                for (int dx = 0; dx < 2 && bx + dx < w; ++dx) {
                    const int32_t* e = entry(bx + dx, by + dy);
                    int v = 128;
                    if (e[0] != kGreyEntry || e[1] != kGreyEntry)
                        v = luma_sample<Mode>(src, to_source<Mode>(e[0], src.scale_x, sw),
                                              to_source<Mode>(e[1], src.scale_y, sh));
                    put<Blend>(y_plane[static_cast<ptrdiff_t>(by + dy) * y_stride + bx + dx], v, blend);
                }
            }
            if (bx / 2 >= cw || by / 2 >= ch) continue;
            // Chroma comes from the block's bottom-right entry.
            const int32_t* e = entry(std::min(bx + 1, w - 1), std::min(by + 1, h - 1));
            int u = 128, v = 128;
            if (e[0] != kGreyEntry || e[1] != kGreyEntry) {
                const int32_t x = to_source<Mode>(e[0], src.scale_x, sw);
                const int32_t y = to_source<Mode>(e[1], src.scale_y, sh);
                u = chroma_sample<Mode>(src.cb, x, y);
                v = chroma_sample<Mode>(src.cr, x, y);
            }
            put<Blend>(cb[static_cast<ptrdiff_t>(by / 2) * cb_pitch + bx / 2], u, blend);
            put<Blend>(cr[static_cast<ptrdiff_t>(by / 2) * cr_pitch + bx / 2], v, blend);
        }
    }
}

}  // namespace

void remap_view(const _vm_screen& source, ReferenceFrame reference, const int32_t* map,
                const _vm_screen& view, Interpolation mode, uint8_t blend)
{
    remap_rows(source, reference, map, view, mode, blend, 0, view.height);
}

void remap_rows(const _vm_screen& source, ReferenceFrame reference, const int32_t* map, const _vm_screen& view,
                Interpolation mode, uint8_t blend, int first_row, int end_row)
{
    Source src{};
    src.luma = {source.planar.plane[0], source.planar.stride[0], source.width, source.height};
    src.cb = {cb_plane(source), cb_stride(source), source.width / 2, source.height / 2};
    src.cr = {cr_plane(source), cr_stride(source), source.width / 2, source.height / 2};
    src.scale_x = source_scale(source.width, reference.width);
    src.scale_y = source_scale(source.height, reference.height);
    src.weights = &cubic_weights::table();
    // A source smaller than 2 x 2 has no inside for the fast taps.
    if (source.width < 2 || source.height < 2) mode = Interpolation::Cubic;
    const bool b = blend != 0;
    switch (mode) {
    case Interpolation::Nearest:
        b ? remap<Interpolation::Nearest, true>(src, map, view, blend, first_row, end_row)
          : remap<Interpolation::Nearest, false>(src, map, view, 0, first_row, end_row);
        break;
    case Interpolation::Bilinear:
        b ? remap<Interpolation::Bilinear, true>(src, map, view, blend, first_row, end_row)
          : remap<Interpolation::Bilinear, false>(src, map, view, 0, first_row, end_row);
        break;
    case Interpolation::Cubic:
        b ? remap<Interpolation::Cubic, true>(src, map, view, blend, first_row, end_row)
          : remap<Interpolation::Cubic, false>(src, map, view, 0, first_row, end_row);
        break;
    }
}

SharpenSettings sharpen_settings(int mode, int width, int height)
{
    const int m = clamp_int(mode, 2, 8);
    const double x = std::min(width, height) / 512.0 / 6.0;
    int e[9] = {0};
    for (int i = 2; i <= 8; ++i) e[i] = static_cast<int>(x * i + 0.1) & ~1;
    int amount = 0;
    for (int i = 2; i <= m; ++i)
        if (e[i] == e[i - 1]) ++amount;
    return {std::min(e[m] + 3, 9), std::min(amount, 5)};
}

void sharpen_luma(const _vm_screen& view, SharpenSettings settings, std::vector<int32_t>& scratch)
{
    const int n = settings.kernel, amount = settings.amount;
    const int w = view.width, h = view.height, r = n / 2;
    if (n <= 2 || amount == 0 || w < n || h < n) return;
    uint8_t* const plane = view.planar.plane[0];
    const int32_t stride = view.planar.stride[0];
    // Scratch: the unsharpened rows of the window, then the column sums.
    scratch.resize(static_cast<size_t>(n) * w + w);
    int32_t* const sums = scratch.data() + static_cast<size_t>(n) * w;
    auto saved_row = [&](int y) { return scratch.data() + static_cast<size_t>(y % n) * w; };
    auto row = [&](int y) { return plane + static_cast<ptrdiff_t>(y) * stride; };
    std::fill(sums, sums + w, 0);
    for (int y = 0; y < n; ++y) {
        int32_t* saved = saved_row(y);
        for (int x = 0; x < w; ++x) {
            saved[x] = row(y)[x];
            sums[x] += saved[x];
        }
    }
    const int n2 = n * n;
    const int64_t gain = int64_t(n2) * (amount + 8);
    const int64_t scale = 4096 / n2;
    for (int y = r; y < h - r; ++y) {
        if (y > r) {
            // Slide the window one row: drop row y - r - 1, add row y + r.
            int32_t* slot = saved_row(y + r);
            const uint8_t* incoming = row(y + r);
            for (int x = 0; x < w; ++x) {
                sums[x] += incoming[x] - slot[x];
                slot[x] = incoming[x];
            }
        }
        const int32_t* centre = saved_row(y);
        uint8_t* out = row(y);
        int32_t box = 0;
        for (int x = 0; x < n; ++x) box += sums[x];
        for (int x = r; x < w - r; ++x) {
            if (x > r) box += sums[x + r] - sums[x - r - 1];
            const int64_t v = ((centre[x] * gain - int64_t(amount) * box) * scale) >> 15;
            out[x] = clamp_u8(static_cast<int>(std::clamp<int64_t>(v, -1, 256)));
        }
    }
}

}  // namespace qn_dewarp
