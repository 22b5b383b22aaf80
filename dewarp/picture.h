// Pictures the engine allocates itself: one zeroed block holding the record
// followed by the pixels, freed through the record's base field.
#ifndef QN_DEWARP_PICTURE_H
#define QN_DEWARP_PICTURE_H

#include "vm_screen.h"

namespace qn_dewarp {

// 0, 2 when *picture is not null, a size is not positive or the format is
// unknown, 4 when memory runs out.
int picture_allocate(_vm_screen** picture, int width, int height, int format);
void picture_release(_vm_screen** picture);

// Planar pictures the remaps can read and write: 273, 274 and 275.
bool picture_is_yuv(const _vm_screen* s);
// Whether a caller's record names every plane the renderer would touch.
bool picture_is_complete(const _vm_screen* s);
// Rows of a chroma plane of the picture.
int picture_chroma_rows(const _vm_screen* s);

}  // namespace qn_dewarp

#endif
