// Kind 4: the circle unrolled into a cylindrical panorama, columns by
// azimuth and rows by elevation.
#ifndef QN_DEWARP_PANORAMA_VIEW_H
#define QN_DEWARP_PANORAMA_VIEW_H

#include <memory>

#include "view_kind.h"

struct QN_PRO_ENGINE;

namespace qn_dewarp {

std::unique_ptr<ViewKind> make_panorama_view();

// A panorama's span and elevation range (degrees) normalised for an engine:
// held inside what the lens sees by mount, the span made automatic (square
// pixels on a w x h view) when not positive and w, h are given.
struct PanoramaRange {
    float span, top, bottom;
};
PanoramaRange normalise_panorama_range(const QN_PRO_ENGINE& engine, PanoramaRange given, int w, int h);

}  // namespace qn_dewarp

#endif
