// Kind 6: every horizontal chord of the disc stretched to the view's width,
// shown whole or magnified about a centre.
#ifndef QN_DEWARP_STRETCH_VIEW_H
#define QN_DEWARP_STRETCH_VIEW_H

#include <memory>

#include "view_kind.h"

namespace qn_dewarp {

std::unique_ptr<ViewKind> make_stretch_view();

}  // namespace qn_dewarp

#endif
