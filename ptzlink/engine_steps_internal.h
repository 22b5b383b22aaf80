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

}  // namespace qnpl

#endif
