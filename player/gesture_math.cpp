#include "gesture_math.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "projection_format.h"

namespace player {
namespace {

double Degrees(double radians) { return radians * 180.0 / std::numbers::pi; }
double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

// Focal length in pixels of an output picture `width` wide.
double FocalLength(int width, double fov) { return double(width) * 0.5 / TanHalfFov(fov); }

}  // namespace

ViewAngles PointAngles(double offset_x, double offset_y, int width, int height, double fov)
{
    const double f = FocalLength(width, fov);
    return ViewAngles{Degrees(std::atan(double(width) * offset_x / f)),
                      Degrees(std::atan(double(height) * offset_y / f))};
}

GotoTarget GotoFromOffset(double offset_x, double offset_y, int width, int height, double fov, float current_pan,
                          float current_tilt)
{
    const double forward = FocalLength(width, fov);
    const double right = double(width) * offset_x;
    const double down = double(height) * offset_y;
    // Camera axes into level axes: forward tilted up by the current tilt.
    const double t = Radians(current_tilt);
    const double level_forward = forward * std::cos(t) + down * std::sin(t);
    const double level_down = -forward * std::sin(t) + down * std::cos(t);
    double pan = Degrees(std::atan2(right, level_forward));  // -180 ... 180
    double tilt = -Degrees(std::atan2(level_down, std::hypot(level_forward, right)));
    // A tilt past a pole reflects over it and looks the other way.
    if (tilt > 90.0) {
        tilt = 180.0 - tilt;
        pan += 180.0;
    } else if (tilt < -90.0) {
        tilt = -180.0 - tilt;
        pan += 180.0;
    }
    pan = std::fmod(pan + double(current_pan), 360.0);
    if (pan < 0.0) pan += 360.0;
    return GotoTarget{float(pan), float(tilt)};
}

bool ShiftCrop(float* offset, float limit, float change)
{
    const float o = *offset;
    if (o > 0.99f * limit && o > 0.0f) {
        if (change >= 0.0f) return false;
        *offset = std::max(o + change, -limit);
        return true;
    }
    if (o < -0.95f * limit && o < 0.0f) {
        if (change <= 0.0f) return false;
        *offset = std::min(o + change, limit);
        return true;
    }
    if (limit <= 0.05f) return false;
    *offset = std::clamp(o + change, -limit, limit);
    return true;
}

}  // namespace player
