#include "gdi_render.h"

#include <new>

#include "colour_convert.h"

namespace ostrels::ddshow {

int GDIRender::init(void* user, x11::WindowId window, int, int, QN_DDR_DRAW_CALLBACK callback)
{
    user_ = user;
    callback_ = callback;
    if (!target_.open(window)) return -1;
    // A window the server does not know (or none at all) gets no renderer.
    x11::WindowState state;
    return target_.display()->queryWindow(window, state) == x11::QueryResult::ok ? 0 : -1;
}

int GDIRender::draw(const _vm_screen* picture)
{
    YuvPlanes planes;
    if (!picture || !yuvPlanesOf(*picture, planes)) return 0;
    if (rgb_.empty() || bufferWidth_ != planes.width || bufferHeight_ != planes.height) {
        try {
            rgb_.assign(size_t(planes.width) * 3 * size_t(planes.height), 0);
        } catch (const std::bad_alloc&) {
            std::vector<uint8_t>().swap(rgb_);
            bufferWidth_ = bufferHeight_ = 0;
            return -1;
        }
        bufferWidth_ = planes.width;
        bufferHeight_ = planes.height;
    }
    convertToBgr24(planes, rgb_.data(), planes.width * 3, -planes.height);

    x11::WindowState state;
    switch (target_.query(state)) {
    case WindowTarget::State::failed: return -1;
    case WindowTarget::State::skip: return 0;
    case WindowTarget::State::drawable: break;
    }
    const int w = state.screenRect.width(), h = state.screenRect.height();
    if (!canvas_.resize(w, h)) return -1;
    const PixelView source{rgb_.data(), planes.width, planes.height, planes.width * 3, 3, true};
    stretchNearest(source, canvas_.bits(), canvas_.stride(), w, h, 0, 0, w, h);
    if (callback_) {
        QN_DDR_CANVAS canvas{canvas_.bits(), w, h, canvas_.stride()};
        callback_(user_, &canvas, w, h, planes.width, planes.height);
    }
    return target_.put(state, 0, 0, w, h, canvas_.bits(), canvas_.stride()) ? 0 : -1;
}

} // namespace ostrels::ddshow
