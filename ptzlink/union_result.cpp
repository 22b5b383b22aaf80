#include "union_result.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "engine_steps_internal.h"
#include "hd_engine.h"

namespace qnpl {
namespace {

// Frees every cell's sub-image before the high-dynamic engine needs the
// memory; a host's earlier project table then skips them.
void release_sub_images(qnpl_context& ctx)
{
    for (PositionCell& c : ctx.cells) {
        c.state.fetch_and(~cell_state::kSubImageReady, std::memory_order_acq_rel);
        c.allocation.reset();
        c.pixels = c.work = nullptr;
        c.pyramid_allocation.reset();
        for (auto& k : c.levels)
            for (auto& p : k) p.plane = nullptr;
    }
}

void convert_work_area(PositionCell& result)
{
    const uint16_t* w = reinterpret_cast<const uint16_t*>(result.work);
    for (int y = 0; y < result.height; ++y) {
        uint32_t* out = reinterpret_cast<uint32_t*>(result.pixels + int64_t(y) * result.stride);
        for (int x = 0; x < result.width; ++x, w += 3)
            out[x] = uint32_t(w[2] >> 4) << 16 | uint32_t(w[1] >> 4) << 8 | uint32_t(w[0] >> 4);
    }
}

inline uint32_t band_colour(int a)
{
    const uint32_t r = (29 * a + 10200) >> 8, g = (101 * a + 9690) >> 8, b = (99 * a + 12750) >> 8;
    return uint32_t(a) << 24 | r << 16 | g << 8 | b;
}

}  // namespace

int32_t blend_half_width(const qnpl_context& ctx)
{
    // The pan overlap margin is whole degrees; the blend counts tenths.
    const int32_t v = static_cast<int32_t>(ctx.progress.get(progress::kPanOverlap)) * 10;
    return std::max(static_cast<int32_t>(static_cast<float>(v) * 12.8f + 0.5f), 64);
}

int CreateResult(qnpl_context& ctx)
{
    const int K = ctx.columns(), rows = ctx.row_count();
    const bool down = ctx.flags.test(flag::kTiltDown);
    const int top_row = down ? 0 : rows - 1, bottom_row = down ? rows - 1 : 0;
    int64_t top = 0, bottom = 0;
    for (int j = 0; j < K; ++j) {
        const PositionCell& t = ctx.cells[top_row * K + j];
        const PositionCell& b = ctx.cells[bottom_row * K + j];
        top += t.tilt_position[0] + t.tilt_extent / 2;
        bottom += b.tilt_position[0] - b.tilt_extent / 2;
    }
    top = std::min<int64_t>(top / K, kTiltCodeTop);
    bottom = std::max<int64_t>(bottom / K, kTiltCodeBottom);
    const int32_t T = static_cast<int32_t>(top / 128 - 180), B = static_cast<int32_t>(bottom / 128 - 180);
    if (T <= B) return 0;
    const float d = ctx.pixel_per_degree;
    int32_t W = static_cast<int32_t>(d * 360.0f + 0.5f);
    W += W & 1;
    int32_t H = static_cast<int32_t>(static_cast<float>(T - B) * d + 0.5f);
    H = (H + 15) & ~15;
    PositionCell& result = ctx.spare;
    result.allocation.reset();
    result.pixels = result.work = nullptr;
    char text[64];
    std::snprintf(text, sizeof text, "Result create %d & %d", W, H);
    ctx.send(text);
    if (W < 2 || H < 16 || W > INT16_MAX || H > INT16_MAX) return 0;
    result.width = static_cast<int16_t>(W);
    result.height = static_cast<int16_t>(H);
    result.stride = 4 * W;
    result.allocation.reset(new (std::nothrow) uint8_t[size_t(W) * size_t(H) * 10]());
    if (!result.allocation) return 0;
    result.pixels = result.allocation.get();
    result.work = result.pixels + size_t(H) * size_t(result.stride);
    result.tilt_extent = static_cast<uint16_t>((T - B) * 128);
    result.pan_code = static_cast<uint16_t>(kHalfTurn);
    result.pan_extent = static_cast<uint16_t>(kFullTurn);
    result.tilt_code = static_cast<uint16_t>(((B + T) / 2 + 180) * 128);
    return 1;
}

void GenerateProgress(uint64_t p, const char* text, uint64_t user)
{
    auto* ctx = reinterpret_cast<qnpl_context*>(user);
    if (!ctx || !text) return;
    if (std::strcmp(text, "Generate result") == 0) {
        const uint64_t step = p * 750 / 1000 + 250;
        ctx->matching_words[0] = static_cast<uint32_t>(step);
        ctx->matching_words[2] = static_cast<uint32_t>(step * 600 / 1000 + 400);
        ctx->send(text, reinterpret_cast<uint64_t>(ctx->matching_words));
    } else {
        ctx->send(text);
    }
}

int RenderHighDynamic(qnpl_context& ctx)
{
    if (RenderUnionWide(ctx) != 1) return 0;
    PositionCell& result = ctx.spare;
    if (ctx.flags.test(flag::kHighDynamicFull)) {
        HDRequest request;
        request.width = static_cast<uint16_t>(result.width);
        request.height = static_cast<uint16_t>(result.height);
        request.end_column = result.width;
        request.end_row = result.height;
        request.progress = GenerateProgress;
        request.user = reinterpret_cast<uint64_t>(&ctx);
        release_sub_images(ctx);
        ctx.send("HD process");
        std::unique_ptr<HDRecord> record;
        if (HDCreate(&request, &record) == kHDOk) {
            ctx.send("HD engine OK");
            const HDPicture work{HDPicture::make_layout(result.width, result.height, 12),
                                 reinterpret_cast<uint16_t*>(result.work)};
            HDProcess(*record, work, work);
        }
    }
    convert_work_area(result);
    return 1;
}

void FindRowForTilt(const qnpl_context& ctx, int32_t t, int* lower, int* upper)
{
    const int K = ctx.columns(), rows = ctx.row_count();
    for (int r = 0; r < rows; ++r) {
        if (ctx.cells[r * K].tilt_position[0] - kTiltCodeZero >= t) {
            *upper = r;
            *lower = r > 0 ? r - 1 : 0;
            return;
        }
    }
    *upper = *lower = std::max(rows - 1, 0);
}

int DrawEdgeBands(qnpl_context& ctx)
{
    PositionCell& result = ctx.spare;
    const int W = result.width, H = result.height;
    int b = (2 * W) / 360;
    b = std::max(b + (b & 1), 2);
    const int s = 3072 / b;
    const float k = 1.0f / (static_cast<float>(b) * 0.57735f);
    for (int y = 0; y < H; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(result.pixels + int64_t(y) * result.stride);
        for (int side = 0; side < 2; ++side) {
            for (int i = 0; i < b && i < W; ++i) {
                const int x = side == 0 ? b - 1 - i : W - b + i;
                if (x < 0 || x >= W) continue;
                const int w = std::max(1024 - i * s, 0);
                const float u = (static_cast<float>(y) + 0.5f * static_cast<float>(i)) * k;
                const int n = static_cast<int>(u);
                const float f = u - static_cast<float>(n);
                uint32_t& px = row[x];
                if (n & 1) {
                    const int a = f > 0.9f ? static_cast<int>((1.0f - f) * 2550.0f)
                                           : (f <= 0.1f ? static_cast<int>(f * 2550.0f) : 255);
                    const int c[3] = {50, 38, 40};  // B, G, R
                    uint32_t out = 0;
                    for (int ch = 0; ch < 3; ++ch) {
                        const int X = (px >> (8 * ch)) & 0xff;
                        const int v = (((X * w) >> 10) - c[ch]) * a + 255 * c[ch];
                        out |= uint32_t(std::clamp(v >> 8, 0, 255)) << (8 * ch);
                    }
                    px = out;
                } else {
                    const int v = f > 0.8f ? static_cast<int>((1.0f - f) * 1275.0f)
                                           : (f <= 0.2f ? static_cast<int>(f * 1275.0f) : 255);
                    px = band_colour(std::clamp(v, 0, 255));
                }
            }
        }
        const int c = static_cast<int>(static_cast<float>(b) * 0.1f + 0.5f);
        for (int i = 0; i < c; ++i) {
            const float t = static_cast<float>(i) / static_cast<float>(c);
            const int a = t <= 0.5f ? 255 : static_cast<int>((1.0f - t) * 510.0f);
            for (const int x : {i, W - 1 - i}) {
                if (x < 0 || x >= W) continue;
                if (a > int(row[x] >> 24)) row[x] = band_colour(a);
            }
        }
    }
    return 1;
}

int FinishUnion(qnpl_context& ctx)
{
    DrawEdgeBands(ctx);
    ctx.spare.set_ready();
    return 1;
}

}  // namespace qnpl
