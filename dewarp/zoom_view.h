// Kind 2: an axis-aligned window of the source scaled into the view; kind 3:
// the same window turned to face away from the circle's centre.
#ifndef QN_DEWARP_ZOOM_VIEW_H
#define QN_DEWARP_ZOOM_VIEW_H

#include <memory>

#include "view_kind.h"

namespace qn_dewarp {

// Zoom of an exponent E: sqrt(E + 1) above 0, 1 / sqrt(-E) below, 1 at 0.
float zoom_of_exponent(float exponent);
// The exponent that gives zoom z.
float exponent_of_zoom(float zoom);

std::unique_ptr<ViewKind> make_zoom_view();
std::unique_ptr<ViewKind> make_rotated_zoom_view();

}  // namespace qn_dewarp

#endif
