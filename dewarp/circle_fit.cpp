// Circle finding from rim points, and a panorama's proportions.
#include <cmath>
#include <mutex>

#include "engine.h"
#include "fixed_point.h"
#include "panorama_view.h"
#include "qn_dewarp.h"

using namespace qn_dewarp;

namespace {

constexpr int kMaxFitPoints = 64;

void write_circle(float* centre, float* radius, float x, float y, float r)
{
    if (centre) {
        centre[0] = x;
        centre[1] = y;
    }
    if (radius) *radius = r;
}

}  // namespace

extern "C" {

// Algebraic least-squares fit of x^2 + y^2 + D x + E y + F = 0, accumulated
// in double precision (rim coordinates of a few thousand pixels cancel badly
// in single precision). Degenerate input writes a zero circle, never NaN.
void qn_pro_FindCincle_InScene(const QN_PRO_POINT* points, int count, const int32_t* frame, float* centre,
                               float* radius)
{
    write_circle(centre, radius, 0, 0, 0);
    if (!points || !frame || count < 3) return;
    if (points[0].ref_width <= 0 || points[0].ref_height <= 0) return;
    const int n = count < kMaxFitPoints ? count : kMaxFitPoints;
    const double fx = double(frame[0]) / points[0].ref_width, fy = double(frame[1]) / points[0].ref_height;
    double Sx = 0, Sy = 0, Sxx = 0, Syy = 0, Sxy = 0, Sxxx = 0, Syyy = 0, Sxyy = 0, Sxxy = 0;
    for (int i = 0; i < n; ++i) {
        const double x = points[i].x * fx, y = points[i].y * fy;
        Sx += x;
        Sy += y;
        Sxx += x * x;
        Syy += y * y;
        Sxy += x * y;
        Sxxx += x * x * x;
        Syyy += y * y * y;
        Sxyy += x * y * y;
        Sxxy += x * x * y;
    }
    const double Mxx = n * Sxx - Sx * Sx, Myy = n * Syy - Sy * Sy, Mxy = n * Sxy - Sx * Sy;
    const double Nx = n * Sxxx + n * Sxyy - (Sxx + Syy) * Sx, Ny = n * Sxxy + n * Syyy - (Sxx + Syy) * Sy;
    const double det = Mxx * Myy - Mxy * Mxy;
    if (!(std::fabs(det) > 1e-12 * (std::fabs(Mxx * Myy) + 1))) return; // collinear
    const double D = (Ny * Mxy - Nx * Myy) / det, E = (Ny * Mxx - Nx * Mxy) / -det;
    const double F = -(Sxx + Syy + D * Sx + E * Sy) / n;
    const double radicand = D * D + E * E - 4 * F;
    write_circle(centre, radius, static_cast<float>(-D / 2), static_cast<float>(-E / 2),
                 radicand > 0 ? static_cast<float>(std::sqrt(radicand) / 2) : 0.0f);
}

int qn_pro_Arc_GetRate(QN_PRO_ENGINE* engine, int32_t* size, int32_t span, int32_t top, int32_t bottom)
{
    if (!engine || !size || span <= 0 || (size[0] > 0 && size[1] > 0)) return QN_PRO_ERR_ARGUMENT;
    if (top == bottom) top = bottom = 0;
    PanoramaRange r;
    {
        std::lock_guard guard(engine->lock);
        r = normalise_panorama_range(*engine, {float(span), float(top), float(bottom)}, 0, 0);
    }
    const double S = r.span * kPi / 180 * 100, E = (r.bottom - r.top) * kPi / 180 * 100;
    if (!(S > 0) || !(E > 0)) return QN_PRO_ERR_ARGUMENT;
    if (size[0] > 0) size[1] = rnd(size[0] * E / S);
    else if (size[1] > 0) size[0] = rnd(size[1] * S / E);
    else {
        size[0] = rnd(100 * S);
        size[1] = rnd(100 * E);
    }
    return QN_PRO_OK;
}

}  // extern "C"
