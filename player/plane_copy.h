// Copies between planar 4:2:0 layouts whose chroma sizes may differ by the
// rounding of odd sizes: only what both sides hold is copied.
#ifndef OSTRELS_PLAYER_PLANE_COPY_H
#define OSTRELS_PLAYER_PLANE_COPY_H

#include <cstdint>

#include "vm_screen.h"

namespace qn_player {

struct PlaneView {
    const uint8_t* data = nullptr;
    int stride = 0;
    int width = 0;
    int rows = 0;
};

// Three planes Y, U, V of a 4:2:0 picture of width x height as another
// library lays them out (chroma rounded up).
struct Yuv420Source {
    const uint8_t* data[3] = {nullptr, nullptr, nullptr};
    int stride[3] = {0, 0, 0};
    int width = 0;
    int height = 0;
};

void copy_plane(const PlaneView& from, uint8_t* to, int to_stride, int to_width, int to_rows);

// Copies into a 273 or 274 picture of the same width and height.
void copy_into_picture(const Yuv420Source& from, _vm_screen& to);

}  // namespace qn_player

#endif
