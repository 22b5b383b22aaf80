// 32-bit picture buffers of the engine: one allocation holding the picture
// record followed by its pixels.
#ifndef OSTRELS_PTZLINK_PICTURE_BUFFER_H
#define OSTRELS_PTZLINK_PICTURE_BUFFER_H

#include <cstdint>

#include "vm_screen.h"

namespace qnpl {

// A zeroed width x height buffer of format 3 (stride 4 x width); null when a
// side is not positive or memory runs out.
_vm_screen* NewPictureBuffer(int32_t width, int32_t height);
// Frees header and pixels together; null is ignored.
void FreePictureBuffer(_vm_screen* picture);

}  // namespace qnpl

#endif
