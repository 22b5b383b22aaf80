#include "view_kind.h"

#include "zoom_view.h"

namespace qn_dewarp {

std::unique_ptr<ViewKind> make_view_kind(int kind)
{
    switch (kind) {
    case QN_PRO_DST_ZOOM: return make_zoom_view();
    default: return nullptr;
    }
}

}  // namespace qn_dewarp
