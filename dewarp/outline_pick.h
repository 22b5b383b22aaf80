// What the views that show other views' outlines share: projecting,
// drawing and picking those outlines.
#ifndef QN_DEWARP_OUTLINE_PICK_H
#define QN_DEWARP_OUTLINE_PICK_H

#include <functional>

#include "engine.h"

namespace qn_dewarp {

// Projects the 32 outline points of `other` into the drawing view's pixels.
using OutlineProjection = std::function<void(const ViewRecord& other, double* px, double* py)>;

// Draws the outline of `other` into `view` (a marker square around its
// centroid when the view asks for markers), in `other`'s colour, with the pen
// of a border width (rounded up to even; 0: the default frame width).
void draw_outline(ViewRecord& view, const ViewRecord& other, const OutlineProjection& project, int border_width);

// Picks as the engine's linked view the view whose outline lies under the
// cursor: with mode 0 only an outline the cursor is inside, with mode 1 the
// nearest. Views of kind 6 are candidates only when `accept_stretch`.
// 0, or 3 with none (the selection is then cleared).
int pick_linked_view(QN_PRO_ENGINE& engine, const ViewRecord& view, int record, double x, double y, int mode,
                     bool accept_stretch, const OutlineProjection& project);

}  // namespace qn_dewarp

#endif
