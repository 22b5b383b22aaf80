// The fixed-point remaps that fill a view from the source through its
// coordinate map, and the sharpening filter of the cubic mode.
#ifndef QN_DEWARP_REMAP_H
#define QN_DEWARP_REMAP_H

#include <cstdint>
#include <vector>

#include "vm_screen.h"

namespace qn_dewarp {

enum class Interpolation { Nearest, Bilinear, Cubic };

// Map entries are in 1/128 pixel of the reference frame; the source may be
// of another size.
struct ReferenceFrame {
    int width, height;
};

// Remaps a planar 4:2:0 view (`view`, w x h) from a planar 4:2:0 `source`.
// `map` holds w x map_rows(h) (x, y) pairs. Every written sample v becomes
// v + ((old - v) x blend >> 8). The source is only read.
void remap_view(const _vm_screen& source, ReferenceFrame reference, const int32_t* map,
                const _vm_screen& view, Interpolation mode, uint8_t blend);

// The same for view rows first_row..end_row - 1 (both even, or end_row the
// view's height) and the chroma rows under them, so that bands of one view
// can render on several threads.
void remap_rows(const _vm_screen& source, ReferenceFrame reference, const int32_t* map, const _vm_screen& view,
                Interpolation mode, uint8_t blend, int first_row, int end_row);

struct SharpenSettings {
    int kernel; // n: odd box size
    int amount; // 0..5
};
// Kernel and amount of a remap mode (clamped to 2..8) for a view size.
SharpenSettings sharpen_settings(int mode, int width, int height);

// Unsharp mask of the view's luma plane with an n x n box; `scratch` is
// reused between calls.
void sharpen_luma(const _vm_screen& view, SharpenSettings settings, std::vector<int32_t>& scratch);

}  // namespace qn_dewarp

#endif
