// The stand-in for display hardware that scales and colour-converts a YUV
// surface in a blit: libswscale with BT.601 limited-range coefficients.
#ifndef OSTRELS_DDSHOW_SWS_SCALER_H
#define OSTRELS_DDSHOW_SWS_SCALER_H

#include <cstdint>

struct SwsContext;

namespace ostrels::ddshow {

class SwsScaler {
public:
    enum class Source { uyvy, yuv420 };

    SwsScaler() = default;
    ~SwsScaler();
    SwsScaler(const SwsScaler&) = delete;
    SwsScaler& operator=(const SwsScaler&) = delete;

    // Packed UYVY rows of `pitch` bytes to a w x h B, G, R, X area.
    bool scaleUyvy(const uint8_t* uyvy, int pitch, int srcWidth, int srcHeight, uint8_t* dst, int dstStride,
                   int dstWidth, int dstHeight);
    // Planar 4:2:0 (Y, U, V planes with their strides) to a w x h area.
    bool scaleYuv420(const uint8_t* const planes[3], const int strides[3], int srcWidth, int srcHeight,
                     uint8_t* dst, int dstStride, int dstWidth, int dstHeight);

private:
    bool prepare(Source source, int srcWidth, int srcHeight, int dstWidth, int dstHeight);
    SwsContext* context_ = nullptr;
};

} // namespace ostrels::ddshow

#endif
