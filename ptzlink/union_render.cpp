// Rendering of the union image: every result pixel is a direction on the
// sphere, blended from the sub-images of the up to four cells around it.
#include <algorithm>

#include "engine_steps_internal.h"
#include "union_result.h"

namespace qnpl {
namespace {

int32_t wrap_half_turn(int32_t v)
{
    while (v < -kHalfTurn) v += kFullTurn;
    while (v >= kHalfTurn) v -= kFullTurn;
    return v;
}

// Samples of a cell: 8-bit from its sub-image or 16-bit from its work area.
struct NarrowSource {
    static int channel(const PositionCell& c, int x, int y, int ch)
    {
        return c.pixels[int64_t(y) * c.stride + 4 * x + ch];
    }
    static bool present(const PositionCell& c) { return c.pixels != nullptr; }
};
struct WideSource {
    static int channel(const PositionCell& c, int x, int y, int ch)
    {
        return reinterpret_cast<const uint16_t*>(c.work)[(int64_t(y) * c.width + x) * 3 + ch];
    }
    static bool present(const PositionCell& c) { return c.work != nullptr; }
};

template <typename Source, typename Sum>
int render(qnpl_context& ctx, bool wide)
{
    PositionCell& result = ctx.spare;
    const int W = result.width, H = result.height, K = ctx.columns();
    if (W < 1 || H < 1 || K < 1 || !result.pixels) return 0;
    const float r = ctx.res_range_enlarge;
    const float span = r > 240.0f ? r : 360.0f;
    const float dp = span / static_cast<float>(W);
    const float a0 = r > 240.0f ? (360.0f - span) * 0.5f : 0.0f;
    const float top = static_cast<float>(result.tilt_code) / 128.0f - 180.0f +
                      static_cast<float>(result.tilt_extent) / 128.0f * 0.5f;
    const float dt = static_cast<float>(result.tilt_extent) / 128.0f / static_cast<float>(H);
    const int32_t s = static_cast<int32_t>(ctx.pixel_per_degree * 128.0f + 0.5f);
    const int32_t m = blend_half_width(ctx);
    const PositionCell* row0 = &ctx.cells[0];

    for (int y = 0; y < H; ++y) {
        const int32_t t = static_cast<int32_t>((top - static_cast<float>(y) * dt) * 128.0f + 0.5f);
        int lower_row, upper_row;
        FindRowForTilt(ctx, t, &lower_row, &upper_row);
        float a = a0;
        for (int x = 0; x < W; ++x, a += dp) {
            const int32_t p = static_cast<int32_t>(a * 128.0f + 0.5f);
            int left = -1, right = -1;
            for (int c = 0; c < K; ++c) {
                if (row0[c].pan_position[0] < p) left = c;
                if (right < 0 && row0[c].pan_position[0] >= p) right = c;
            }
            if (right < 0) left = right = K - 1;
            if (left < 0) left = right = 0;
            const PositionCell* corner[4] = {&ctx.cells[upper_row * K + left], &ctx.cells[upper_row * K + right],
                                             &ctx.cells[lower_row * K + left], &ctx.cells[lower_row * K + right]};
            // Horizontal weights.
            const int32_t L = std::max(corner[0]->pan_position[0], corner[2]->pan_position[0]);
            int32_t R = std::min(corner[1]->pan_position[0], corner[3]->pan_position[0]);
            if (L - R > kHalfTurn) R += kFullTurn;
            if (R - L > kHalfTurn) R -= kFullTurn;
            const int32_t hmid = (L + R) >> 1;
            const int32_t hq = std::clamp(wrap_half_turn(p - hmid), -m, m) * 64 / m;
            // Vertical weights.
            const int32_t U = std::min(corner[0]->tilt_position[0], corner[1]->tilt_position[0]) - kTiltCodeZero;
            const int32_t Lw = std::min(corner[2]->tilt_position[0], corner[3]->tilt_position[0]) - kTiltCodeZero;
            const int32_t vq = std::clamp(t - (U + Lw) / 2, -m, m) * 64 / m;
            const int wh[4] = {64 - hq, 64 + hq, 64 - hq, 64 + hq};
            const int wv[4] = {64 + vq, 64 + vq, 64 - vq, 64 - vq};
            Sum sum[3] = {0, 0, 0};
            Sum total = 0;
            for (int k = 0; k < 4; ++k) {
                const PositionCell& c = *corner[k];
                if (wh[k] <= 0 || wv[k] <= 0 || !Source::present(c) || c.width < 2 || c.height < 2) continue;
                const int32_t sx = ((wrap_half_turn(p - c.pan_position[0]) * s) >> 7) + 64 * c.width;
                const int32_t sy = ((-(t - (c.tilt_position[0] - kTiltCodeZero)) * s) >> 7) + 64 * c.height;
                const int ix = sx >> 7, iy = sy >> 7, fx = sx & 127, fy = sy & 127;
                if (ix < 0 || iy < 0 || ix >= c.width - 1 || iy >= c.height - 1) continue;
                const Sum weight = Sum(wh[k]) * Sum(wv[k]);
                for (int ch = 0; ch < 3; ++ch) {
                    const int top_v = (Source::channel(c, ix, iy, ch) * (128 - fx) + Source::channel(c, ix + 1, iy, ch) * fx) >> 7;
                    const int bottom_v =
                        (Source::channel(c, ix, iy + 1, ch) * (128 - fx) + Source::channel(c, ix + 1, iy + 1, ch) * fx) >> 7;
                    sum[ch] += Sum((top_v * (128 - fy) + bottom_v * fy) >> 7) * weight;
                }
                total += weight;
            }
            // Corners outside their sub-image drop out: the others are scaled
            // up to full weight, so cell borders do not darken.
            Sum value[3] = {0, 0, 0};
            if (total > 0)
                for (int ch = 0; ch < 3; ++ch) value[ch] = sum[ch] / total;
            if (wide) {
                uint16_t* out = reinterpret_cast<uint16_t*>(result.work) + (int64_t(y) * W + x) * 3;
                for (int ch = 0; ch < 3; ++ch) out[ch] = static_cast<uint16_t>(value[ch]);
            } else {
                reinterpret_cast<uint32_t*>(result.pixels + int64_t(y) * result.stride)[x] =
                    uint32_t(value[2]) << 16 | uint32_t(value[1]) << 8 | uint32_t(value[0]);
            }
        }
        if (y % 16 == 0 || y == H - 1) {
            const uint32_t step = static_cast<uint32_t>(1000 * (y + 1) / H);
            ctx.matching_words[0] = step;
            ctx.matching_words[2] = wide ? step * 200 / 1000 + 200 : step * 300 / 1000 + 700;
            ctx.send("Generate result", reinterpret_cast<uint64_t>(ctx.matching_words));
        }
    }
    return 1;
}

}  // namespace

int RenderUnion(qnpl_context& ctx) { return render<NarrowSource, int64_t>(ctx, false); }
int RenderUnionWide(qnpl_context& ctx) { return render<WideSource, int64_t>(ctx, true); }

}  // namespace qnpl
