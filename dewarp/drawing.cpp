#include "drawing.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "fixed_point.h"

namespace qn_dewarp {

namespace {

// One plane of a picture and the bytes one pixel of the colour takes in it.
struct PlaneTarget {
    uint8_t* pixels;
    int32_t stride;
    int width, height;
    int bytes;
    uint8_t value[4];

    void fill_block(int x, int y, int w, int h) const
    {
        int x0 = std::max(x, 0), y0 = std::max(y, 0);
        int x1 = std::min(x + w, width), y1 = std::min(y + h, height);
        for (int row = y0; row < y1; ++row) {
            uint8_t* p = pixels + static_cast<ptrdiff_t>(row) * stride + x0 * bytes;
            for (int col = x0; col < x1; ++col, p += bytes) std::memcpy(p, value, bytes);
        }
    }
};

// Liang-Barsky clip of a segment to 0..w-1 x 0..h-1.
bool clip_segment(double& x0, double& y0, double& x1, double& y1, int w, int h)
{
    double t0 = 0, t1 = 1, dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0, (w - 1) - x0, y0, (h - 1) - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        double r = q[i] / p[i];
        if (p[i] < 0) t0 = std::max(t0, r);
        else t1 = std::min(t1, r);
        if (t0 > t1) return false;
    }
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = x0 + t0 * dx;
    y0 = y0 + t0 * dy;
    return true;
}

void line_in_plane(const PlaneTarget& t, int x0, int y0, int x1, int y1, int pen)
{
    if (pen < 1 || t.width <= 0 || t.height <= 0) return;
    const int half = pen / 2;
    if (y0 == y1) {
        t.fill_block(std::min(x0, x1), y0 - half, std::abs(x1 - x0) + 1, pen);
        return;
    }
    if (x0 == x1) {
        t.fill_block(x0 - half, std::min(y0, y1), pen, std::abs(y1 - y0) + 1);
        return;
    }
    double fx0 = x0, fy0 = y0, fx1 = x1, fy1 = y1;
    if (!clip_segment(fx0, fy0, fx1, fy1, t.width, t.height)) return;
    int ax = rnd(fx0), ay = rnd(fy0), bx = rnd(fx1), by = rnd(fy1);
    int dx = bx - ax, dy = by - ay;
    // Walk the long axis one pixel at a time; the other advances in 1/1024.
    if (std::abs(dy) * 2 > std::abs(dx)) {
        if (dy < 0) { std::swap(ax, bx); std::swap(ay, by); dx = -dx; dy = -dy; }
        const int64_t step = dy ? (int64_t(dx) * 1024) / dy : 0;
        int64_t x = int64_t(ax) * 1024 + 512;
        for (int y = ay; y <= by; ++y, x += step) t.fill_block(int(x >> 10) - half, y - half, pen, pen);
    } else {
        if (dx < 0) { std::swap(ax, bx); std::swap(ay, by); dx = -dx; dy = -dy; }
        const int64_t step = dx ? (int64_t(dy) * 1024) / dx : 0;
        int64_t y = int64_t(ay) * 1024 + 512;
        for (int x = ax; x <= bx; ++x, y += step) t.fill_block(x - half, int(y >> 10) - half, pen, pen);
    }
}

PlaneTarget plane_target(uint8_t* pixels, int32_t stride, int w, int h, uint8_t v)
{
    return PlaneTarget{pixels, stride, w, h, 1, {v, 0, 0, 0}};
}

}  // namespace

YCbCr ycbcr_of(uint8_t b, uint8_t g, uint8_t r)
{
    int y = (4899 * r + 9617 * g + 1868 * b + 8192) >> 14;
    int cb = (((b - y) * 9241 + 8192) >> 14) + 128;
    int cr = (((r - y) * 11682 + 8192) >> 14) + 128;
    return {clamp_u8(y), clamp_u8(cb), clamp_u8(cr)};
}

uint8_t* cb_plane(const _vm_screen& s) { return s.planar.plane[s.format == VM_FMT_YVU420 ? 2 : 1]; }
uint8_t* cr_plane(const _vm_screen& s) { return s.planar.plane[s.format == VM_FMT_YVU420 ? 1 : 2]; }
int32_t cb_stride(const _vm_screen& s) { return s.planar.stride[s.format == VM_FMT_YVU420 ? 2 : 1]; }
int32_t cr_stride(const _vm_screen& s) { return s.planar.stride[s.format == VM_FMT_YVU420 ? 1 : 2]; }

void fill_planar(const _vm_screen& s, uint8_t value)
{
    if (!vm_is_planar(s.format)) return;
    for (int p = 0; p < 3; ++p) {
        const int w = p == 0 ? s.width : s.width / 2;
        const int rows = vm_plane_rows(s.format, s.height, p);
        for (int y = 0; y < rows; ++y)
            std::memset(s.planar.plane[p] + static_cast<ptrdiff_t>(y) * s.planar.stride[p], value, w);
    }
}

void draw_border(const _vm_screen& s, int width, YCbCr colour)
{
    if (s.format != VM_FMT_YUV420 && s.format != VM_FMT_YVU420) return;
    int n = width > 0 ? (width + 1) & ~1 : kDefaultFrameWidth;
    n = std::min({n, s.width, s.height});
    if (n <= 0) return;
    auto frame = [](const PlaneTarget& t, int n) {
        t.fill_block(0, 0, t.width, n);
        t.fill_block(0, t.height - n, t.width, n);
        t.fill_block(0, 0, n, t.height);
        t.fill_block(t.width - n, 0, n, t.height);
    };
    frame(plane_target(s.planar.plane[0], s.planar.stride[0], s.width, s.height, colour.y), n);
    const int cw = s.width / 2, ch = s.height / 2;
    frame(plane_target(cb_plane(s), cb_stride(s), cw, ch, colour.cb), n / 2);
    frame(plane_target(cr_plane(s), cr_stride(s), cw, ch, colour.cr), n / 2);
}

void draw_line(const _vm_screen& s, int x0, int y0, int x1, int y1, int pen, uint32_t rgb)
{
    const YCbCr c = ycbcr_of_word(rgb);
    switch (s.format) {
    case VM_FMT_GRAY8:
        line_in_plane(plane_target(s.packed.pixels, s.packed.stride, s.width, s.height, c.y), x0, y0,
                      x1, y1, pen);
        break;
    case VM_FMT_BGR24:
    case VM_FMT_BGRX32: {
        const int bytes = s.format == VM_FMT_BGR24 ? 3 : 4;
        PlaneTarget t{s.packed.pixels, s.packed.stride, s.width, s.height, bytes,
                      {uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16), 0}};
        line_in_plane(t, x0, y0, x1, y1, pen);
        break;
    }
    case VM_FMT_YUV420:
    case VM_FMT_YVU420:
    case VM_FMT_YUV422: {
        line_in_plane(plane_target(s.planar.plane[0], s.planar.stride[0], s.width, s.height, c.y), x0,
                      y0, x1, y1, pen);
        const bool full_rows = s.format == VM_FMT_YUV422;
        const int ch = full_rows ? s.height : s.height / 2;
        const int cy0 = full_rows ? y0 : y0 / 2, cy1 = full_rows ? y1 : y1 / 2;
        const int cpen = (pen + 1) / 2;
        line_in_plane(plane_target(cb_plane(s), cb_stride(s), s.width / 2, ch, c.cb), x0 / 2, cy0,
                      x1 / 2, cy1, cpen);
        line_in_plane(plane_target(cr_plane(s), cr_stride(s), s.width / 2, ch, c.cr), x0 / 2, cy0,
                      x1 / 2, cy1, cpen);
        break;
    }
    default:
        break;
    }
}

void draw_rectangle(const _vm_screen& s, int left, int top, int right, int bottom, uint32_t rgb)
{
    draw_line(s, left, top, right, top, 2, rgb);
    draw_line(s, right, top, right, bottom, 2, rgb);
    draw_line(s, right, bottom, left, bottom, 2, rgb);
    draw_line(s, left, bottom, left, top, 2, rgb);
}

}  // namespace qn_dewarp
