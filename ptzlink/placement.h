// Placement of the cells: one X (pan) and Y (tilt code) position per cell,
// spread from the reference cell along the strongest neighbour links.
#ifndef OSTRELS_PTZLINK_PLACEMENT_H
#define OSTRELS_PTZLINK_PLACEMENT_H

#include "engine_context.h"

namespace qnpl {

void PlaceCells(qnpl_context& ctx);
void PlaceReferenceRow(qnpl_context& ctx);
void PlaceRowX(qnpl_context& ctx, int placed_row, int row);
void PlaceRowY(qnpl_context& ctx, int placed_row, int row);

// The reference row: the library never sets another.
inline constexpr int kReferenceRow = 0;

}  // namespace qnpl

#endif
