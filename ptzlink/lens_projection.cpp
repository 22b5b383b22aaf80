#include "lens_projection.h"

#include <cmath>

namespace qnpl {
namespace {

constexpr float kTenth = 0.1f;

// A float position in 1/1024 pixel as a whole number; false when it cannot be
// one (an absurd polynomial result must not become an undefined conversion).
bool to_fixed(float v, int32_t* out)
{
    if (!std::isfinite(v) || v >= 2147483520.0f || v <= -2147483520.0f) return false;
    *out = static_cast<int32_t>(v);
    return true;
}

}  // namespace

void lens_polynomials(const LensGeometry& g, float x, float y, float* X, float* Y)
{
    const float xx = x * x, yy = y * y, xy = x * y;
    const float xxy = xx * y, xyy = x * yy, xxx = xx * x, yyy = yy * y;
    const float* a = g.a;
    const float* b = g.b;
    *X = a[0] + a[1] * x + a[2] * xx + a[3] * y + a[4] * yy + a[5] * xy + a[6] * xxy + a[7] * xyy + a[8] * xxx +
         a[9] * yyy;
    *Y = b[0] + b[1] * x + b[2] * xx + b[3] * y + b[4] * yy + b[5] * xy + b[6] * xxy + b[7] * xyy + b[8] * xxx +
         b[9] * yyy;
}

void lens_project(const LensGeometry& g, float px, float py, float* ox, float* oy)
{
    const float s = static_cast<float>(g.scale);
    float X, Y;
    lens_polynomials(g, px * 10.0f / s, py * 10.0f / s, &X, &Y);
    *ox = X * s * kTenth;
    *oy = Y * s * kTenth;
}

bool lens_map_factors(const LensGeometry& g, int32_t sw, int32_t sh, int32_t dw, int32_t dh, LensMapFactors* f)
{
    auto side_ok = [](int32_t v) { return v >= 1 && v <= kMaxMapSide; };
    if (!side_ok(sw) || !side_ok(sh) || !side_ok(dw) || !side_ok(dh)) return false;
    if (g.output_width <= 0 || g.output_height <= 0 || g.scale <= 0) return false;
    f->sw = sw;
    f->sh = sh;
    f->dw = dw;
    f->dh = dh;
    f->fx = int64_t(g.input_width) * 1024 / dw;
    f->fy = int64_t(g.input_height) * 1024 / dh;
    f->gx = int64_t(sw) * 1024 / g.output_width;
    f->gy = int64_t(sh) * 1024 / g.output_height;
    return true;
}

bool lens_source_position(const LensGeometry& g, const LensMapFactors& f, int32_t c, int32_t r, int32_t* sx,
                          int32_t* sy)
{
    const int64_t px = (int64_t(c) - f.dw / 2) * f.fx / 1024;
    const int64_t py = (int64_t(r) - f.dh / 2) * f.fy / 1024;
    float ox, oy;
    lens_project(g, static_cast<float>(px), static_cast<float>(py), &ox, &oy);
    const float fxp = (ox + static_cast<float>(g.output_width / 2)) * static_cast<float>(f.gx) + 0.5f;
    const float fyp = (oy + static_cast<float>(g.output_height / 2)) * static_cast<float>(f.gy) + 0.5f;
    if (!to_fixed(fxp, sx) || !to_fixed(fyp, sy)) {
        *sx = *sy = -1;
        return false;
    }
    const int32_t ix = *sx >> 10, iy = *sy >> 10;
    return ix >= 0 && ix < f.sw - 1 && iy >= 0 && iy < f.sh - 1;
}

}  // namespace qnpl
