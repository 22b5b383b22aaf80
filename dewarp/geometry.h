// Small linear algebra and the angle conventions the view kinds share.
#ifndef QN_DEWARP_GEOMETRY_H
#define QN_DEWARP_GEOMETRY_H

namespace qn_dewarp {

inline constexpr int kMaxSolveOrder = 16;

// Solves A X = B by Gauss-Jordan elimination in double precision. A is n x n,
// B is n x m (null: the identity, m = n); X (n x m) may alias neither. A
// singular system gives X = 0. Returns false only for sizes out of range.
bool gauss_jordan_solve(const double* A, const double* B, double* X, int n, int m);

// Mount matrix of a mount angle in degrees, row by row (ceiling 90: identity).
void mount_matrix(int mount_degrees, float out[9]);

struct ElevationRange {
    float lowest, highest;
};
// Elevation limits of a lens index, for panoramas or for the other kinds.
ElevationRange elevation_limits(int lens, bool panorama);

// Angle of (x, y) in degrees, 0..360.
float angle_of(float x, float y);

struct Angles {
    float azimuth, elevation; // degrees
};
Angles direction_to_angles(double x, double y, double z);

}  // namespace qn_dewarp

namespace qn_dewarp {

// How far a point lies from a closed polygon, for picking outlines: `value`
// is 0 inside (or on the border), else the distance to the nearest edge;
// `secondary` is the distance to the polygon's centroid, which breaks ties
// between nested outlines.
struct PolygonMeasure {
    double value, secondary;
};
PolygonMeasure measure_point_to_polygon(double x, double y, const double* px, const double* py, int count);

// Fractions (fx, fy) along a view's border of outline point i (0..31):
// clockwise from the top-left corner, eight points per side.
void border_fraction(int i, float& fx, float& fy);

}  // namespace qn_dewarp

#endif
