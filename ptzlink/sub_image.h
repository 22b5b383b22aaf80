// Sub-images: the patch of the panorama sphere that a PTZ picture shows,
// sampled on a regular pan/tilt grid at pixel_per_degree.
#ifndef OSTRELS_PTZLINK_SUB_IMAGE_H
#define OSTRELS_PTZLINK_SUB_IMAGE_H

#include "engine_context.h"

namespace qnpl {

// A direction to pan in [0, 360] and tilt in [-90, 90] degrees.
void VectorToPanTilt(const float direction[3], float* pan, float* tilt);
// The picture's measured pan and tilt codes and angular extents.
int MeasurePictureFootprint(const PtzPicture* picture, PositionCell* cell);
// Samples the cached picture into the cell's sub-image, with its statistics.
int RenderSubImage(const _vm_screen& cached, const PtzPicture& picture, PositionCell& cell);

}  // namespace qnpl

#endif
