#include "colour_convert.h"

#include <algorithm>
#include <cstring>

namespace ostrels::ddshow {
namespace {

inline uint8_t clampByte(int value) { return uint8_t(std::clamp(value, 0, 255)); }

inline int saturate16(int value) { return std::clamp(value, -32768, 32767); }

// floor(x * c / 8192): C++20 defines >> on negative values as arithmetic,
// which is the floor the coefficients are specified with.
inline int scaled8192(int x, int c) { return (x * c) >> 13; }

struct Tap {
    int dx, dy;
};

// One reducing converter: the factors and the samples averaged per output pixel,
// relative to (factor x column, factor x row).
struct Member {
    int horizontal, vertical;
    int taps;
    Tap tap[4];
};

// Planar members: chroma is taken at the first tap (halved), and for a
// horizontal factor 4 averaged with its right neighbour.
constexpr Member kYuvMembers[] = {
    {1, 1, 1, {{0, 0}}},
    {1, 2, 1, {{0, 0}}},
    {2, 1, 2, {{0, 0}, {1, 0}}},
    {2, 2, 4, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}},
    {2, 4, 4, {{0, 0}, {1, 0}, {0, 3}, {1, 3}}},
    {4, 2, 4, {{0, 0}, {3, 0}, {0, 1}, {3, 1}}},
    {4, 4, 4, {{0, 0}, {3, 0}, {0, 3}, {3, 3}}},
};

constexpr Member kRgbMembers[] = {
    {1, 2, 2, {{0, 0}, {0, 1}}},
    {2, 1, 2, {{0, 0}, {1, 0}}},
    {2, 2, 4, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}},
    {2, 4, 4, {{0, 0}, {1, 0}, {0, 3}, {1, 3}}},
    {4, 2, 4, {{0, 0}, {3, 0}, {0, 1}, {3, 1}}},
    {4, 4, 4, {{0, 0}, {3, 0}, {0, 3}, {3, 3}}},
};

template <size_t N>
const Member* findMember(const Member (&members)[N], int horizontal, int vertical)
{
    for (const Member& m : members)
        if (m.horizontal == horizontal && m.vertical == vertical) return &m;
    return nullptr;
}

// How many outputs along one axis have every tap inside the source.
int usableOutputs(int sourceSize, int factor, int largestOffset, int targetSize)
{
    if (sourceSize <= largestOffset) return 0;
    return std::min(targetSize, (sourceSize - 1 - largestOffset) / factor + 1);
}

uint32_t* targetRow(DibTarget& target, int outputRow)
{
    return reinterpret_cast<uint32_t*>(target.bits + size_t(target.height - 1 - outputRow) * target.stride);
}

void convertYuvMember(const YuvPlanes& p, const Member& m, DibTarget& target)
{
    int maxDx = 0, maxDy = 0;
    for (int t = 0; t < m.taps; ++t) {
        maxDx = std::max(maxDx, m.tap[t].dx);
        maxDy = std::max(maxDy, m.tap[t].dy);
    }
    const int cols = usableOutputs(p.width, m.horizontal, maxDx, target.width);
    const int rows = usableOutputs(p.height, m.vertical, maxDy, target.height);
    const int chromaWidth = std::max(1, p.width / 2), chromaHeight = std::max(1, p.height / 2);
    const int lumaShift = m.taps == 1 ? 14 : m.taps == 2 ? 13 : 12;
    for (int i = 0; i < rows; ++i) {
        const int sourceRow = i * m.vertical;
        const int chromaRow = std::min(sourceRow / 2, chromaHeight - 1);
        const uint8_t* uRow = p.u + size_t(chromaRow) * p.strideU;
        const uint8_t* vRow = p.v + size_t(chromaRow) * p.strideV;
        uint32_t* out = targetRow(target, i);
        for (int j = 0; j < cols; ++j) {
            const int sourceCol = j * m.horizontal;
            int sum = 0;
            for (int t = 0; t < m.taps; ++t)
                sum += p.y[size_t(sourceRow + m.tap[t].dy) * p.strideY + sourceCol + m.tap[t].dx];
            const int c0 = std::min(sourceCol / 2, chromaWidth - 1);
            int u = uRow[c0], v = vRow[c0];
            if (m.horizontal == 4) {
                const int c1 = std::min(c0 + 1, chromaWidth - 1);
                u = (u + uRow[c1]) >> 1;
                v = (v + vRow[c1]) >> 1;
            }
            out[j] = fullRangePixel(sum << lumaShift, u - 128, v - 128);
        }
    }
}

void convertRgbMember(const _vm_screen& picture, const Member& m, DibTarget& target)
{
    int maxDx = 0, maxDy = 0;
    for (int t = 0; t < m.taps; ++t) {
        maxDx = std::max(maxDx, m.tap[t].dx);
        maxDy = std::max(maxDy, m.tap[t].dy);
    }
    const int cols = usableOutputs(picture.width, m.horizontal, maxDx, target.width);
    const int rows = usableOutputs(picture.height, m.vertical, maxDy, target.height);
    const int shift = m.taps == 2 ? 1 : 2;
    const uint8_t* pixels = picture.packed.pixels;
    const int stride = picture.packed.stride;
    for (int i = 0; i < rows; ++i) {
        uint32_t* out = targetRow(target, i);
        for (int j = 0; j < cols; ++j) {
            int b = 0, g = 0, r = 0;
            for (int t = 0; t < m.taps; ++t) {
                const uint8_t* px = pixels + size_t(i * m.vertical + m.tap[t].dy) * stride +
                                    size_t(j * m.horizontal + m.tap[t].dx) * 4;
                b += px[0];
                g += px[1];
                r += px[2];
            }
            out[j] = uint32_t(b >> shift) | uint32_t(g >> shift) << 8 | uint32_t(r >> shift) << 16;
        }
    }
}

} // namespace

bool yuvPlanesOf(const _vm_screen& picture, YuvPlanes& planes)
{
    if (picture.format != VM_FMT_YUV420 && picture.format != VM_FMT_YVU420) return false;
    if (picture.width <= 0 || picture.height <= 0) return false;
    const auto& pl = picture.planar;
    if (!pl.plane[0] || !pl.plane[1] || !pl.plane[2]) return false;
    const bool swapped = picture.format == VM_FMT_YVU420;
    planes.y = pl.plane[0];
    planes.strideY = pl.stride[0];
    planes.u = swapped ? pl.plane[2] : pl.plane[1];
    planes.strideU = swapped ? pl.stride[2] : pl.stride[1];
    planes.v = swapped ? pl.plane[1] : pl.plane[2];
    planes.strideV = swapped ? pl.stride[1] : pl.stride[2];
    planes.width = picture.width;
    planes.height = picture.height;
    return true;
}

void packUyvy(int width, const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int strideY,
              int strideU, int strideV, int pitch, int rows)
{
    const int pairs = width / 2;
    for (int row = 0; row < rows; ++row) {
        uint8_t* out = dst;
        for (int k = 0; k < pairs; ++k) {
            out[0] = u[k];
            out[1] = y[2 * k];
            out[2] = v[k];
            out[3] = y[2 * k + 1];
            out += 4;
        }
        y += strideY;
        dst += pitch;
        if (row & 1) {
            u += strideU;
            v += strideV;
        }
    }
}

void convertToBgr24(const YuvPlanes& p, uint8_t* dst, int dstStride, int height)
{
    const bool bottomUp = height < 0;
    const int rows = std::min(bottomUp ? -height : height, p.height);
    const int chromaWidth = std::max(1, p.width / 2), chromaRows = std::max(1, p.height / 2);
    for (int r = 0; r < rows; ++r) {
        // Chroma of the last row of an odd height and of the last column of an
        // odd width would lie one past the plane: the edge sample serves them.
        const int sourceRow = bottomUp ? rows - 1 - r : r;
        const int chromaRow = std::min(sourceRow / 2, chromaRows - 1);
        const uint8_t* yRow = p.y + size_t(sourceRow) * p.strideY;
        const uint8_t* uRow = p.u + size_t(chromaRow) * p.strideU;
        const uint8_t* vRow = p.v + size_t(chromaRow) * p.strideV;
        uint8_t* out = dst + size_t(r) * dstStride;
        // Two pixels share one chroma pair: its terms are worked out once.
        for (int x = 0; x < p.width; x += 2) {
            const int c = std::min(x / 2, chromaWidth - 1);
            const int u = uRow[c] - 128, v = vRow[c] - 128;
            const int blue = scaled8192(u, 16591);
            const int green = scaled8192(u, -3218) + scaled8192(v, -6686);
            const int red = scaled8192(v, 13123);
            const int pixels = std::min(2, p.width - x);
            for (int i = 0; i < pixels; ++i) {
                const int luma = scaled8192(std::max(0, yRow[x + i] - 16), 9576);
                out[0] = clampByte(saturate16(luma + blue));
                out[1] = clampByte(saturate16(luma + green));
                out[2] = clampByte(saturate16(luma + red));
                out += 3;
            }
        }
    }
}

uint32_t fullRangePixel(int y16384, int u, int v)
{
    const int r = (y16384 + 22987 * v + 8192) >> 14;
    const int g = (y16384 - 5636 * u - 11698 * v + 8192) >> 14;
    const int b = (y16384 + 29049 * u + 8192) >> 14;
    return uint32_t(clampByte(b)) | uint32_t(clampByte(g)) << 8 | uint32_t(clampByte(r)) << 16;
}

bool convertScaled(const _vm_screen& picture, int horizontalFactor, int verticalFactor, DibTarget& target)
{
    if (!target.bits || target.width <= 0 || target.height <= 0 || target.stride < target.width * 4)
        return false;
    YuvPlanes planes;
    if (yuvPlanesOf(picture, planes)) {
        const Member* m = findMember(kYuvMembers, horizontalFactor, verticalFactor);
        if (!m) return false;
        convertYuvMember(planes, *m, target);
        return true;
    }
    if (picture.format == VM_FMT_BGRX32 && picture.packed.pixels && picture.width > 0 && picture.height > 0 &&
        picture.packed.stride >= picture.width * 4) {
        const Member* m = findMember(kRgbMembers, horizontalFactor, verticalFactor);
        if (!m) return false;
        convertRgbMember(picture, *m, target);
        return true;
    }
    return false;
}

void copyRowsBottomUp(const _vm_screen& picture, DibTarget& target)
{
    if (picture.format != VM_FMT_BGRX32 || !picture.packed.pixels || !target.bits) return;
    // The bitmap has the record's size, the picture its own: copy what both hold.
    const int cols = std::min({picture.width, target.width, picture.packed.stride / 4, target.stride / 4});
    const int rows = std::min(picture.height, target.height);
    if (cols <= 0 || rows <= 0) return;
    for (int i = 0; i < rows; ++i) {
        std::memcpy(targetRow(target, i), picture.packed.pixels + size_t(i) * picture.packed.stride,
                    size_t(cols) * 4);
    }
}

} // namespace ostrels::ddshow
