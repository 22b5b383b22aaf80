#include "colour_balance.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace qnpl {
namespace {

constexpr float kGamma = 2.2f;
constexpr float kInverseGamma = 0.45454543828964233f;
constexpr float kOverlapShare = 0.8999999761581421f;
constexpr float kMiddleShare = 0.45f;

using Histogram = std::array<uint32_t, 256>;
using ChannelHistograms = std::array<Histogram, 3>;  // B, G, R

// Linear-light sum of a channel histogram seen through gamma-domain gain g.
float linear_sum(const Histogram& h, float g, float* count)
{
    float s = 0.0f, n = 0.0f;
    for (int k = 0; k < 256; ++k) {
        if (!h[k]) continue;
        const float base = static_cast<float>(k) * g;
        const float power = static_cast<float>(std::pow(static_cast<double>(base), static_cast<double>(kGamma)));
        s = s + static_cast<float>(h[k]) * power;
        n = n + static_cast<float>(h[k]);
    }
    *count = n;
    return s;
}

float measuring_gain(const PositionCell& c, int ch) { return c.gains[kVerticalGamma + ch] * c.gains[kHorizontalGamma + ch]; }

void add_pixels(const PositionCell& c, int row0, int rows, int col0, int cols, ChannelHistograms& h)
{
    for (int y = row0; y < row0 + rows; ++y) {
        const uint8_t* p = c.pixels + int64_t(y) * c.stride + 4 * col0;
        for (int x = 0; x < cols; ++x, p += 4)
            for (int ch = 0; ch < 3; ++ch) ++h[ch][p[ch]];
    }
}

bool usable(const PositionCell& c) { return c.ready() && c.pixels && c.width > 0 && c.height > 0; }

float degrees(int32_t code) { return static_cast<float>(code) / 128.0f; }

int taken_cells(const qnpl_context& ctx)
{
    return std::min(static_cast<int>(ctx.progress.get(progress::kPicturesTaken)), ctx.cell_count());
}

}  // namespace

float linear_ratio(float s_a, float n_a, float s_b, float n_b)
{
    if (!(s_a > 0.0f) || !(n_a > 0.0f) || !(s_b > 0.0f) || !(n_b > 0.0f)) return 1.0f;
    const float r = (n_a / s_a) * (s_b / n_b);
    return std::isfinite(r) && r > 0.0f ? r : 1.0f;
}

int MatchVertical(const PositionCell& upper, const qnpl_context& ctx, PositionCell& cell)
{
    const float ppd = ctx.pixel_per_degree;
    const float tU = degrees(upper.tilt_code) - 180.0f, eU = degrees(upper.tilt_extent);
    const float tL = degrees(cell.tilt_code) - 180.0f, eL = degrees(cell.tilt_extent);
    const int max_rows = std::min<int>(upper.height, cell.height);
    int ov, upper_row0, cell_row0;
    if (tL > tU) {
        ov = static_cast<int>(((tU + eU / 2.0f) - (tL - eL / 2.0f)) * ppd * kOverlapShare);
        ov = std::clamp(ov, 0, max_rows);
        cell_row0 = cell.height - ov;
        upper_row0 = 0;
    } else {
        ov = static_cast<int>(((tL + eL / 2.0f) - (tU - eU / 2.0f)) * ppd * kOverlapShare);
        ov = std::clamp(ov, 0, max_rows);
        upper_row0 = upper.height - ov;
        cell_row0 = 0;
    }
    const int q = static_cast<int>(static_cast<float>(std::min<int>(upper.width, cell.width)) * kMiddleShare);
    ChannelHistograms hu{}, hl{};
    add_pixels(upper, upper_row0, ov, upper.width / 2 - q, 2 * q, hu);
    add_pixels(cell, cell_row0, ov, cell.width / 2 - q, 2 * q, hl);
    for (int ch = 0; ch < 3; ++ch) {
        float nu, nl;
        const float su = linear_sum(hu[ch], measuring_gain(upper, ch), &nu);
        const float sl = linear_sum(hl[ch], measuring_gain(cell, ch), &nl);
        const float gain = linear_ratio(sl, nl, su, nu);
        cell.gains[kVerticalLinear + ch] = gain;
        cell.gains[kVerticalGamma + ch] = std::pow(gain, kInverseGamma);
    }
    return 1;
}

int BalanceNextCell(qnpl_context& ctx)
{
    const int k = static_cast<int>(ctx.progress.get(progress::kMatchProgress));
    if (k >= static_cast<int>(ctx.progress.get(progress::kPicturesTaken)) || k >= ctx.cell_count()) return 0;
    PositionCell& cell = ctx.cells[k];
    // A cell the projection left unusable counts as balanced with gains 1.
    if (!cell.ready() && !cell.skipped()) return 0;
    const int columns = ctx.columns();
    if (cell.row > 0 && usable(cell)) {
        cell.pan_position[0] = cell.pan_position[1] = cell.pan_code;
        cell.tilt_position[0] = cell.tilt_position[1] = cell.tilt_code;
        const PositionCell& upper = ctx.cells[k - columns];
        if (usable(upper)) MatchVertical(upper, ctx, cell);
    }
    ctx.progress.put(progress::kMatchProgress, k + 1);
    return 1;
}

void MatchColumns(qnpl_context& ctx, int a, int b)
{
    const int columns = ctx.columns(), rows = ctx.row_count(), taken = taken_cells(ctx);
    const float ppd = ctx.pixel_per_degree;
    std::array<float, 3> sa{}, na{}, sb{}, nb{};
    for (int r = 0; r < rows; ++r) {
        const int ia = r * columns + a, ib = r * columns + b;
        if (ia >= taken || ib >= taken) continue;
        const PositionCell& A = ctx.cells[ia];
        const PositionCell& B = ctx.cells[ib];
        if (!usable(A) || !usable(B)) continue;
        const float pA = degrees(A.pan_position[0]);
        float pB = degrees(B.pan_position[0]);
        if (std::fabs(pA - pB + 360.0f) < std::fabs(pA - pB)) pB -= 360.0f;
        const float eA = degrees(A.pan_extent), eB = degrees(B.pan_extent);
        const int max_cols = std::min<int>(A.width, B.width);
        int ov, col_a, col_b;
        if (pA <= pB) {
            ov = std::clamp(static_cast<int>(((pA + eA / 2.0f) - (pB - eB / 2.0f)) * ppd * kOverlapShare), 0, max_cols);
            col_a = A.width - ov;
            col_b = 0;
        } else {
            ov = std::clamp(static_cast<int>(((pB + eB / 2.0f) - (pA - eA / 2.0f)) * ppd * kOverlapShare), 0, max_cols);
            col_b = B.width - ov;
            col_a = 0;
        }
        const int q = static_cast<int>(static_cast<float>(std::min<int>(A.height, B.height)) * kMiddleShare);
        ChannelHistograms ha{}, hb{};
        add_pixels(A, A.height / 2 - q, 2 * q, col_a, ov, ha);
        add_pixels(B, B.height / 2 - q, 2 * q, col_b, ov, hb);
        for (int ch = 0; ch < 3; ++ch) {
            float n;
            sa[ch] += linear_sum(ha[ch], measuring_gain(A, ch), &n);
            na[ch] += n;
            sb[ch] += linear_sum(hb[ch], measuring_gain(B, ch), &n);
            nb[ch] += n;
        }
    }
    for (int ch = 0; ch < 3; ++ch) {
        const float ratio = linear_ratio(sa[ch], na[ch], sb[ch], nb[ch]);
        const float gamma = std::pow(ratio, kInverseGamma);
        for (int r = 0; r < rows; ++r) {
            PositionCell& cell = ctx.cells[r * columns + a];
            cell.gains[kHorizontalLinear + ch] = ratio;
            cell.gains[kHorizontalGamma + ch] = gamma;
        }
    }
}

void ChooseReferenceAndBuildTables(qnpl_context& ctx)
{
    const int columns = ctx.columns(), taken = taken_cells(ctx);
    int reference = -1;
    uint64_t least = UINT64_MAX;
    for (int i = 0; i < taken; ++i) {
        const PositionCell& c = ctx.cells[i];
        if (c.column < columns / 2 - 2 || c.column > columns / 2 + 2 || !usable(c)) continue;
        uint64_t colour = 0;
        for (int y = 0; y < c.height; ++y) {
            const uint8_t* p = c.pixels + int64_t(y) * c.stride;
            for (int x = 0; x < c.width; ++x, p += 4)
                colour += std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]});
        }
        if (colour < least) {
            least = colour;
            reference = i;
        }
    }
    ctx.reference_cell = reference;
    const PositionCell* ref = reference >= 0 ? &ctx.cells[reference] : nullptr;
    for (int i = 0; i < taken; ++i) {
        PositionCell& c = ctx.cells[i];
        for (int ch = 0; ch < 3; ++ch) {
            const float ref_h = ref ? ref->gains[kHorizontalLinear + ch] : 1.0f;
            const float g = std::pow(c.gains[kVerticalLinear + ch], kInverseGamma) *
                            std::pow(c.gains[kHorizontalLinear + ch] / ref_h, kInverseGamma);
            c.gains[kFinalGain + ch] = std::isfinite(g) && g > 0.0f ? g : 1.0f;
            for (int k = 0; k < 256; ++k)
                c.byte_table[ch][k] = static_cast<uint8_t>(
                    std::clamp(static_cast<int>(static_cast<float>(k) * c.gains[kFinalGain + ch] + 0.5f), 0, 255));
        }
    }
}

void BuildWordTables(qnpl_context& ctx)
{
    const int taken = taken_cells(ctx);
    if (ctx.reference_cell < 0) {
        for (int i = 0; i < taken; ++i)
            for (auto& t : ctx.cells[i].word_table)
                for (int k = 0; k < 256; ++k) t[k] = static_cast<uint16_t>(k * 16);
        return;
    }
    const PositionCell& ref = ctx.cells[ctx.reference_cell];
    const float* g = &ref.gains[kFinalGain];
    const float m = (g[0] + g[1] + g[2]) / 3.0f;
    float b = 0.0f;
    for (int ch = 0; ch < 3; ++ch)
        b += static_cast<float>(ref.low_cut[ch]) * g[ch] + static_cast<float>(ref.high_cut[ch]) * g[ch];
    b /= 6.0f;
    float gmin = 100.0f, gmax = 0.0f;
    for (int i = 0; i < taken; ++i)
        for (int ch = 0; ch < 3; ++ch) {
            gmin = std::min(gmin, ctx.cells[i].gains[kFinalGain + ch]);
            gmax = std::max(gmax, ctx.cells[i].gains[kFinalGain + ch]);
        }
    const float d = std::clamp(m - (gmax + gmin) / 2.0f, -0.5f, 0.5f);
    const float t = d * 600.0f + 1500.0f;
    const float lo = 12.0f * t / 1500.0f, hi = 16.0f * t / 1500.0f;
    // A reference without brightness spread gives no scale of its own.
    const float s = b > 0.0f ? std::clamp(t / b, lo, hi) : hi;
    for (int i = 0; i < taken; ++i) {
        PositionCell& c = ctx.cells[i];
        for (int ch = 0; ch < 3; ++ch)
            for (int k = 0; k < 256; ++k)
                c.word_table[ch][k] = static_cast<uint16_t>(
                    std::min(static_cast<int>(static_cast<float>(k) * c.gains[kFinalGain + ch] * s + 0.5f), 4095));
    }
}

int BalanceColours(qnpl_context& ctx)
{
    if (!ctx.running()) return 0;
    if (!ctx.progress.test(progress::kPhaseA)) {
        BalanceNextCell(ctx);
        if (static_cast<int>(ctx.progress.get(progress::kMatchProgress)) >= ctx.cell_count())
            ctx.progress.set(progress::kPhaseA);
        return 1;
    }
    if (!ctx.progress.test(progress::kUnionMatching)) {
        const int K = ctx.columns();
        const int m = (K + 1) / 2;
        for (int i = m; i < K - 1; ++i) MatchColumns(ctx, i + 1, i);
        for (int i = m; i >= 1; --i) MatchColumns(ctx, i - 1, i);
        ChooseReferenceAndBuildTables(ctx);
        BuildWordTables(ctx);
        ctx.progress.set(progress::kUnionMatching);
    }
    return 1;
}

}  // namespace qnpl
