// Outlines of other views laid out in a panorama, and the hit tests that
// pick one under the cursor: as a box around the outline's middle, or as
// the curve of its points between an upper and a lower half.
#ifndef QN_DEWARP_PANORAMA_OUTLINE_H
#define QN_DEWARP_PANORAMA_OUTLINE_H

#include "engine.h"

namespace qn_dewarp {

// An outline in panorama pixels, closed (the last point repeats the first)
// and continuous: each point lies within half a turn of the one before, so
// an outline across the seam runs on past the panorama's edge.
struct PanoramaOutline {
    static constexpr int kClosed = Outline::kPoints + 1;
    double x[kClosed], y[kClosed];
    bool wraps; // some point was moved by a turn: the outline crosses the seam
};

// `turn` is the width of 360 degrees in panorama pixels.
PanoramaOutline lay_out_across_seam(const double* px, const double* py, double turn);

// The mean of an outline's points, before it is brought back into the panorama.
void outline_mean(const PanoramaOutline& outline, double& x, double& y);

// How far the cursor is from an outline: `distance` 0 inside, else in whole
// pixels, negative when the outline cannot be hit from there; `secondary`
// is smaller for the tighter outline and breaks ties.
struct OutlineHit {
    int distance;
    double secondary;
};

// A square of half side `half` around (cx, cy): inside when the triangles
// the cursor forms with its edges add up to the square's area (within 10),
// else the distance to the centre. The secondary value is that area sum.
OutlineHit hit_box(double x, double y, double cx, double cy, double half);

// The outline's curve, moved `shift` pixels to the right: inside when the
// cursor lies between the half from point 0 to point 16 and the half from
// point 16 back to point 0 in its column, else the vertical distance to the
// nearer half; no hit in a column that one half does not reach. The
// secondary value is the sum of the vertical offsets to both halves.
OutlineHit hit_curve(const PanoramaOutline& outline, double x, double y, double shift);

// Whether `a` is the better of two hits on the same outline.
bool better_hit(const OutlineHit& a, const OutlineHit& b);

}  // namespace qn_dewarp

#endif
