#include "projection_format.h"

#include <cmath>
#include <numbers>

#include "lens_projection.h"

namespace player {
namespace {

constexpr double kWidestFov = 179.9;
constexpr uint64_t kLensIdBits = 0xffffull << 7;

uint64_t Field(uint64_t code, int first, int bits)
{
    return (code >> first) & ((uint64_t(1) << bits) - 1);
}

double Degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

}  // namespace

uint64_t LinkageLensType(uint64_t code)
{
    return (code & kLensIdBits) | (uint64_t(5) << 4) | kPanoFormWide;
}

double TanHalfFov(double fov_degrees)
{
    const double fov = std::fmin(std::fmax(fov_degrees, 0.0), kWidestFov);
    return std::tan(fov * std::numbers::pi / 360.0);
}

bool DecodeProjectionFormat(uint64_t code, ProjectionFormat* format)
{
    int64_t width = 0, height = 0;
    double fov = 0.0;
    switch (code & 0xf) {
    case kPanoFormWide: {
        const uint64_t denominator = Field(code, 23, 5);
        if (denominator == 0) return false;
        width = int64_t(Field(code, 33, 11)) * 8;
        height = width * int64_t(Field(code, 28, 5)) / int64_t(denominator);
        fov = double(Field(code, 44, 11)) * 0.1;
        break;
    }
    case kPanoFormPlain:
        width = int64_t(Field(code, 14, 11)) * 8;
        height = int64_t(Field(code, 25, 10)) * 8;
        fov = double(Field(code, 35, 11)) * 0.1;
        break;
    default:
        return false;
    }
    if (width <= 0 || height <= 0 || width > qnpl::kMaxMapSide || height > qnpl::kMaxMapSide) return false;
    if (fov <= 0.0) return false;
    format->width = int32_t(width);
    format->height = int32_t(height);
    format->horizontal_fov = float(fov);
    format->vertical_fov = float(2.0 * Degrees(std::atan(TanHalfFov(fov) * double(height) / double(width))));
    format->lens_type = LinkageLensType(code);
    return true;
}

}  // namespace player
