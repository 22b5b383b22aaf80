// Direction of a point of the source picture, as the view kinds report it.
#ifndef QN_DEWARP_SOURCE_DIRECTION_H
#define QN_DEWARP_SOURCE_DIRECTION_H

#include "geometry.h"

struct QN_PRO_ENGINE;

namespace qn_dewarp {

// (x, y) in the reference frame. `camera`: the ray as the lens sees it;
// `linkage`: the ray in the mounted world, azimuth turned to the linkage
// convention. Either may be null.
void source_point_to_pan_tilt(const QN_PRO_ENGINE& engine, int kind, float x, float y,
                              Angles* camera, Angles* linkage);

}  // namespace qn_dewarp

#endif
