#include "panorama_outline.h"

#include <algorithm>
#include <cmath>

#include "fixed_point.h"

namespace qn_dewarp {

namespace {

constexpr int kHalf = Outline::kPoints / 2;
constexpr double kInsideArea = 10;

// The y at column x of the half starting at point `first`, the crossing
// nearest to the cursor's y when the half passes the column more than once.
bool half_at(const PanoramaOutline& o, int first, double shift, double x, double y, double& at)
{
    bool found = false;
    for (int i = first; i < first + kHalf; ++i) {
        const double x0 = o.x[i] + shift, x1 = o.x[i + 1] + shift, y0 = o.y[i], y1 = o.y[i + 1];
        if (!(x >= std::min(x0, x1) && x <= std::max(x0, x1))) continue;
        const double crossing =
            x1 != x0 ? y0 + (y1 - y0) * (x - x0) / (x1 - x0) : std::clamp(y, std::min(y0, y1), std::max(y0, y1));
        if (!found || std::fabs(crossing - y) < std::fabs(at - y)) at = crossing;
        found = true;
    }
    return found;
}

}  // namespace

PanoramaOutline lay_out_across_seam(const double* px, const double* py, double turn)
{
    PanoramaOutline o{};
    for (int i = 0; i < PanoramaOutline::kClosed; ++i) {
        const int k = i % Outline::kPoints;
        double x = px[k];
        if (i > 0 && turn > 0) {
            const double moved = x - turn * std::round((x - o.x[i - 1]) / turn);
            if (i < Outline::kPoints && moved != x) o.wraps = true;
            x = moved;
        }
        o.x[i] = x;
        o.y[i] = py[k];
    }
    return o;
}

void outline_mean(const PanoramaOutline& o, double& x, double& y)
{
    x = y = 0;
    for (int i = 0; i < Outline::kPoints; ++i) {
        x += o.x[i] / Outline::kPoints;
        y += o.y[i] / Outline::kPoints;
    }
}

OutlineHit hit_box(double x, double y, double cx, double cy, double half)
{
    const double corner_x[4] = {cx - half, cx + half, cx + half, cx - half};
    const double corner_y[4] = {cy - half, cy - half, cy + half, cy + half};
    double triangles = 0;
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        const double cross =
            (corner_x[j] - corner_x[i]) * (y - corner_y[i]) - (corner_y[j] - corner_y[i]) * (x - corner_x[i]);
        triangles += std::fabs(cross) / 2;
    }
    const double area = 4 * half * half;
    if (triangles - area < kInsideArea) return {0, triangles};
    return {rnd_checked(std::hypot(x - cx, y - cy), -1), triangles};
}

OutlineHit hit_curve(const PanoramaOutline& o, double x, double y, double shift)
{
    double upper, lower;
    if (!half_at(o, 0, shift, x, y, upper) || !half_at(o, kHalf, shift, x, y, lower)) return {-1, 0};
    const double to_upper = std::fabs(y - upper), to_lower = std::fabs(y - lower);
    const double offsets = to_upper + to_lower;
    if (y >= std::min(upper, lower) && y <= std::max(upper, lower)) return {0, offsets};
    return {rnd_checked(std::min(to_upper, to_lower), -1), offsets};
}

bool better_hit(const OutlineHit& a, const OutlineHit& b)
{
    if (a.distance < 0) return false;
    if (b.distance < 0) return true;
    return a.distance < b.distance || (a.distance == b.distance && a.secondary < b.secondary);
}

}  // namespace qn_dewarp
