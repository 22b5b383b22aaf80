// The fisheye lens relation between the elevation of a ray and the
// normalised radius at which it lands in the circle, and the reference frame
// that a 32-bit camera-type code names.
#ifndef QN_DEWARP_LENS_MODEL_H
#define QN_DEWARP_LENS_MODEL_H

#include <cstdint>

namespace qn_dewarp {

inline constexpr int kCustomLens = 32;
inline constexpr float kNoLens = -10000.0f;

struct FrameSize {
    int32_t width;
    int32_t height;
};

// Lens code of a camera-type code (bits 4-11): 0..4 or 32, else -1.
int lens_code_of_camera(int32_t code);

// Reference frame of the code's bits 12-19: 0, or 3 (size untouched) for an
// unknown frame field. A null `size` is allowed.
int default_frame_size(int32_t code, FrameSize* size);

// Elevation in radians of normalised radius r.
float lens_angle_of_radius(float r, int lens);
// Normalised radius of elevation theta (radians). Rays the lens cannot see
// (too far below its rim for the curve to be defined) give a radius > 1.
float lens_radius_of_angle(float theta, int lens);
// Normalised radius of the elevation whose tangent is t.
float lens_radius_of_tan(float t, int lens);

}  // namespace qn_dewarp

#endif
