// The geometry behind the projection's mouse gestures: points on the output
// picture as view angles, clicks as PTZ go-to targets, and drags shared
// between the visible crop and the camera.
#ifndef OSTRELS_PLAYER_GESTURE_MATH_H
#define OSTRELS_PLAYER_GESTURE_MATH_H

namespace player {

// Gesture points are on a 0 ... 10,000 scale; offsets are from the centre,
// in fractions of the picture (-0.5 ... 0.5).
inline constexpr float kPointScale = 10000.0f;
inline double PointOffset(float point) { return (double(point) - 5000.0) / 10000.0; }

struct ViewAngles {
    double horizontal = 0.0;  // degrees
    double vertical = 0.0;
};

// Angles of a point seen through an output picture of width x height with a
// horizontal field of view (kept below 180 degrees).
ViewAngles PointAngles(double offset_x, double offset_y, int width, int height, double fov);

struct GotoTarget {
    float pan = 0.0f;   // 0 ... 360
    float tilt = 0.0f;  // -90 ... 90, upwards positive
};

// Where the camera must point to centre the point: the point's ray turned by
// the current tilt, its pan added to the current pan.
GotoTarget GotoFromOffset(double offset_x, double offset_y, int width, int height, double fov, float current_pan,
                          float current_tilt);

// One axis of a drag while zoomed: `change` (the move over the axis's field
// of view) shifts the visible crop `offset` within [-limit, limit] where it
// can. True when the crop took the move; false leaves it for the camera.
bool ShiftCrop(float* offset, float limit, float change);

}  // namespace player

#endif
