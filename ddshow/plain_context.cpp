#include "plain_context.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "colour_convert.h"
#include "plain_target.h"
#include "video_render.h"

namespace ostrels::ddshow {
namespace {

bool isSurfaceFormat(int format)
{
    return format == VM_FMT_BGRX32 || format == VM_FMT_YUV420 || format == VM_FMT_YVU420;
}

} // namespace

bool PlainContext::useWindow(QN_DDR_WINDOW handle)
{
    x11::WindowId id = 0;
    if (!windowIdOf(handle, id)) return false;
    target_.setWindow(id);
    return true;
}

int PlainContext::init(const QN_DDR_PARAM& p)
{
    x11::WindowId id = 0;
    windowIdOf(p.hWnd, id);
    // Without a display there is nothing to show on: no context, and say so.
    if (!target_.open(id)) return QN_DDR_REFUSED;
    if (p.nMode == 3) {
        bitmapMode_ = true;
        return makeBitmap(p.nWidth, p.nHeight);
    }
    return QN_DDR_OK;
}

int PlainContext::setModel(const QN_DDR_PARAM& p)
{
    // Full screen has no meaning on X11: every mode is windowed.
    if (p.nMode == 2 && !useWindow(p.hWnd)) return QN_DDR_BAD_ARGUMENT;
    if (p.nMode != 2) useWindow(p.hWnd);
    return QN_DDR_OK;
}

int PlainContext::makeBitmap(int width, int height)
{
    if (width <= 0 || height <= 0) return QN_DDR_BAD_ARGUMENT;
    if (width == bitmapWidth_ && height == bitmapHeight_ && !bitmap_.empty()) return QN_DDR_OK;
    try {
        bitmap_.assign(size_t(width) * 4 * size_t(height), 0);
    } catch (const std::bad_alloc&) {
        std::vector<uint8_t>().swap(bitmap_);
        bitmapWidth_ = bitmapHeight_ = 0;
        return QN_DDR_NO_MEMORY;
    }
    bitmapWidth_ = width;
    bitmapHeight_ = height;
    targetWidth_ = width;
    targetHeight_ = height;
    return QN_DDR_OK;
}

int PlainContext::fillBitmap(const QN_DDR_PARAM& p, int windowWidth, int windowHeight)
{
    const _vm_screen& picture = *p.pImage;
    const PlainTarget t =
        plainTargetFor(bitmapWidth_, bitmapHeight_, picture.width, picture.height, windowWidth, windowHeight);
    if (t.width <= 0 || t.height <= 0) return QN_DDR_BAD_ARGUMENT;
    targetWidth_ = t.width;
    targetHeight_ = t.height;
    DibTarget dib{t.width, t.height, t.width * 4, bitmap_.data()};
    if (t.width == bitmapWidth_ && t.height == bitmapHeight_) {
        if (picture.format == VM_FMT_BGRX32) {
            copyRowsBottomUp(picture, dib);
            return QN_DDR_OK;
        }
        return convertScaled(picture, 1, 1, dib) ? QN_DDR_OK : QN_DDR_REFUSED;
    }
    // A factor pair without a converter leaves the bitmap as it was.
    convertScaled(picture, t.horizontal, t.vertical, dib);
    return QN_DDR_OK;
}

int PlainContext::showBitmap()
{
    if (bitmap_.empty() || targetWidth_ <= 0 || targetHeight_ <= 0) return QN_DDR_REFUSED;
    x11::WindowState state;
    switch (target_.query(state)) {
    case WindowTarget::State::failed: return QN_DDR_REFUSED;
    case WindowTarget::State::skip: return QN_DDR_OK;
    case WindowTarget::State::drawable: break;
    }
    const int w = state.screenRect.width(), h = state.screenRect.height();
    if (!shown_.resize(w, h)) return QN_DDR_NO_MEMORY;
    const PixelView view{bitmap_.data(), targetWidth_, targetHeight_, targetWidth_ * 4, 4, true};
    stretchNearest(view, shown_.bits(), shown_.stride(), w, h, 0, 0, w, h);
    return target_.put(state, 0, 0, w, h, shown_.bits(), shown_.stride()) ? QN_DDR_OK : QN_DDR_REFUSED;
}

int PlainContext::drawImage(QN_DDR_PARAM& p)
{
    if (!p.pImage || !useWindow(p.hWnd)) return QN_DDR_BAD_ARGUMENT;
    bitmapMode_ = true;
    if (int r = makeBitmap(p.nWidth, p.nHeight); r != QN_DDR_OK) return r;
    x11::WindowState state;
    if (!target_.display() || target_.display()->queryWindow(target_.window(), state) != x11::QueryResult::ok)
        return QN_DDR_REFUSED;
    if (int r = fillBitmap(p, state.screenRect.width(), state.screenRect.height()); r != QN_DDR_OK) return r;
    return showBitmap();
}

int PlainContext::makeVideoSurface(const _vm_screen& picture)
{
    if (!isSurfaceFormat(picture.format) || picture.width <= 0 || picture.height <= 0) return QN_DDR_REFUSED;
    if (!video_.empty() && picture.width == videoWidth_ && picture.height == videoHeight_ &&
        picture.format == videoFormat_)
        return QN_DDR_OK;
    const bool packed = picture.format == VM_FMT_BGRX32;
    const int pitch = packed ? picture.width * 4 : (picture.width + 7) & ~7;
    const size_t bytes = packed ? size_t(pitch) * picture.height
                                : size_t(pitch) * picture.height + size_t(pitch / 2) * (picture.height / 2) * 2;
    try {
        video_.assign(bytes, 0);
    } catch (const std::bad_alloc&) {
        std::vector<uint8_t>().swap(video_);
        return QN_DDR_NO_MEMORY;
    }
    videoWidth_ = picture.width;
    videoHeight_ = picture.height;
    videoFormat_ = picture.format;
    videoPitch_ = pitch;
    return QN_DDR_OK;
}

int PlainContext::copyIntoVideoSurface(const _vm_screen& picture)
{
    if (picture.format == VM_FMT_BGRX32) {
        if (!picture.packed.pixels) return QN_DDR_BAD_ARGUMENT;
        const size_t rowBytes = std::min<size_t>(size_t(videoWidth_) * 4, size_t(std::max(0, picture.packed.stride)));
        for (int row = 0; row < videoHeight_; ++row)
            std::memcpy(&video_[size_t(row) * videoPitch_], picture.packed.pixels + size_t(row) * picture.packed.stride,
                        rowBytes);
        return QN_DDR_OK;
    }
    YuvPlanes planes;
    if (!yuvPlanesOf(picture, planes)) return QN_DDR_BAD_ARGUMENT;
    // The surface keeps the Y, V, U order whatever the picture's own order.
    uint8_t* y = video_.data();
    uint8_t* v = y + size_t(videoPitch_) * videoHeight_;
    uint8_t* u = v + size_t(videoPitch_ / 2) * (videoHeight_ / 2);
    for (int row = 0; row < videoHeight_; ++row)
        std::memcpy(y + size_t(row) * videoPitch_, planes.y + size_t(row) * planes.strideY, size_t(videoWidth_));
    for (int row = 0; row < videoHeight_ / 2; ++row) {
        std::memcpy(v + size_t(row) * (videoPitch_ / 2), planes.v + size_t(row) * planes.strideV, size_t(videoWidth_ / 2));
        std::memcpy(u + size_t(row) * (videoPitch_ / 2), planes.u + size_t(row) * planes.strideU, size_t(videoWidth_ / 2));
    }
    return QN_DDR_OK;
}

bool PlainContext::renderVideoSurface(Bgrx32Buffer& out, int width, int height)
{
    if (video_.empty() || width <= 0 || height <= 0 || !out.resize(width, height)) return false;
    if (videoFormat_ == VM_FMT_BGRX32) {
        const PixelView view{video_.data(), videoWidth_, videoHeight_, videoPitch_, 4, false};
        stretchNearest(view, out.bits(), out.stride(), width, height, 0, 0, width, height);
        return true;
    }
    const uint8_t* y = video_.data();
    const uint8_t* v = y + size_t(videoPitch_) * videoHeight_;
    const uint8_t* u = v + size_t(videoPitch_ / 2) * (videoHeight_ / 2);
    const uint8_t* const planes[3] = {y, u, v};
    const int strides[3] = {videoPitch_, videoPitch_ / 2, videoPitch_ / 2};
    return scaler_.scaleYuv420(planes, strides, videoWidth_, videoHeight_, out.bits(), out.stride(), width, height);
}

bool PlainContext::destination(const QN_DDR_PARAM& p, x11::WindowState& state, x11::Rect& dest)
{
    if (target_.query(state) != WindowTarget::State::drawable) return false;
    const x11::Rect& window = state.screenRect;
    if (p.nLeft < p.nRight && p.nTop < p.nBottom) {
        dest = {p.nLeft - window.left, p.nTop - window.top, p.nRight - window.left, p.nBottom - window.top};
    } else {
        dest = {0, 0, window.width(), window.height()};
    }
    return true;
}

int PlainContext::present(const x11::WindowState& state, const x11::Rect& dest, const Bgrx32Buffer& pixels)
{
    return target_.put(state, dest.left, dest.top, pixels.width(), pixels.height(), pixels.bits(), pixels.stride())
               ? QN_DDR_OK
               : QN_DDR_REFUSED;
}

int PlainContext::copyImage(QN_DDR_PARAM& p)
{
    if (!p.pImage) return QN_DDR_BAD_ARGUMENT;
    if (bitmapMode_) {
        p.hDC = nullptr;
        if (bitmap_.empty()) {
            if (int r = makeBitmap(p.nWidth, p.nHeight); r != QN_DDR_OK) return r;
        }
        x11::WindowState state;
        if (!target_.display() || target_.display()->queryWindow(target_.window(), state) != x11::QueryResult::ok)
            return QN_DDR_REFUSED;
        return fillBitmap(p, state.screenRect.width(), state.screenRect.height());
    }
    if (int r = makeVideoSurface(*p.pImage); r != QN_DDR_OK) return r;
    if (int r = copyIntoVideoSurface(*p.pImage); r != QN_DDR_OK) return r;
    if (!p.bDC) return QN_DDR_OK;
    x11::WindowState state;
    x11::Rect dest;
    if (!destination(p, state, dest)) return QN_DDR_REFUSED;
    if (!renderVideoSurface(dcSurface_, dest.width(), dest.height())) return QN_DDR_REFUSED;
    dcCanvas_ = {dcSurface_.bits(), dcSurface_.width(), dcSurface_.height(), dcSurface_.stride()};
    p.hDC = &dcCanvas_;
    return QN_DDR_OK;
}

int PlainContext::showImage(QN_DDR_PARAM& p)
{
    if (bitmapMode_) return showBitmap();
    x11::WindowState state;
    x11::Rect dest;
    if (p.bDC) {
        p.hDC = nullptr;
        if (dcSurface_.empty()) return QN_DDR_REFUSED;
        if (!destination(p, state, dest)) return QN_DDR_REFUSED;
        return present(state, dest, dcSurface_);
    }
    if (!destination(p, state, dest)) return QN_DDR_REFUSED;
    if (!renderVideoSurface(shown_, dest.width(), dest.height())) return QN_DDR_REFUSED;
    return present(state, dest, shown_);
}

int PlainContext::lockSurface(QN_DDR_PARAM& p)
{
    if (!p.pLockImage || !p.pImage) return QN_DDR_BAD_ARGUMENT;
    locked_ = false;
    if (int r = makeVideoSurface(*p.pImage); r != QN_DDR_OK) return r;
    _vm_screen& lock = *p.pLockImage;
    lock = {};
    lock.width = videoWidth_;
    lock.height = videoHeight_;
    lock.format = videoFormat_;
    if (videoFormat_ == VM_FMT_BGRX32) {
        lock.packed.stride = videoPitch_;
        lock.packed.pixels = video_.data();
    } else {
        uint8_t* y = video_.data();
        uint8_t* v = y + size_t(videoPitch_) * videoHeight_;
        uint8_t* u = v + size_t(videoPitch_ / 2) * (videoHeight_ / 2);
        const bool swapped = videoFormat_ == VM_FMT_YVU420;
        lock.planar.stride[0] = videoPitch_;
        lock.planar.stride[1] = lock.planar.stride[2] = videoPitch_ / 2;
        lock.planar.plane[0] = y;
        lock.planar.plane[1] = swapped ? v : u;
        lock.planar.plane[2] = swapped ? u : v;
    }
    locked_ = true;
    return QN_DDR_OK;
}

int PlainContext::unlockSurface(QN_DDR_PARAM& p)
{
    if (!locked_) return QN_DDR_OK;
    locked_ = false;
    x11::WindowState state;
    x11::Rect dest;
    if (!destination(p, state, dest)) return QN_DDR_REFUSED;
    if (!renderVideoSurface(shown_, dest.width(), dest.height())) return QN_DDR_REFUSED;
    return present(state, dest, shown_);
}

} // namespace ostrels::ddshow
