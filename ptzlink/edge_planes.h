// Edge planes of a sub-image: colour tables applied, luma in the top byte,
// and per used pyramid level the x and y gradient strength of the luma where
// the edge detector found an edge.
#ifndef OSTRELS_PTZLINK_EDGE_PLANES_H
#define OSTRELS_PTZLINK_EDGE_PLANES_H

#include <cstdint>
#include <vector>

#include "engine_context.h"

namespace qnpl {

// An 8-bit map with its own row length.
struct EdgeMap {
    int width = 0, height = 0, stride = 0;
    std::vector<uint8_t> pixels;
};

void PrepareEdgePlanes(qnpl_context& ctx, PositionCell& cell);
void ShrinkLuma(PositionCell& cell, int level);
void GradientPlanes(int level, PositionCell& cell);
void PoolPlane(const PyramidPlane& finer, const PyramidPlane& coarser);
void WidenEdges(EdgeMap& map, uint8_t edge, uint8_t widened);
void MaskPlanes(EdgeMap& map, const qnpl_context& ctx, PositionCell& cell);

}  // namespace qnpl

#endif
