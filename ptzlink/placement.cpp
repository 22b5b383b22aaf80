#include "placement.h"

#include <cmath>

namespace qnpl {
namespace {

// One axis of the placement: positions, flags, offsets and weights.
struct Axis {
    bool x;
    int32_t& position(PositionCell& c) const { return x ? c.pan_position[0] : c.tilt_position[0]; }
    bool& placed(PositionCell& c) const { return x ? c.x_placed : c.y_placed; }
    int offset(const PositionCell& c, LinkSlot s) const { return x ? c.links[s].dx : c.links[s].dy; }
    // A weight that is not a number counts as none.
    float weight(const PositionCell& c, LinkSlot s) const
    {
        const float w = x ? c.links[s].x_weight : c.links[s].y_weight;
        return std::isfinite(w) ? w : 0.0f;
    }
    int32_t own(const PositionCell& c) const { return x ? int32_t(c.pan_code) : int32_t(c.tilt_code); }
};

// Places the cells of row b that are not yet placed along the row, from
// placed neighbours through the stronger side link. Every pass places at
// least one cell while any is left, so the loop ends.
void spread_along_row(qnpl_context& ctx, int b, const Axis& axis)
{
    const int K = ctx.columns();
    PositionCell* row = &ctx.cells[b * K];
    for (int pass = 0; pass < K; ++pass) {
        int placed = 0;
        for (int j = 0; j < K; ++j) placed += axis.placed(row[j]);
        if (placed == K || placed == 0) return;
        bool any = false;
        int best = -1, from = -1;
        float best_weight = -1.0f;
        for (int j = 0; j < K; ++j) {
            PositionCell& q = row[j];
            if (!axis.placed(q)) {
                const float wl = axis.weight(q, kLeftLink), wr = axis.weight(q, kRightLink);
                if (wr < wl && j > 0 && axis.placed(row[j - 1])) {
                    axis.position(q) = axis.position(row[j - 1]) + axis.offset(q, kLeftLink);
                    axis.placed(q) = any = true;
                } else if (wr >= wl && j + 1 < K && axis.placed(row[j + 1])) {
                    axis.position(q) = axis.position(row[j + 1]) + axis.offset(q, kRightLink);
                    axis.placed(q) = any = true;
                }
            }
            if (!axis.placed(q)) continue;
            if (j > 0 && !axis.placed(row[j - 1]) && axis.weight(q, kLeftLink) >= best_weight) {
                best_weight = axis.weight(q, kLeftLink);
                best = j - 1;
                from = j;
            }
            if (j + 1 < K && !axis.placed(row[j + 1]) && axis.weight(q, kRightLink) >= best_weight) {
                best_weight = axis.weight(q, kRightLink);
                best = j + 1;
                from = j;
            }
        }
        if (!any && best >= 0) {
            PositionCell& n = row[best];
            const LinkSlot towards = from < best ? kLeftLink : kRightLink;
            axis.position(n) = axis.position(row[from]) + axis.offset(n, towards);
            axis.placed(n) = true;
        }
    }
}

void place_row(qnpl_context& ctx, int a, int b, const Axis& axis)
{
    const int K = ctx.columns();
    int strongest = -1;
    float strongest_weight = -1.0f;
    bool any = false;
    for (int j = 0; j < K; ++j) {
        PositionCell& q = ctx.cells[b * K + j];
        PositionCell& upper = ctx.cells[a * K + j];
        const float wu = axis.weight(q, kUpperLink);
        axis.placed(q) = false;
        if (wu >= axis.weight(q, kLeftLink) && wu >= axis.weight(q, kRightLink)) {
            axis.position(q) = axis.position(upper) + axis.offset(q, kUpperLink);
            axis.placed(q) = any = true;
            if (!axis.x) {
                // Placed from above: its side links must not outweigh that.
                q.links[kLeftLink].y_weight = q.links[kRightLink].y_weight = wu;
            }
        } else {
            axis.position(q) = axis.own(q);
            if (wu >= strongest_weight) {
                strongest_weight = wu;
                strongest = j;
            }
        }
    }
    if (!any && strongest >= 0) {
        PositionCell& q = ctx.cells[b * K + strongest];
        axis.position(q) = axis.position(ctx.cells[a * K + strongest]) + axis.offset(q, kUpperLink);
        axis.placed(q) = true;
    }
    spread_along_row(ctx, b, axis);
}

}  // namespace

void PlaceReferenceRow(qnpl_context& ctx)
{
    const int K = ctx.columns();
    PositionCell* row = &ctx.cells[kReferenceRow * K];
    const int ref = K / 2;
    row[ref].x_placed = row[ref].y_placed = true;
    for (int c = ref - 1; c >= 0; --c) {
        row[c].pan_position[0] = row[c + 1].pan_position[0] + row[c].links[kRightLink].dx;
        row[c].tilt_position[0] = row[c + 1].tilt_position[0] + row[c].links[kRightLink].dy;
        row[c].x_placed = row[c].y_placed = true;
    }
    for (int c = ref + 1; c < K; ++c) {
        row[c].pan_position[0] = row[c - 1].pan_position[0] + row[c].links[kLeftLink].dx;
        row[c].tilt_position[0] = row[c - 1].tilt_position[0] + row[c].links[kLeftLink].dy;
        row[c].x_placed = row[c].y_placed = true;
    }
}

void PlaceRowX(qnpl_context& ctx, int a, int b) { place_row(ctx, a, b, Axis{true}); }
void PlaceRowY(qnpl_context& ctx, int a, int b) { place_row(ctx, a, b, Axis{false}); }

void PlaceCells(qnpl_context& ctx)
{
    const int K = ctx.columns(), rows = ctx.row_count();
    // Every cell starts from its measured position.
    for (int i = 0; i < K * rows; ++i) {
        PositionCell& c = ctx.cells[i];
        c.pan_position[0] = c.pan_code;
        c.tilt_position[0] = c.tilt_code;
        c.x_placed = c.y_placed = false;
    }
    PlaceReferenceRow(ctx);
    for (int b = kReferenceRow + 1; b < rows; ++b) {
        PlaceRowX(ctx, b - 1, b);
        PlaceRowY(ctx, b - 1, b);
    }
}

}  // namespace qnpl
