#include "picture.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace qn_dewarp {

int picture_allocate(_vm_screen** picture, int width, int height, int format)
{
    if (!picture || *picture || width <= 0 || height <= 0 || !vm_is_known_format(format)) return 2;
    // The record is padded so that the pixels start on a 16-byte boundary.
    const size_t header = (sizeof(_vm_screen) + 15) & ~size_t{15};
    size_t bytes = 0;
    int32_t strides[3] = {0, 0, 0};
    int32_t rows[3] = {0, 0, 0};
    const int planes = vm_is_planar(format) ? 3 : 1;
    for (int p = 0; p < planes; ++p) {
        strides[p] = vm_stride_for(format, width, p);
        rows[p] = vm_plane_rows(format, height, p);
        bytes += static_cast<size_t>(strides[p]) * rows[p];
    }
    auto* block = static_cast<uint8_t*>(std::calloc(1, header + bytes));
    if (!block) return 4;
    auto* s = new (block) _vm_screen{};
    s->width = width;
    s->height = height;
    s->format = format;
    s->base = block;
    uint8_t* pixels = block + header;
    if (planes == 3) {
        for (int p = 0; p < 3; ++p) {
            s->planar.stride[p] = strides[p];
            s->planar.plane[p] = pixels;
            pixels += static_cast<size_t>(strides[p]) * rows[p];
        }
    } else {
        s->packed.stride = strides[0];
        s->packed.pixels = pixels;
    }
    *picture = s;
    return 0;
}

void picture_release(_vm_screen** picture)
{
    if (!picture || !*picture) return;
    std::free((*picture)->base);
    *picture = nullptr;
}

bool picture_is_yuv(const _vm_screen* s)
{
    return s && (s->format == VM_FMT_YUV420 || s->format == VM_FMT_YVU420 || s->format == VM_FMT_YUV422);
}

bool picture_is_complete(const _vm_screen* s)
{
    if (vm_is_planar(s->format)) {
        for (int p = 0; p < 3; ++p)
            if (!s->planar.plane[p] || s->planar.stride[p] <= 0) return false;
        return true;
    }
    return s->packed.pixels && s->packed.stride >= 0;
}

int picture_chroma_rows(const _vm_screen* s)
{
    return vm_plane_rows(s->format, s->height, 1);
}

}  // namespace qn_dewarp
