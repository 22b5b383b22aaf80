#include "muti_render.h"

#include <algorithm>
#include <cstring>

#include "colour_convert.h"
#include "trace.h"
#include "video_render.h"

namespace ostrels::ddshow {

// ---- MutiComposer ----

void MutiComposer::setSlotPen(int slot, QN_DDR_MUTI_ITEM& item)
{
    BorderPen& pen = pens_[slot];
    if (item.hPen) {
        pen = {std::clamp(item.hPen->nWidth, 1, 10), item.hPen->nBlue, item.hPen->nGreen, item.hPen->nRed};
        return;
    }
    if (item.nBorderWidth == 0) {
        pen = {};
        return;
    }
    if (item.nBorderWidth > 10) item.nBorderWidth = 10;
    pen = {item.nBorderWidth, item.nBorderBlue, item.nBorderGreen, item.nBorderRed};
}

Rect MutiComposer::scaledRect(const QN_DDR_MUTI_ITEM& item, int width, int height)
{
    return {int(int64_t(item.nLeft) * width / item.nRefWidth), int(int64_t(item.nTop) * height / item.nRefHeight),
            int(int64_t(item.nRight) * width / item.nRefWidth), int(int64_t(item.nBottom) * height / item.nRefHeight)};
}

void MutiComposer::drawBorder(int slot, Bgrx32Buffer& canvas, const Rect& r, bool inside) const
{
    drawBorder(slot, canvas.bits(), canvas.width(), canvas.height(), canvas.stride(), r, inside);
}

void MutiComposer::drawBorder(int slot, uint8_t* bits, int width, int height, int stride, const Rect& r,
                              bool inside) const
{
    const BorderPen& pen = pens_[slot];
    if (pen.width <= 0) return;
    // Inside: the pen's outer edge lies on the rectangle. Centred: half of the
    // pen lies outside it.
    const int grow = inside ? 0 : pen.width / 2;
    const Rect outer{r.left - grow, r.top - grow, r.right + grow, r.bottom + grow};
    const Rect inner{outer.left + pen.width, outer.top + pen.width, outer.right - pen.width, outer.bottom - pen.width};
    const uint32_t colour = uint32_t(pen.blue) | uint32_t(pen.green) << 8 | uint32_t(pen.red) << 16 | 0xff000000u;
    for (int y = std::max(0, outer.top); y < std::min(height, outer.bottom); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(bits + size_t(y) * stride);
        const bool wholeRow = y < inner.top || y >= inner.bottom;
        for (int x = std::max(0, outer.left); x < std::min(width, outer.right); ++x) {
            if (wholeRow || x < inner.left || x >= inner.right) row[x] = colour;
        }
    }
}

// ---- DDOffscreenRender_m ----

DDOffscreenRender_m::DDOffscreenRender_m(DeviceList& devices) : devices_(devices)
{
    for (int i = 0; i < kAimerCount; ++i) aimers_[i].colour = defaultAimerU(i) | defaultAimerV(i) << 8;
}

DDOffscreenRender_m::~DDOffscreenRender_m() { destroy(); }

int DDOffscreenRender_m::init(void* user, x11::WindowId window, int, int, QN_DDR_DRAW_CALLBACK callback)
{
    user_ = user;
    window_ = window;
    callback_ = callback;
    try {
        return initDisplay();
    } catch (...) {
        trace("Exception: initDirectDraw unknown exception!\n");
        return -1;
    }
}

int DDOffscreenRender_m::initDisplay()
{
    display_ = x11::Display::open();
    if (!display_) return -1;
    if (!display_->hasShm()) return -5;
    x11::WindowState state;
    if (display_->queryWindow(window_, state) != x11::QueryResult::ok) return -2;
    if (!state.takes32Bit) return -5;
    windowDepth_ = state.depth;
    placement_ = devices_.place(*display_, state.screenRect);
    destRect_ = inMonitorCoordinates(state.screenRect, placement_);
    composed_ = display_->createShmImage(std::max(1, destRect_.width()), std::max(1, destRect_.height()));
    composedLost_ = false;
    return composed_ ? 0 : -4;
}

int DDOffscreenRender_m::destroy()
{
    try {
        composed_.reset();
        display_.reset();
        return 0;
    } catch (...) {
        trace("Exception: destroyDDObjects unknown exception!\n");
        return -1;
    }
}

int DDOffscreenRender_m::rebuild()
{
    destroy();
    return init(user_, window_, 128, 128, callback_) < 0 ? -1 : 0;
}

void DDOffscreenRender_m::updateDestRect()
{
    x11::WindowState state;
    if (!display_ || display_->queryWindow(window_, state) != x11::QueryResult::ok) return;
    const Rect dest = inMonitorCoordinates(state.screenRect, placement_);
    if (dest == destRect_) return;
    destRect_ = dest;
    if (allNegative(dest) || dest.width() <= 0 || dest.height() <= 0) return;
    if (composed_ && composed_->width() == dest.width() && composed_->height() == dest.height()) return;
    composed_.reset();
    composed_ = display_->createShmImage(dest.width(), dest.height());
}

int DDOffscreenRender_m::prepareFrame(int& result)
{
    result = 0;
    if (!composed_ || composedLost_ || !display_ || display_->broken()) {
        if (rebuild() < 0) {
            result = -1;
            return 0;
        }
    }
    x11::WindowState state;
    if (display_->queryWindow(window_, state) != x11::QueryResult::ok) return 0;
    const Rect& window = state.screenRect;
    if (window.width() <= 1 || window.height() <= 1 || !state.viewable || allNegative(window)) return 0;
    updateDestRect();
    if (leftDisplay(destRect_, placement_)) {
        result = rebuild() == 0 ? 0 : -1;
        return 0;
    }
    if (destRect_.left <= 0 && destRect_.top <= 0 && destRect_.right <= 0 && destRect_.bottom <= 0) return 0;
    if (!composed_) {
        result = -1;
        return 0;
    }
    angle_ = (angle_ + 10) % 360;
    composedWidth_ = composed_->width();
    composedHeight_ = composed_->height();
    return 1;
}

int DDOffscreenRender_m::draw(QN_DDR_MUTI_ITEM* items, int count)
{
    const std::vector<int> list = selectItems(items, count);
    if (list.empty()) return 3;
    int result = 0;
    if (!prepareFrame(result)) return result;

    uint8_t* bits = composed_->bits();
    const int stride = composed_->stride();
    for (size_t slot = 0; slot < list.size(); ++slot) {
        QN_DDR_MUTI_ITEM& item = items[list[slot]];
        const Rect r = scaledRect(item, composedWidth_, composedHeight_);
        YuvPlanes planes;
        if (r.width() > 0 && r.height() > 0 && yuvPlanesOf(*item.pImage, planes)) {
            if (!scalers_[slot]) scalers_[slot] = std::make_unique<SwsScaler>();
            const uint8_t* const source[3] = {planes.y, planes.u, planes.v};
            const int strides[3] = {planes.strideY, planes.strideU, planes.strideV};
            if (!scalers_[slot]->scaleYuv420(source, strides, planes.width, planes.height,
                                             bits + size_t(r.top) * stride + size_t(r.left) * 4, stride, r.width(),
                                             r.height()))
                trace("qn_ddshow: a picture could not be scaled into its rectangle\n");
        }
        setSlotPen(int(slot), item);
        drawBorder(int(slot), bits, composedWidth_, composedHeight_, stride, r, true);
    }
    if (aimerGlyphsReady()) {
        for (Aimer& aimer : aimers_) drawAimer(aimer, bits, composedWidth_, composedHeight_, stride, angle_);
    }
    if (callback_) {
        QN_DDR_CANVAS canvas{bits, composedWidth_, composedHeight_, stride};
        callback_(user_, &canvas, destRect_.width(), destRect_.height(), 0, 0);
    }
    if (!display_->putShmImage(window_, windowDepth_, *composed_, 0, 0)) {
        composedLost_ = true;
        return -1;
    }
    return 0;
}

int DDOffscreenRender_m::clear()
{
    int result = 0;
    if (!prepareFrame(result)) return result;
    std::memset(composed_->bits(), 128, size_t(composed_->stride()) * composed_->height());
    if (!display_->putShmImage(window_, windowDepth_, *composed_, 0, 0)) composedLost_ = true;
    return 0;
}

int DDOffscreenRender_m::setAimer(int index, const QN_DDR_FRAME_POINT& point, int colour, bool active)
{
    Aimer& aimer = aimers_[index];
    aimer.active = active;
    if (point.w > 20 && point.h > 20) {
        aimer.position = point;
        aimer.colour = colour;
    }
    return index;
}

int DDOffscreenRender_m::findAimer(const QN_DDR_FRAME_POINT& point)
{
    if (composedWidth_ <= 0 || composedHeight_ <= 0 || point.w <= 0 || point.h <= 0) return -1;
    const int x = int(point.x * float(composedWidth_) / float(point.w));
    const int y = int(point.y * float(composedHeight_) / float(point.h));
    return findAimerAt(aimers_, x, y);
}

int DDOffscreenRender_m::allocAimer()
{
    for (int i = 0; i < kAimerCount; ++i)
        if (!aimers_[i].active) return i;
    return -1;
}

// ---- GDIRender_m ----

int GDIRender_m::init(void* user, x11::WindowId window, int, int, QN_DDR_DRAW_CALLBACK callback)
{
    user_ = user;
    callback_ = callback;
    if (!target_.open(window)) return -1;
    x11::WindowState state;
    return target_.display()->queryWindow(window, state) == x11::QueryResult::ok ? 0 : -1;
}

int GDIRender_m::draw(QN_DDR_MUTI_ITEM* items, int count)
{
    x11::WindowState state;
    switch (target_.query(state)) {
    case WindowTarget::State::failed: return -1;
    case WindowTarget::State::skip: return 0;
    case WindowTarget::State::drawable: break;
    }
    const std::vector<int> list = selectItems(items, count);
    if (list.empty()) return 3;
    const int w = state.screenRect.width(), h = state.screenRect.height();
    if (!composed_.resize(w, h)) return -1;
    std::memset(composed_.bits(), 0, size_t(composed_.stride()) * h);
    for (size_t slot = 0; slot < list.size(); ++slot) {
        QN_DDR_MUTI_ITEM& item = items[list[slot]];
        YuvPlanes planes;
        if (!yuvPlanesOf(*item.pImage, planes)) continue;
        PictureBuffer& buffer = pictures_[slot];
        if (buffer.width != planes.width || buffer.height != planes.height) {
            buffer.rgb.assign(size_t(planes.width) * 3 * planes.height, 0);
            buffer.width = planes.width;
            buffer.height = planes.height;
        }
        convertToBgr24(planes, buffer.rgb.data(), planes.width * 3, -planes.height);
        const Rect r = scaledRect(item, w, h);
        const PixelView view{buffer.rgb.data(), planes.width, planes.height, planes.width * 3, 3, true};
        stretchNearest(view, composed_.bits(), composed_.stride(), w, h, r.left, r.top, r.width(), r.height());
        setSlotPen(int(slot), item);
        drawBorder(int(slot), composed_, r, false);
    }
    if (callback_) {
        QN_DDR_CANVAS canvas{composed_.bits(), w, h, composed_.stride()};
        callback_(user_, &canvas, w, h, 0, 0);
    }
    return target_.put(state, 0, 0, w, h, composed_.bits(), composed_.stride()) ? 0 : -1;
}

} // namespace ostrels::ddshow
