// Kind 4: the circle unrolled into a cylindrical panorama, columns by
// azimuth and rows by elevation.
#ifndef QN_DEWARP_PANORAMA_VIEW_H
#define QN_DEWARP_PANORAMA_VIEW_H

#include <memory>

#include "view_kind.h"

namespace qn_dewarp {

std::unique_ptr<ViewKind> make_panorama_view();

}  // namespace qn_dewarp

#endif
