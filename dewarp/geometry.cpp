#include "geometry.h"

#include <cmath>
#include <cstring>
#include <algorithm>
#include <utility>

#include "fixed_point.h"

namespace qn_dewarp {

namespace {

constexpr double kTiny = 1e-7;

double snap_zero(double v) { return std::fabs(v) < kTiny ? 0.0 : v; }

}  // namespace

// The 1e-7 snapping keeps the eliminated matrix free of round-off dust (a
// rotation's zeros stay zeros); the right-hand side is carried at full
// precision.
bool gauss_jordan_solve(const double* A, const double* B, double* X, int n, int m)
{
    if (n < 1 || n > kMaxSolveOrder || m < 1 || m > kMaxSolveOrder) return false;
    if (!B && m != n) return false;
    double a[kMaxSolveOrder][kMaxSolveOrder];
    double b[kMaxSolveOrder][kMaxSolveOrder];
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) a[r][c] = A[r * n + c];
        for (int c = 0; c < m; ++c) b[r][c] = B ? B[r * m + c] : (r == c ? 1.0 : 0.0);
    }
    auto singular = [&] {
        std::memset(X, 0, sizeof(double) * n * m);
        return true;
    };
    if (n == 2) {
        double det = a[0][0] * a[1][1] - a[0][1] * a[1][0];
        if (det == 0) return singular();
        const double inv[2][2] = {{a[1][1] / det, -a[0][1] / det}, {-a[1][0] / det, a[0][0] / det}};
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < m; ++c) X[r * m + c] = inv[r][0] * b[0][c] + inv[r][1] * b[1][c];
        return true;
    }
    for (int col = 0; col < n; ++col) {
        if (a[col][col] == 0) {
            int pivot = col + 1;
            while (pivot < n && a[pivot][col] == 0) ++pivot;
            if (pivot == n) return singular();
            std::swap(a[col], a[pivot]);
            std::swap(b[col], b[pivot]);
        }
        for (int r = col + 1; r < n; ++r) {
            double f = a[r][col] / a[col][col];
            if (f == 0) continue;
            for (int c = col; c < n; ++c) a[r][c] = snap_zero(a[r][c] - f * a[col][c]);
            for (int c = 0; c < m; ++c) b[r][c] -= f * b[col][c];
        }
    }
    for (int r = 0; r < n; ++r) {
        double d = a[r][r];
        if (std::fabs(d) < kTiny) continue;
        for (int c = r; c < n; ++c) {
            a[r][c] /= d;
            if (std::fabs(a[r][c] - 1) < kTiny) a[r][c] = 1;
        }
        for (int c = 0; c < m; ++c) b[r][c] /= d;
    }
    for (int col = n - 1; col > 0; --col) {
        for (int r = col - 1; r >= 0; --r) {
            double f = a[r][col];
            if (f == 0) continue;
            a[r][col] = 0;
            for (int c = 0; c < m; ++c) b[r][c] -= f * b[col][c];
        }
    }
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < m; ++c) X[r * m + c] = b[r][c];
    return true;
}

void mount_matrix(int mount_degrees, float out[9])
{
    double m = mount_degrees * kPi / 180.0;
    float s = static_cast<float>(std::sin(m)), c = static_cast<float>(std::cos(m));
    const float M[9] = {1, 0, 0, 0, s, c, 0, -c, s};
    std::memcpy(out, M, sizeof M);
}

ElevationRange elevation_limits(int lens, bool panorama)
{
    switch (lens) {
    case 0: return {0, panorama ? 60.0f : 65.0f};
    case 1: return {-10, panorama ? 60.0f : 65.0f};
    case 2: return {-19, 65};
    case 3: return {0, panorama ? 65.0f : 75.0f};
    case 4: return {-19, 45};
    default: return {-4, panorama ? 80.0f : 180.0f};
    }
}

float angle_of(float x, float y)
{
    if (x == 0) return y > 0 ? 90.0f : 270.0f;
    double a = std::atan(double(y) / x) * 180.0 / 3.1415925;
    if (x > 0 && y <= 0) a += 360;
    if (x < 0) a += 180;
    while (a >= 360) a -= 360;
    while (a < 0) a += 360;
    return static_cast<float>(a);
}

Angles direction_to_angles(double x, double y, double z)
{
    double planar = std::sqrt(x * x + y * y);
    double elevation = planar > 0.001 ? std::atan(z / planar) * kDegreesPerRadian : 90.0;
    while (elevation > 180) elevation -= 360;
    while (elevation < -180) elevation += 360;
    return {angle_of(static_cast<float>(x), static_cast<float>(y)), static_cast<float>(elevation)};
}

}  // namespace qn_dewarp

namespace qn_dewarp {

PolygonMeasure measure_point_to_polygon(double x, double y, const double* px, const double* py, int count)
{
    if (count < 1) return {-1, 0};
    bool inside = false;
    double nearest = 1e300, cx = 0, cy = 0;
    for (int i = 0, j = count - 1; i < count; j = i++) {
        cx += px[i];
        cy += py[i];
        if ((py[i] > y) != (py[j] > y) && x < (px[j] - px[i]) * (y - py[i]) / (py[j] - py[i]) + px[i])
            inside = !inside;
        // Distance to the edge j -> i.
        const double ex = px[i] - px[j], ey = py[i] - py[j];
        const double length2 = ex * ex + ey * ey;
        double t = length2 > 0 ? ((x - px[j]) * ex + (y - py[j]) * ey) / length2 : 0;
        t = t < 0 ? 0 : (t > 1 ? 1 : t);
        nearest = std::min(nearest, std::hypot(x - (px[j] + t * ex), y - (py[j] + t * ey)));
    }
    cx /= count;
    cy /= count;
    return {inside || nearest < 0.5 ? 0.0 : nearest, std::hypot(x - cx, y - cy)};
}

void border_fraction(int i, float& fx, float& fy)
{
    const int side = (i / 8) & 3, k = i % 8;
    switch (side) {
    case 0: fx = k / 8.0f; fy = 0; break;
    case 1: fx = 1; fy = k / 8.0f; break;
    case 2: fx = (8 - k) / 8.0f; fy = 1; break;
    default: fx = 0; fy = (8 - k) / 8.0f; break;
    }
}

}  // namespace qn_dewarp
