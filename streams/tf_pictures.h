// Pictures of the TF-card module: one allocation of the picture library,
// with packed pixels zeroed and 4:2:0 pictures black, and their rotation.
#pragma once

#include "vm_screen.h"

namespace streams {

// None when the allocation fails or the size or format is refused.
_vm_screen* tfCreatePicture(int width, int height, int format);
void tfReleasePicture(_vm_screen* picture);
// Kinds 0-3 (quarter turns and transposes) and 10-12 (half turn and
// mirrors) of format-273 pictures; 1 when done, 0 for another kind or sizes
// that do not fit.
int tfRotatePicture(const _vm_screen* source, _vm_screen* destination, int kind);

} // namespace streams
