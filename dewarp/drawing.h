// Colour conversion and the drawing of borders, lines and rectangles into
// pictures, for outlines and borders.
#ifndef QN_DEWARP_DRAWING_H
#define QN_DEWARP_DRAWING_H

#include <cstdint>

#include "vm_screen.h"

namespace qn_dewarp {

inline constexpr int kDefaultFrameWidth = 2;

struct YCbCr {
    uint8_t y, cb, cr;
};

// Full-range BT.601 in 14-bit fixed point.
YCbCr ycbcr_of(uint8_t b, uint8_t g, uint8_t r);
inline YCbCr ycbcr_of_word(uint32_t rgb)
{
    return ycbcr_of(rgb & 0xff, (rgb >> 8) & 0xff, (rgb >> 16) & 0xff);
}

// Planes of a 4:2:0 picture by meaning, whatever the format's plane order.
uint8_t* cb_plane(const _vm_screen& s);
uint8_t* cr_plane(const _vm_screen& s);
int32_t cb_stride(const _vm_screen& s);
int32_t cr_stride(const _vm_screen& s);

// Fills every plane of a planar picture with one value.
void fill_planar(const _vm_screen& s, uint8_t value);

// Frame of `width` pixels (rounded up to even; 0: the default) around a
// planar 4:2:0 picture.
void draw_border(const _vm_screen& s, int width, YCbCr colour);

// A line with pen size `pen` in colour 0x00RRGGBB, clipped to the picture.
void draw_line(const _vm_screen& s, int x0, int y0, int x1, int y1, int pen, uint32_t rgb);
// Four lines of pen 2.
void draw_rectangle(const _vm_screen& s, int left, int top, int right, int bottom, uint32_t rgb);

}  // namespace qn_dewarp

#endif
