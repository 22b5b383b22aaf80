#include "source_direction.h"

#include <algorithm>
#include <cmath>

#include "engine.h"
#include "fixed_point.h"
#include "lens_model.h"

namespace qn_dewarp {

void source_point_to_pan_tilt(const QN_PRO_ENGINE& engine, int kind, float x, float y,
                              Angles* camera, Angles* linkage)
{
    const double dx = x - engine.ref_x, dy = y - engine.ref_y;
    const float radius = static_cast<float>(std::sqrt(dx * dx + dy * dy) / engine.ref_r);
    double elevation;
    if (const QN_COORDINATE_EX01* model = engine.holder ? engine.holder->model() : nullptr)
        elevation = model->ElevationOfRadius(radius) * kDegreesPerRadian;
    else
        elevation = lens_angle_of_radius(radius, engine.lens) * kDegreesPerRadian;
    const ElevationRange limits = elevation_limits(engine.lens, kind == QN_PRO_DST_PANORAMA);
    elevation = std::clamp<double>(elevation, limits.lowest, limits.highest);

    double azimuth;
    if (dx == 0) azimuth = dy > 0 ? 90 : 270;
    else azimuth = angle_of(static_cast<float>(dx), static_cast<float>(dy));
    if (dx == 0 && dy == 0) azimuth = 0;
    if (camera) *camera = {static_cast<float>(azimuth), static_cast<float>(elevation)};

    if (linkage) {
        const double az = azimuth * kPi / 180, el = elevation * kPi / 180;
        const double v[3] = {std::cos(el) * std::cos(az), std::cos(el) * std::sin(az), std::sin(el)};
        const float* m = engine.mount_inverse;
        const double w[3] = {m[0] * v[0] + m[1] * v[1] + m[2] * v[2],
                             m[3] * v[0] + m[4] * v[1] + m[5] * v[2],
                             m[6] * v[0] + m[7] * v[1] + m[8] * v[2]};
        Angles world = direction_to_angles(w[0], w[1], w[2]);
        double reported = std::fmod(-world.azimuth - 90.0, 360.0);
        if (reported < 0) reported += 360;
        *linkage = {static_cast<float>(reported), world.elevation};
    }
}

}  // namespace qn_dewarp
