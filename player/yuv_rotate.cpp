#include "yuv_rotate.h"

#include <cstdint>
#include <cstring>

namespace {

struct Plane {
    uint8_t* data;
    int stride, width, rows;
};

Plane plane_of(const _vm_screen& s, int p)
{
    return {s.planar.plane[p], s.planar.stride[p], p == 0 ? s.width : s.width / 2, vm_plane_rows(s.format, s.height, p)};
}

bool usable(const _vm_screen& s)
{
    if (s.format != VM_FMT_YUV420 && s.format != VM_FMT_YVU420) return false;
    if (s.width <= 0 || s.height <= 0) return false;
    for (int p = 0; p < 3; ++p) {
        const Plane plane = plane_of(s, p);
        if (!plane.data || plane.stride < plane.width) return false;
    }
    return true;
}

// Destination pixel (i, j) of a plane whose last row is I and last column J
// takes source pixel (y, x). Every row and column is written, the last ones
// included.
void map_plane(const Plane& from, const Plane& to, int kind)
{
    const int I = to.rows - 1, J = to.width - 1;
    for (int i = 0; i <= I; ++i) {
        uint8_t* out = to.data + int64_t(i) * to.stride;
        for (int j = 0; j <= J; ++j) {
            int x = 0, y = 0;
            switch (kind) {
            case QN_ROTATE_COUNTER_CLOCKWISE: x = I - i; y = j; break;
            case QN_ROTATE_CLOCKWISE: x = i; y = J - j; break;
            case QN_ROTATE_TRANSPOSE: x = i; y = j; break;
            case QN_ROTATE_ANTI_TRANSPOSE: x = I - i; y = J - j; break;
            case QN_ROTATE_HALF_TURN: x = J - j; y = I - i; break;
            case QN_ROTATE_UPSIDE_DOWN: x = j; y = I - i; break;
            default: x = J - j; y = i; break;  // mirror
            }
            out[j] = from.data[int64_t(y) * from.stride + x];
        }
    }
}

}  // namespace

int RotateYuvPicture(const _vm_screen* source, _vm_screen* destination, int kind)
{
    if (!source || !destination || !usable(*source) || !usable(*destination)) return 0;
    if (source->format != destination->format) return 0;
    const bool turns = kind >= QN_ROTATE_COUNTER_CLOCKWISE && kind <= QN_ROTATE_ANTI_TRANSPOSE;
    const bool keeps = kind >= QN_ROTATE_HALF_TURN && kind <= QN_ROTATE_MIRROR;
    if (turns && (destination->width != source->height || destination->height != source->width)) return 0;
    if (keeps && (destination->width != source->width || destination->height != source->height)) return 0;
    if (!turns && !keeps) return 0;
    for (int p = 1; p < 3; ++p) {
        const Plane to = plane_of(*destination, p);
        for (int r = 0; r < to.rows; ++r) std::memset(to.data + int64_t(r) * to.stride, 128, size_t(to.width));
    }
    for (int p = 0; p < 3; ++p) {
        const Plane from = plane_of(*source, p), to = plane_of(*destination, p);
        // The size checks above make every pair fit; the guard keeps a
        // record with inconsistent plane sizes from being read past its end.
        const bool fits = turns ? (from.width >= to.rows && from.rows >= to.width)
                                : (from.width >= to.width && from.rows >= to.rows);
        if (fits) map_plane(from, to, kind);
    }
    return 1;
}
