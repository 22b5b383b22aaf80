#include "matching.h"

#include <algorithm>
#include <cmath>

#include "edge_planes.h"
#include "engine_steps_internal.h"
#include "placement.h"

namespace qnpl {
namespace {

struct Window {
    int a_col, b_col, cols, a_row, b_row, rows;
};

// Overlap of two planes along one axis, in A's and in B's coordinates.
void overlap(int wa, int wb, int x, int* a0, int* b0, int* length)
{
    const int from = std::max(x - wb / 2 + wa / 2, 0);
    const int to = std::min(wa, x + wb / 2 + wa / 2);
    *a0 = from;
    *b0 = std::max(wb / 2 - x - wa / 2, 0);
    *length = std::max(to - from, 0);
}

// The middle half of a length, at least 4, centred.
void middle_half(int* start_a, int* start_b, int* length)
{
    const int keep = std::min(*length, std::max(*length / 2, 4));
    const int skip = (*length - keep) / 2;
    *start_a += skip;
    *start_b += skip;
    *length = keep;
}

void store(PositionCell& cell, LinkSlot slot, int dx, int dy, const PairResult& r)
{
    NeighbourLink& l = cell.links[slot];
    l.dx = static_cast<int16_t>(dx);
    l.dy = static_cast<int16_t>(dy);
    l.x_score = r.x_score;
    l.y_score = r.y_score;
    l.x_weight = r.x_weight;
    l.y_weight = r.y_weight;
}

// Best x by the x planes and best y by the y planes over a set of placements.
// Any comparison with weight wins over none, however large its error (edge
// planes of strong contrast compare far above the 99,999 of "no match");
// until one wins, the best place is where the search started, so a pair
// without edges to compare keeps its planned offset.
struct Search {
    Search(int x, int y) : best_x(x), best_y(y) {}
    float best_x_error = kNoMatch, best_y_error = kNoMatch;
    int best_x, best_y;
    float x_weight = 0.0f, y_weight = 0.0f;
    void consider(const PositionCell& a, const PositionCell& b, int level, int x, int y, bool horizontal)
    {
        const PlaneMatch mx = ComparePlanes(a.levels[0][level], b.levels[0][level], x, y, horizontal);
        if (wins(mx, best_x_error, x_weight)) {
            best_x_error = mx.error;
            best_x = x;
            x_weight = mx.weight;
        }
        const PlaneMatch my = ComparePlanes(a.levels[1][level], b.levels[1][level], x, y, horizontal);
        if (wins(my, best_y_error, y_weight)) {
            best_y_error = my.error;
            best_y = y;
            y_weight = my.weight;
        }
    }
    static bool wins(const PlaneMatch& m, float best_error, float best_weight)
    {
        if (!(m.weight > 0.0f)) return false;
        return best_weight <= 0.0f || m.error < best_error;
    }
};

}  // namespace

PlaneMatch ComparePlanes(const PyramidPlane& a, const PyramidPlane& b, int x, int y, bool horizontal)
{
    if (!a.plane || !b.plane) return {kNoMatch, 0.0f};
    Window w{};
    overlap(a.width, b.width, x, &w.a_col, &w.b_col, &w.cols);
    overlap(a.height, b.height, y, &w.a_row, &w.b_row, &w.rows);
    if (horizontal)
        middle_half(&w.a_col, &w.b_col, &w.cols);
    else
        middle_half(&w.a_row, &w.b_row, &w.rows);
    // A window too small to compare must never beat a real comparison.
    if (w.cols < 2 || w.rows < 2) return {kNoMatch, 0.0f};
    double error = 0.0;
    uint64_t weight = 0;
    for (int r = 0; r < w.rows; ++r) {
        const uint8_t* pa = a.plane + (w.a_row + r) * a.row_length + w.a_col;
        const uint8_t* pb = b.plane + (w.b_row + r) * b.row_length + w.b_col;
        for (int c = 0; c < w.cols; ++c) {
            const int va = pa[c], vb = pb[c];
            if (va + vb == 0) continue;
            const int m = (va + vb) / 2;
            weight += m;
            const int32_t e = (va - vb) * (255 - m);
            error += double(e) * double(e);
        }
    }
    if (weight == 0) return {kNoMatch, 0.0f};
    return {static_cast<float>(error / double(weight)), static_cast<float>(weight)};
}

int coarse_search_radius(int range, uint16_t coarsest_size)
{
    return static_cast<int>(static_cast<float>(range) * 0.1f * static_cast<float>(coarsest_size) / 128.0f);
}

PairResult MatchPair(const PositionCell& a, const qnpl_context& ctx, const PositionCell& b, int pan_range,
                     int tilt_range, bool horizontal)
{
    PairResult result;
    const int L = static_cast<int>(ctx.flags.get(flag::kPyramidLevels));
    const int F = static_cast<int>(ctx.flags.get(flag::kPyramidFirstLevel));
    const float d = ctx.pixel_per_degree;
    if (L < 1 || d <= 0.0f || !a.pixels || !b.pixels) return result;
    const uint16_t P = ctx.pyramid[L - 1];
    const int ex = static_cast<int>(static_cast<float>(int(b.pan_code) - int(a.pan_code)) * d / 128.0f) >> (L - 1);
    const int ey = static_cast<int>(static_cast<float>(int(a.tilt_code) - int(b.tilt_code)) * d / 128.0f) >> (L - 1);
    const int rx = coarse_search_radius(pan_range, P), ry = coarse_search_radius(tilt_range, P);

    Search coarse(ex, ey);
    for (int ty = -ry; ty <= ry; ++ty)
        for (int tx = -rx; tx <= rx; ++tx) coarse.consider(a, b, L - 1, ex + tx, ey + ty, horizontal);
    result.x_score = coarse.best_x_error;
    result.y_score = coarse.best_y_error;
    result.x_weight = coarse.x_weight;
    result.y_weight = coarse.y_weight;
    int bx = coarse.best_x, by = coarse.best_y;
    for (int level = L - 2; level >= 0; --level) {
        bx *= 2;
        by *= 2;
        if (level < F) continue;
        Search fine(bx, by);
        for (int ty = -1; ty <= 1; ++ty)
            for (int tx = -1; tx <= 1; ++tx) fine.consider(a, b, level, bx + tx, by + ty, horizontal);
        bx = fine.best_x;
        by = fine.best_y;
    }
    result.dx = static_cast<int16_t>(static_cast<float>(bx) * 128.0f / d);
    result.dy = static_cast<int16_t>(static_cast<float>(by) * 128.0f / d);
    return result;
}

int MatchRow(qnpl_context& ctx, int row)
{
    const int K = ctx.columns();
    for (int c = 0; c + 1 < K; ++c) {
        PositionCell& A = ctx.cells[row * K + c];
        PositionCell& B = ctx.cells[row * K + c + 1];
        int pan_range = ctx.correct_range[kPanLine];
        if ((c == K - 2 && ctx.flags.test(flag::kLastErrorEnlarge)) || (c == 0 && ctx.flags.test(flag::kStartErrorEnlarge)))
            pan_range *= 2;
        const PairResult r = MatchPair(A, ctx, B, pan_range, ctx.correct_range[kTiltLine], true);
        // B lies dy rows below A: its tilt is lower by dy.
        store(B, kLeftLink, r.dx, -r.dy, r);
        store(A, kRightLink, -r.dx, r.dy, r);
    }
    return 1;
}

int MatchColumn(qnpl_context& ctx, int column)
{
    const int K = ctx.columns(), rows = ctx.row_count();
    for (int r = 0; r + 1 < rows; ++r) {
        PositionCell& A = ctx.cells[r * K + column];
        PositionCell& B = ctx.cells[(r + 1) * K + column];
        const PairResult res =
            MatchPair(A, ctx, B, ctx.correct_range[kPanRow], ctx.correct_range[kTiltRow], false);
        store(B, kUpperLink, res.dx, -res.dy, res);
        store(A, kLowerLink, -res.dx, res.dy, res);
    }
    return 1;
}

void report_match_progress(qnpl_context& ctx, uint32_t p)
{
    ctx.matching_words[0] = p;
    ctx.matching_words[2] = ctx.flags.test(flag::kHighDynamic) ? p * 200 / 1000 : p * 700 / 1000;
    ctx.send("Match image", reinterpret_cast<uint64_t>(ctx.matching_words));
}

int MatchImages(qnpl_context& ctx)
{
    if (!ctx.running()) return 0;
    const int taken = std::min(static_cast<int>(ctx.progress.get(progress::kPicturesTaken)), ctx.cell_count());
    for (int i = 0; i < taken; ++i) {
        if (ctx.flags.test(flag::kStopRequested)) return 0;
        if (ctx.cells[i].ready()) PrepareEdgePlanes(ctx, ctx.cells[i]);
        report_match_progress(ctx, 200 * (i + 1) / std::max(taken, 1));
    }
    const int rows = ctx.row_count(), columns = ctx.columns();
    for (int r = 0; r < rows; ++r) {
        if (ctx.flags.test(flag::kStopRequested) || MatchRow(ctx, r) != 1) return 0;
        report_match_progress(ctx, 400 * (r + 1) / rows + 200);
    }
    for (int c = 0; c < columns; ++c) {
        if (ctx.flags.test(flag::kStopRequested) || MatchColumn(ctx, c) != 1) return 0;
        report_match_progress(ctx, 400 * (c + 1) / columns + 600);
    }
    PlaceCells(ctx);
    report_match_progress(ctx, 1000);
    ctx.flags.set(flag::kUnionFinished);
    return 1;
}

}  // namespace qnpl
