#include "dd_offscreen_render.h"

#include <new>

#include "colour_convert.h"
#include "trace.h"

namespace ostrels::ddshow {
namespace {

// A set-up that failed is tried again at most this often, not on every frame.
constexpr auto kRebuildBackOff = std::chrono::seconds(1);

} // namespace

DDOffscreenRender::~DDOffscreenRender() { destroy(); }

int DDOffscreenRender::init(void* user, x11::WindowId window, int width, int height, QN_DDR_DRAW_CALLBACK callback)
{
    user_ = user;
    window_ = window;
    width_ = width;
    height_ = height;
    callback_ = callback;
    placement_ = {};
    destRect_ = {};
    try {
        return initDisplay();
    } catch (...) {
        trace("Exception: initDirectDraw unknown exception!\n");
        return -1;
    }
}

int DDOffscreenRender::destroy()
{
    try {
        destroyDisplayObjects();
        return 0;
    } catch (...) {
        trace("Exception: destroyDDObjects unknown exception!\n");
        return -1;
    }
}

int DDOffscreenRender::initDisplay()
{
    if (width_ <= 0 || height_ <= 0) return -1;
    display_ = x11::Display::open();
    if (!display_) return -1;
    devices_.fillOnce(*display_);
    if (!display_->hasShm()) return -5;
    x11::WindowState state;
    if (display_->queryWindow(window_, state) != x11::QueryResult::ok) return -2;
    if (!state.takes32Bit) return -5;
    windowDepth_ = state.depth;
    placement_ = devices_.place(*display_, state.screenRect);
    destRect_ = inMonitorCoordinates(state.screenRect, placement_);
    return initSurfaces() < 0 ? -4 : 0;
}

int DDOffscreenRender::initSurfaces()
{
    offscreen_.assign(size_t(width_) * 2 * size_t(height_), 0);
    const int w = destRect_.width() > 0 ? destRect_.width() : width_;
    const int h = destRect_.height() > 0 ? destRect_.height() : height_;
    surface_ = display_->createShmImage(w, h);
    surfaceLost_ = false;
    return surface_ ? 0 : -1;
}

void DDOffscreenRender::destroyDisplayObjects()
{
    surface_.reset(); // detaches from the server, so before the connection goes
    std::vector<uint8_t>().swap(offscreen_);
    display_.reset();
}

void DDOffscreenRender::updateDestRect()
{
    if (!display_) return;
    x11::WindowState state;
    if (display_->queryWindow(window_, state) == x11::QueryResult::ok) updateDestRect(state);
}

void DDOffscreenRender::updateDestRect(const x11::WindowState& state)
{
    const Rect dest = inMonitorCoordinates(state.screenRect, placement_);
    if (dest == destRect_) return;
    destRect_ = dest;
    if (allNegative(dest) || !display_) return;
    if (surface_ && surface_->width() == dest.width() && surface_->height() == dest.height()) return;
    surface_.reset();
    surface_ = display_->createShmImage(dest.width(), dest.height()); // retried by draw when it fails
}

bool DDOffscreenRender::needsRebuild(int width, int height) const
{
    return width != width_ || height != height_ || offscreen_.empty() || !display_ || display_->broken() ||
           surfaceLost_;
}

int DDOffscreenRender::rebuild()
{
    if (rebuildFailed_ && clock_() - lastFailedRebuild_ < kRebuildBackOff) return -1;
    ++rebuildAttempts_;
    destroy();
    if (init(user_, window_, width_, height_, callback_) < 0) {
        rebuildFailed_ = true;
        lastFailedRebuild_ = clock_();
        return -1;
    }
    rebuildFailed_ = false;
    ++rebuilds_;
    return 0;
}

int DDOffscreenRender::draw(const _vm_screen* picture)
{
    YuvPlanes planes;
    if (!picture || !yuvPlanesOf(*picture, planes)) return 0;
    if (needsRebuild(planes.width, planes.height)) {
        width_ = planes.width;
        height_ = planes.height;
        if (rebuild() < 0) return -1;
    }

    x11::WindowState state;
    switch (display_->queryWindow(window_, state)) {
    case x11::QueryResult::connectionLost: return -1; // the next draw rebuilds
    case x11::QueryResult::noWindow: return 0;
    case x11::QueryResult::ok: break;
    }
    const Rect& window = state.screenRect;
    if (window.width() <= 1 || window.height() <= 1 || !state.viewable || allNegative(window)) return 0;

    updateDestRect(state);
    if (leftDisplay(destRect_, placement_)) return rebuild() == 0 ? 0 : -1;
    if (destRect_.left <= 0 && destRect_.top <= 0 && destRect_.right <= 0 && destRect_.bottom <= 0) return 0;

    const int pitch = width_ * 2;
    packUyvy(width_, planes.y, planes.u, planes.v, offscreen_.data(), planes.strideY, planes.strideU,
             planes.strideV, pitch, height_);

    if (!surface_) {
        surface_ = display_->createShmImage(destRect_.width(), destRect_.height());
        if (!surface_) {
            trace("qn_ddshow: no shared image for the destination, frame dropped\n");
            return -1;
        }
    }
    if (!scaler_.scaleUyvy(offscreen_.data(), pitch, width_, height_, surface_->bits(), surface_->stride(),
                           surface_->width(), surface_->height())) {
        trace("Exception: m_colorConvert unknown exception!\n");
        return -1;
    }
    if (callback_) {
        QN_DDR_CANVAS canvas{surface_->bits(), surface_->width(), surface_->height(), surface_->stride()};
        callback_(user_, &canvas, canvas.width, canvas.height, width_, height_);
    }
    if (!display_->putShmImage(window_, windowDepth_, *surface_, 0, 0)) {
        surfaceLost_ = true; // window or segment gone: set up afresh on the next draw
        return -1;
    }
    return 0;
}

} // namespace ostrels::ddshow
