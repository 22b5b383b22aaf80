#include "stretch.h"

#include <algorithm>
#include <new>

namespace ostrels::ddshow {

bool Bgrx32Buffer::resize(int width, int height)
{
    if (width == width_ && height == height_ && !pixels_.empty()) return true;
    try {
        pixels_.assign(size_t(width) * size_t(height) * 4, 0);
    } catch (const std::bad_alloc&) {
        release();
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

void Bgrx32Buffer::release()
{
    std::vector<uint8_t>().swap(pixels_);
    width_ = height_ = 0;
}

void stretchNearest(const PixelView& source, uint8_t* dst, int dstStride, int clipWidth, int clipHeight, int x,
                    int y, int w, int h)
{
    if (!source.bits || source.width <= 0 || source.height <= 0 || w <= 0 || h <= 0) return;
    const int x0 = std::max(0, x), x1 = std::min(clipWidth, x + w);
    const int y0 = std::max(0, y), y1 = std::min(clipHeight, y + h);
    if (x0 >= x1 || y0 >= y1) return;
    // Sample at pixel centres, so that both edges of the source are reached.
    std::vector<int> sourceColumn(size_t(x1 - x0));
    for (int dx = x0; dx < x1; ++dx)
        sourceColumn[dx - x0] = int((int64_t(2 * (dx - x) + 1) * source.width) / (2 * int64_t(w)));
    for (int dy = y0; dy < y1; ++dy) {
        int sy = int((int64_t(2 * (dy - y) + 1) * source.height) / (2 * int64_t(h)));
        if (source.bottomUp) sy = source.height - 1 - sy;
        const uint8_t* row = source.bits + size_t(sy) * source.stride;
        uint8_t* out = dst + size_t(dy) * dstStride + size_t(x0) * 4;
        for (int dx = x0; dx < x1; ++dx) {
            const uint8_t* px = row + size_t(sourceColumn[dx - x0]) * source.bytesPerPixel;
            out[0] = px[0];
            out[1] = px[1];
            out[2] = px[2];
            out[3] = 0xff;
            out += 4;
        }
    }
}

} // namespace ostrels::ddshow
