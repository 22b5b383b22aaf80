#include "view_kind.h"

#include "disc_view.h"
#include "dptz_view.h"
#include "panorama_view.h"
#include "stretch_view.h"
#include "zoom_view.h"

namespace qn_dewarp {

std::unique_ptr<ViewKind> make_view_kind(int kind)
{
    switch (kind) {
    case QN_PRO_DST_ORIGINAL: return make_disc_view();
    case QN_PRO_DST_ZOOM: return make_zoom_view();
    case QN_PRO_DST_ROTATE_ZOOM: return make_rotated_zoom_view();
    case QN_PRO_DST_PANORAMA: return make_panorama_view();
    case QN_PRO_DST_DPTZ: return make_dptz_view();
    case QN_PRO_DST_STRETCH: return make_stretch_view();
    }
    return nullptr;
}

}  // namespace qn_dewarp
