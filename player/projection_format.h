// The output size and field of view a panorama type code asks of the
// projection, and the code under which the PTZ linkage library keeps its lens.
#ifndef OSTRELS_PLAYER_PROJECTION_FORMAT_H
#define OSTRELS_PLAYER_PROJECTION_FORMAT_H

#include <cstdint>

namespace player {

struct ProjectionFormat {
    int32_t width = 0;
    int32_t height = 0;
    float horizontal_fov = 0.0f;  // degrees, as the code gives it (may reach 204.7)
    float vertical_fov = 0.0f;
    uint64_t lens_type = 0;  // the code in the linkage library's form
};

// The code's form: its low four bits.
inline constexpr uint64_t kPanoFormWide = 3;
inline constexpr uint64_t kPanoFormPlain = 5;

// The linkage library accepts one form (3, with bits 4-6 equal to 5) and keys
// its lens records on bits 7-22; either form is carried over with those bits.
uint64_t LinkageLensType(uint64_t code);

// False for another form, or a code whose size comes out as zero, too large
// to map or with a zero denominator, or whose field of view is zero.
bool DecodeProjectionFormat(uint64_t code, ProjectionFormat* format);

// tan(fov / 2) with the field of view kept below 180 degrees, where the
// tangent would turn infinite or negative.
double TanHalfFov(double fov_degrees);

}  // namespace player

#endif
