// Colour balancing of the sub-images: every cell is brought to the level of
// the cell above it and every column to its neighbours', in linear light,
// and each cell gets 8-bit and 12-bit channel curves for the union image.
#ifndef OSTRELS_PTZLINK_COLOUR_BALANCE_H
#define OSTRELS_PTZLINK_COLOUR_BALANCE_H

#include "engine_context.h"

namespace qnpl {

// Gains of a cell, three channels (B, G, R) each.
enum GainSet { kVerticalLinear = 0, kHorizontalLinear = 3, kVerticalGamma = 6, kHorizontalGamma = 9 };
// After the reference step the vertical linear gains hold the final gains.
inline constexpr int kFinalGain = kVerticalLinear;

// One piece of work per call; 1 while running.
int BalanceColours(qnpl_context& ctx);
int BalanceNextCell(qnpl_context& ctx);
int MatchVertical(const PositionCell& upper, const qnpl_context& ctx, PositionCell& cell);
void MatchColumns(qnpl_context& ctx, int column, int reference_column);
void ChooseReferenceAndBuildTables(qnpl_context& ctx);
void BuildWordTables(qnpl_context& ctx);

// (S_B / n_B) / (S_A / n_A) of two linear-light sums; 1 when either is empty.
float linear_ratio(float s_a, float n_a, float s_b, float n_b);

}  // namespace qnpl

#endif
