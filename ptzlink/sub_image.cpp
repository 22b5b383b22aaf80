#include "sub_image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "engine_steps_internal.h"

namespace qnpl {
namespace {

// Focal length in pixels of a picture `width` wide with this view angle.
float focal_length(int32_t width, float view_angle)
{
    return static_cast<float>(width / 2) / std::tan(view_angle * kDegToRad * 0.5f);
}

float wrap_half_turn(float a) { return a > 180.0f ? a - 360.0f : a; }

// 5% and 95% points of a histogram of N samples.
void histogram_cuts(const std::array<uint32_t, 256>& h, uint32_t n, uint8_t* low, uint8_t* high)
{
    const float low_limit = 0.05f * static_cast<float>(n), high_limit = 0.95f * static_cast<float>(n);
    uint8_t lo = 255, hi = 0;
    uint64_t running = 0;
    for (int k = 0; k < 256; ++k) {
        running += h[k];
        const float r = static_cast<float>(running);
        if (r < low_limit) lo = static_cast<uint8_t>(k);
        else if (r < high_limit) hi = static_cast<uint8_t>(k);
    }
    *low = lo;
    *high = hi;
}

uint8_t histogram_mean(const std::array<uint32_t, 256>& h)
{
    uint64_t sum = 0, count = 0;
    for (int k = 0; k < 256; ++k) {
        sum += uint64_t(k) * h[k];
        count += h[k];
    }
    // No sample inside the picture: a neutral middle value.
    return count ? static_cast<uint8_t>(sum / count) : 128;
}

// Lays out the pyramid planes of the used levels in one zeroed block.
bool allocate_pyramid(const qnpl_context& ctx, PositionCell& cell)
{
    const int levels = static_cast<int>(ctx.flags.get(flag::kPyramidLevels));
    const int first = static_cast<int>(ctx.flags.get(flag::kPyramidFirstLevel));
    size_t total = 0;
    for (int L = 0; L < kMaxPyramidLevels; ++L) cell.levels[0][L] = cell.levels[1][L] = PyramidPlane{};
    for (int L = 0; L < levels; ++L) {
        PyramidPlane p;
        p.width = static_cast<uint16_t>(cell.width >> L);
        p.height = static_cast<uint16_t>(cell.height >> L);
        p.row_length = static_cast<uint16_t>((p.width + 3) & ~3);
        p.size = ctx.pyramid[L];
        cell.levels[0][L] = cell.levels[1][L] = p;
        if (L >= first) total += 2 * size_t(p.row_length) * p.height;
    }
    cell.pyramid_allocation.reset(total ? new (std::nothrow) uint8_t[total]() : nullptr);
    if (total && !cell.pyramid_allocation) return false;
    uint8_t* next = cell.pyramid_allocation.get();
    for (int L = first; L < levels; ++L)
        for (int k = 0; k < 2; ++k) {
            cell.levels[k][L].plane = next;
            next += size_t(cell.levels[k][L].row_length) * cell.levels[k][L].height;
        }
    return true;
}

// Ends the take-over of the newest picture: the host may feed the next one.
void hand_back(qnpl_context& ctx)
{
    ctx.flags.clear(flag::kPictureWaiting);
    ctx.flags.set(flag::kReadyForInput);
    if (static_cast<int>(ctx.progress.get(progress::kPicturesTaken)) >= ctx.cell_count())
        ctx.flags.set(flag::kProjectionFinished);
}

}  // namespace

void VectorToPanTilt(const float d[3], float* pan, float* tilt)
{
    const float x = d[0], y = d[1], z = d[2];
    const float r = std::sqrt(x * x + y * y);
    float p, t;
    if (r == 0.0f) {
        p = 0.0f;
        t = z > 0.0f ? 90.0f : -90.0f;
    } else {
        if (x == 0.0f)
            p = y > 0.0f ? 90.0f : 270.0f;
        else if (x > 0.0f)
            p = std::asin(y / r) * kRadToDeg + (y <= 0.0f ? 360.0f : 0.0f);
        else
            p = 180.0f - std::asin(y / r) * kRadToDeg;
        t = std::atan(z / r) * kRadToDeg;
    }
    if (pan) *pan = p;
    if (tilt) *tilt = t;
}

int MeasurePictureFootprint(const PtzPicture* picture, PositionCell* cell)
{
    if (!picture || !cell) return 0;
    const float f = focal_length(picture->width, picture->view_angle);
    const float V = 2.0f * std::atan(static_cast<float>(picture->height / 2) / f) * kRadToDeg;
    const float t = picture->tilt * kDegToRad, c = std::cos(t), s = std::sin(t);
    const float hw = static_cast<float>(picture->width) / 2.0f, hh = static_cast<float>(picture->height) / 2.0f;
    const float corners[4][2] = {{-hw, -hh}, {hw, -hh}, {-hw, hh}, {hw, hh}};  // TL, TR, BL, BR
    float pan[4], tilt[4];
    for (int i = 0; i < 4; ++i) {
        const float u = corners[i][0], v = corners[i][1];
        const float d[3] = {f * c + v * s, u, f * s - v * c};
        VectorToPanTilt(d, &pan[i], &tilt[i]);
        pan[i] = wrap_half_turn(pan[i]);
        tilt[i] = wrap_half_turn(tilt[i]);
    }
    auto span = [](float a, float b) {
        const float d = std::fabs(a - b);
        return d > 180.0f ? 360.0f - d : d;
    };
    const float extent = std::min(span(pan[1], pan[0]), span(pan[3], pan[2]));
    cell->pan_extent = static_cast<uint16_t>(extent * 128.0f + 0.5f);
    const int32_t pan_code = static_cast<int32_t>(picture->pan * 128.0f + 0.5f);
    cell->pan_code = static_cast<uint16_t>(pan_code);
    cell->pan_position[0] = cell->pan_position[1] = pan_code;
    const float top = std::min({tilt[0], tilt[1], picture->tilt + V / 2.0f});
    const float bottom = std::max({tilt[2], tilt[3], picture->tilt - V / 2.0f});
    cell->tilt_extent = static_cast<uint16_t>(std::max((top - bottom) * 128.0f + 0.5f, 0.0f));
    const int32_t tilt_code = static_cast<int32_t>((top + bottom) / 2.0f * 128.0f + 23040.0f + 0.5f);
    cell->tilt_code = static_cast<uint16_t>(tilt_code);
    cell->tilt_position[0] = cell->tilt_position[1] = tilt_code;
    return 1;
}

int RenderSubImage(const _vm_screen& cached, const PtzPicture& picture, PositionCell& cell)
{
    const int ws = cell.width, hs = cell.height;
    const int Wc = cached.width, Hc = cached.height;
    const float f = focal_length(picture.width, picture.view_angle);
    const float dp = static_cast<float>(cell.pan_extent) / 128.0f / static_cast<float>(ws) * kDegToRad;
    const float dt = static_cast<float>(cell.tilt_extent) / 128.0f / static_cast<float>(hs) * kDegToRad;
    const float T0 = (static_cast<float>(cell.tilt_code) / 128.0f - 180.0f) * kDegToRad;
    const float T = picture.tilt * kDegToRad, cT = std::cos(T), sT = std::sin(T);
    const float sx = static_cast<float>(Wc) / static_cast<float>(picture.width);
    const float sy = static_cast<float>(Hc) / static_cast<float>(picture.height);
    std::array<std::array<uint32_t, 256>, 3> hist{};
    uint32_t valid = 0;
    uint64_t luma_sum = 0;

    for (int k = 0; k < hs; ++k) {
        const float tau = static_cast<float>(hs / 2 - k) * dt + T0;
        const float ct = std::cos(tau), st = std::sin(tau);
        uint32_t* out = reinterpret_cast<uint32_t*>(cell.pixels + int64_t(k) * cell.stride);
        float p = -static_cast<float>(ws / 2) * dp;
        for (int m = 0; m < ws; ++m, p += dp) {
            out[m] = 0;
            const float X = ct * std::cos(p), Y = ct * std::sin(p), Z = st;
            const float Xc = X * cT + Z * sT, Zc = Z * cT - X * sT;
            if (!(Xc > 0.0f)) continue;  // behind the camera
            const float u = f * Y / Xc, v = -f * Zc / Xc;
            const float qxf = (u * sx + static_cast<float>(Wc / 2)) * 128.0f + 0.5f;
            const float qyf = (v * sy + static_cast<float>(Hc / 2)) * 128.0f + 0.5f;
            if (!(qxf > -1.0e9f && qxf < 1.0e9f && qyf > -1.0e9f && qyf < 1.0e9f)) continue;
            const int32_t qx = static_cast<int32_t>(qxf), qy = static_cast<int32_t>(qyf);
            const int ix = qx >> 7, iy = qy >> 7, fx = qx & 127, fy = qy & 127;
            if (ix < 0 || iy < 0 || ix >= Wc - 1 || iy >= Hc - 1) continue;
            const uint8_t* r0 = cached.packed.pixels + int64_t(iy) * cached.packed.stride + 4 * ix;
            const uint8_t* r1 = r0 + cached.packed.stride;
            int ch[3];
            for (int c = 0; c < 3; ++c) {
                const int top = (r0[c] * (128 - fx) + r0[4 + c] * fx) >> 7;
                const int bottom = (r1[c] * (128 - fx) + r1[4 + c] * fx) >> 7;
                ch[c] = (top * (128 - fy) + bottom * fy) >> 7;
                ++hist[c][ch[c]];
            }
            out[m] = uint32_t(ch[2]) << 16 | uint32_t(ch[1]) << 8 | uint32_t(ch[0]);
            ++valid;
            luma_sum += std::clamp((9617 * ch[1] + 4899 * ch[2] + 1868 * ch[0] + 8192) >> 14, 0, 255);
        }
    }
    for (int c = 0; c < 3; ++c) {
        histogram_cuts(hist[c], valid, &cell.low_cut[c], &cell.high_cut[c]);
        cell.channel_mean[c] = histogram_mean(hist[c]);
    }
    cell.mean_brightness = static_cast<uint8_t>(luma_sum / (uint64_t(ws) * uint64_t(hs)));
    return 1;
}

int SetUpSubImage(qnpl_context& ctx)
{
    const int n = static_cast<int>(ctx.progress.get(progress::kPicturesTaken));
    if (!ctx.running() || n < 1 || n > ctx.cell_count() || !ctx.ptz.cached) return 0;
    PositionCell& cell = ctx.cells[n - 1];
    MeasurePictureFootprint(&ctx.ptz, &cell);
    ctx.send("Initial sub image parameter OK");

    const float ppd = ctx.pixel_per_degree;
    const int32_t width = static_cast<int32_t>(static_cast<float>(cell.pan_extent) / 128.0f * ppd);
    const int32_t height = static_cast<int32_t>(static_cast<float>(cell.tilt_extent) / 128.0f * ppd);
    cell.allocation.reset();
    cell.pixels = cell.work = nullptr;
    char text[64];
    std::snprintf(text, sizeof text, "Sub image create %d & %d", width, height);
    ctx.send(text);
    if (width < 1 || height < 1 || width > INT16_MAX || height > INT16_MAX) {
        // A picture that covers no pixel of the grid leaves its cell unusable;
        // the run goes on with the others.
        cell.width = cell.height = 0;
        cell.set_skipped();
        hand_back(ctx);
        return 1;
    }
    cell.width = static_cast<int16_t>(width);
    cell.height = static_cast<int16_t>(height);
    cell.stride = 4 * width;
    cell.allocation.reset(new (std::nothrow) uint8_t[size_t(width) * size_t(height) * 10]);
    if (!cell.allocation) return 0;
    cell.pixels = cell.allocation.get();
    cell.work = cell.pixels + size_t(height) * size_t(cell.stride);
    cell.padded_width = static_cast<uint32_t>((width + 3) & ~3);
    if (!allocate_pyramid(ctx, cell)) return 0;
    ctx.send("Initial sub image buffer OK");

    RenderSubImage(*ctx.ptz.cached, ctx.ptz, cell);
    cell.set_ready();
    hand_back(ctx);
    return 1;
}

}  // namespace qnpl
