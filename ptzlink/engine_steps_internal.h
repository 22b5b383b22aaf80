// The matching engine's steps, for the step table and the tests.
#ifndef OSTRELS_PTZLINK_ENGINE_STEPS_INTERNAL_H
#define OSTRELS_PTZLINK_ENGINE_STEPS_INTERNAL_H

#include "vm_screen.h"

struct qnpl_context;

namespace qnpl {

// Plans the grid of PTZ positions; 0 when running.
int PrepareProcess(qnpl_context& ctx);
// Lens-corrects `picture` into the cached def_width x def_height picture.
int CachePTZImage(qnpl_context& ctx, const _vm_screen* picture);
// Projects the newest picture into its cell's sub-image.
int SetUpSubImage(qnpl_context& ctx);
// Edge planes of every cell, neighbour links and the placement of the cells.
int MatchImages(qnpl_context& ctx);
// The union result: its buffer, the high-dynamic path, the plain rendering
// and the edge bands with the ready mark.
int CreateResult(qnpl_context& ctx);
int RenderHighDynamic(qnpl_context& ctx);
int RenderUnion(qnpl_context& ctx);
int RenderUnionWide(qnpl_context& ctx);
int FinishUnion(qnpl_context& ctx);

}  // namespace qnpl

#endif
