#include "picture_buffer.h"

#include <cstdlib>

namespace qnpl {

_vm_screen* NewPictureBuffer(int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0) return nullptr;
    const size_t stride = size_t(width) * 4;
    if (stride > size_t(INT32_MAX)) return nullptr;
    const size_t bytes = sizeof(_vm_screen) + stride * size_t(height);
    void* block = std::calloc(1, bytes);
    if (!block) return nullptr;
    auto* picture = static_cast<_vm_screen*>(block);
    picture->width = width;
    picture->height = height;
    picture->format = VM_FMT_BGRX32;
    picture->base = block;
    picture->packed.stride = static_cast<int32_t>(stride);
    picture->packed.pixels = static_cast<uint8_t*>(block) + sizeof(_vm_screen);
    return picture;
}

void FreePictureBuffer(_vm_screen* picture)
{
    if (picture) std::free(picture->base);
}

}  // namespace qnpl
