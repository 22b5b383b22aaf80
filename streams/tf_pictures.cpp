#include "streams/tf_pictures.h"

#include <cstring>

#include "qn_imageprocess.h"
#include "yuv_rotate.h"

namespace streams {

_vm_screen* tfCreatePicture(int width, int height, int format)
{
    _vm_screen* picture = nullptr;
    if (qnCreateImage(&picture, width, height, format) != QN_IMG_OK || picture == nullptr) return nullptr;
    if (vm_is_planar(format)) {
        for (int plane = 0; plane < 3; ++plane) {
            const int32_t rows = vm_plane_rows(format, height, plane);
            std::memset(picture->planar.plane[plane], plane == 0 ? 0 : 128,
                        static_cast<std::size_t>(picture->planar.stride[plane]) * rows);
        }
    } else if (picture->packed.pixels != nullptr) {
        std::memset(picture->packed.pixels, 0, static_cast<std::size_t>(picture->packed.stride) * height);
    }
    return picture;
}

void tfReleasePicture(_vm_screen* picture)
{
    if (picture != nullptr) qnReleaseImage(&picture);
}

int tfRotatePicture(const _vm_screen* source, _vm_screen* destination, int kind)
{
    if (source == nullptr || destination == nullptr || source->format != VM_FMT_YUV420) return 0;
    return RotateYuvPicture(source, destination, kind);
}

} // namespace streams
