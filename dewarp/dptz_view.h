// Kind 5: a virtual pinhole camera inside the fisheye, turned to a pan and
// tilt, with a field of view and a zoom.
#ifndef QN_DEWARP_DPTZ_VIEW_H
#define QN_DEWARP_DPTZ_VIEW_H

#include <memory>

#include "view_kind.h"

namespace qn_dewarp {

std::unique_ptr<ViewKind> make_dptz_view();

}  // namespace qn_dewarp

#endif
