#include "sws_scaler.h"

#include <cstring>
#include <new>

extern "C" {
#include <libswscale/swscale.h>
}

namespace ostrels::ddshow {

SwsScaler::~SwsScaler() { sws_freeContext(context_); }

bool SwsScaler::prepare(Source source, int srcWidth, int srcHeight, int dstWidth, int dstHeight)
{
    if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return false;
    const AVPixelFormat format = source == Source::uyvy ? AV_PIX_FMT_UYVY422 : AV_PIX_FMT_YUV420P;
    context_ = sws_getCachedContext(context_, srcWidth, srcHeight, format, dstWidth, dstHeight, AV_PIX_FMT_BGRA,
                                    SWS_BILINEAR, nullptr, nullptr, nullptr);
    return context_ != nullptr;
}

bool SwsScaler::run(const uint8_t* const src[4], const int srcStride[4], int srcHeight, uint8_t* dst, int dstStride,
                    int dstWidth, int dstHeight)
{
    const int scratchStride = ((dstWidth + 31) & ~31) * 4 + 64;
    const size_t bytes = size_t(scratchStride) * (dstHeight + 1);
    try {
        if (scratch_.size() < bytes) scratch_.resize(bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    uint8_t* const out[4] = {scratch_.data(), nullptr, nullptr, nullptr};
    const int outStride[4] = {scratchStride, 0, 0, 0};
    if (sws_scale(context_, src, srcStride, 0, srcHeight, out, outStride) != dstHeight) return false;
    for (int row = 0; row < dstHeight; ++row)
        std::memcpy(dst + size_t(row) * dstStride, scratch_.data() + size_t(row) * scratchStride, size_t(dstWidth) * 4);
    return true;
}

bool SwsScaler::scaleUyvy(const uint8_t* uyvy, int pitch, int srcWidth, int srcHeight, uint8_t* dst,
                          int dstStride, int dstWidth, int dstHeight)
{
    if (!prepare(Source::uyvy, srcWidth, srcHeight, dstWidth, dstHeight)) return false;
    const uint8_t* const src[4] = {uyvy, nullptr, nullptr, nullptr};
    const int srcStride[4] = {pitch, 0, 0, 0};
    return run(src, srcStride, srcHeight, dst, dstStride, dstWidth, dstHeight);
}

bool SwsScaler::scaleYuv420(const uint8_t* const planes[3], const int strides[3], int srcWidth, int srcHeight,
                            uint8_t* dst, int dstStride, int dstWidth, int dstHeight)
{
    if (!prepare(Source::yuv420, srcWidth, srcHeight, dstWidth, dstHeight)) return false;
    const uint8_t* const src[4] = {planes[0], planes[1], planes[2], nullptr};
    const int srcStride[4] = {strides[0], strides[1], strides[2], 0};
    return run(src, srcStride, srcHeight, dst, dstStride, dstWidth, dstHeight);
}

} // namespace ostrels::ddshow
