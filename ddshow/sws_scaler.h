// The stand-in for display hardware that scales and colour-converts a YUV
// surface in a blit: libswscale with BT.601 limited-range coefficients.
//
// libswscale may write whole blocks of pixels past the width it is given, so
// it writes into a padded scratch picture of ours, and only the w x h area is
// copied to the destination: nothing next to or after the area is touched.
#ifndef OSTRELS_DDSHOW_SWS_SCALER_H
#define OSTRELS_DDSHOW_SWS_SCALER_H

#include <cstdint>
#include <vector>

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
    bool run(const uint8_t* const src[4], const int srcStride[4], int srcHeight, uint8_t* dst, int dstStride,
             int dstWidth, int dstHeight);
    SwsContext* context_ = nullptr;
    std::vector<uint8_t> scratch_;
};

} // namespace ostrels::ddshow

#endif
