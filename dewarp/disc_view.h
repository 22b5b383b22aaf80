// Kind 1: the whole fisheye disc inscribed in the view, turned by a rotation
// the user drags; the view on which other views' outlines are shown.
#ifndef QN_DEWARP_DISC_VIEW_H
#define QN_DEWARP_DISC_VIEW_H

#include <memory>

#include "view_kind.h"

namespace qn_dewarp {

std::unique_ptr<ViewKind> make_disc_view();

}  // namespace qn_dewarp

#endif
