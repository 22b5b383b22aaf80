// Pixel routines of the display library: planar YUV 4:2:0 to packed UYVY, to
// bottom-up 24-bit B, G, R, and the reducing 32-bit converters of the plain
// family. Pure functions: no state, no allocation, nothing written past a row.
#ifndef OSTRELS_DDSHOW_COLOUR_CONVERT_H
#define OSTRELS_DDSHOW_COLOUR_CONVERT_H

#include <cstdint>

#include "vm_screen.h"

namespace ostrels::ddshow {

// The three planes of a 4:2:0 picture in U, V order whatever the format code.
struct YuvPlanes {
    const uint8_t* y = nullptr;
    const uint8_t* u = nullptr;
    const uint8_t* v = nullptr;
    int strideY = 0, strideU = 0, strideV = 0;
    int width = 0, height = 0;
};

// Planes of a 273 or 274 picture (274 stores V before U); false for any other
// format, a missing plane or a non-positive size.
bool yuvPlanesOf(const _vm_screen& picture, YuvPlanes& planes);

// Packs rows of 4:2:0 into U, Y0, V, Y1 per pixel pair; each chroma row serves
// two luma rows. An odd last pixel is left out (it has no pair).
void packUyvy(int width, const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
              int strideY, int strideU, int strideV, int pitch, int rows);

// 4:2:0 to B, G, R bytes with limited-range coefficients. A negative height
// writes bottom-up (the first destination row is the picture's last row).
void convertToBgr24(const YuvPlanes& planes, uint8_t* dst, int dstStride, int height);

// The 32-bit limited-to-full colour formula in Q14 of the scaling converters
// (Y taken as full range); the result is 0x00RRGGBB.
uint32_t fullRangePixel(int y16384, int u, int v);

// Destination of the scaling converters: a bottom-up 32-bit bitmap.
struct DibTarget {
    int width = 0;
    int height = 0;
    int stride = 0;
    uint8_t* bits = nullptr;
};

// Reduces the picture by whole factors into the target with the converter for
// (format, horizontal factor, vertical factor). False, and nothing written,
// when no converter exists for the triple (among them 1 and 4, 4 and 1, 3).
bool convertScaled(const _vm_screen& picture, int horizontalFactor, int verticalFactor, DibTarget& target);

// The full-size step for 32-bit pictures: each row copied as it is, bottom row
// first, as much as both sizes allow.
void copyRowsBottomUp(const _vm_screen& picture, DibTarget& target);

} // namespace ostrels::ddshow

#endif
