// Nearest-neighbour stretching into 32-bit B, G, R, X buffers (the colour-on-
// colour stretch of a plain bitmap), and the 32-bit buffer it fills.
#ifndef OSTRELS_DDSHOW_STRETCH_H
#define OSTRELS_DDSHOW_STRETCH_H

#include <cstdint>
#include <vector>

namespace ostrels::ddshow {

// Rows of packed pixels (3 or 4 bytes: B, G, R[, X]) in memory order; a
// bottom-up view holds the picture's last row first.
struct PixelView {
    const uint8_t* bits = nullptr;
    int width = 0, height = 0, stride = 0;
    int bytesPerPixel = 4;
    bool bottomUp = false;
};

// A top-down 32-bit buffer that keeps its memory across frames of one size.
class Bgrx32Buffer {
public:
    // Resizes; false when the memory cannot be had (the old contents are gone).
    bool resize(int width, int height);
    uint8_t* bits() { return pixels_.data(); }
    const uint8_t* bits() const { return pixels_.data(); }
    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return width_ * 4; }
    bool empty() const { return pixels_.empty(); }
    void release();

private:
    std::vector<uint8_t> pixels_;
    int width_ = 0, height_ = 0;
};

// Stretches the whole source over a w x h area at `dst` (top-down rows of
// `dstStride` bytes), clipped to `clipWidth` x `clipHeight` when the area lies
// partly outside; (x, y) is the area's top-left corner within the clip.
void stretchNearest(const PixelView& source, uint8_t* dst, int dstStride, int clipWidth, int clipHeight,
                    int x, int y, int w, int h);

} // namespace ostrels::ddshow

#endif
