#include "plane_copy.h"

#include <algorithm>
#include <cstring>

namespace qn_player {

void copy_plane(const PlaneView& from, uint8_t* to, int to_stride, int to_width, int to_rows)
{
    const int bytes = std::min(from.width, to_width);
    const int rows = std::min(from.rows, to_rows);
    if (bytes <= 0) return;
    for (int r = 0; r < rows; ++r)
        std::memcpy(to + int64_t(r) * to_stride, from.data + int64_t(r) * from.stride, size_t(bytes));
}

void copy_into_picture(const Yuv420Source& from, _vm_screen& to)
{
    const bool swapped = to.format == VM_FMT_YVU420;
    for (int plane = 0; plane < 3; ++plane) {
        const bool chroma = plane > 0;
        const PlaneView view{from.data[plane], from.stride[plane], chroma ? (from.width + 1) / 2 : from.width,
                             chroma ? (from.height + 1) / 2 : from.height};
        const int target = (swapped && chroma) ? 3 - plane : plane;
        copy_plane(view, to.planar.plane[target], to.planar.stride[target], chroma ? to.width / 2 : to.width,
                   vm_plane_rows(to.format, to.height, target));
    }
}

}  // namespace qn_player
