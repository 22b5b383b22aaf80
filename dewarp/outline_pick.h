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

// The rule every picker follows: the first candidate offered is taken; a
// later one replaces it when it is more than 5 closer, or as close (within
// 0.0001) with a smaller secondary measure.
class LinkedViewChoice {
public:
    void offer(int record, double distance, double secondary);
    // Makes the choice the engine's linked view (none clears it): 0, or 3
    // when nothing was chosen.
    int commit(QN_PRO_ENGINE& engine) const;

private:
    int record_ = -1;
    double distance_ = 0, secondary_ = 0;
};

// Picks as the engine's linked view the view whose outline lies under the
// cursor: with mode 0 only an outline the cursor is inside, with mode 1 the
// nearest. The outline's points are rounded and held to the view before they
// are measured. Views of kind 6 are candidates only when `accept_stretch`.
// 0, or 3 with none (the selection is then cleared).
int pick_linked_view(QN_PRO_ENGINE& engine, const ViewRecord& view, int record, double x, double y, int mode,
                     bool accept_stretch, const OutlineProjection& project);

}  // namespace qn_dewarp

#endif
