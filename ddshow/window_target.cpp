#include "window_target.h"

#include "video_render.h"

namespace ostrels::ddshow {

bool WindowTarget::open(x11::WindowId window)
{
    window_ = window;
    display_ = x11::Display::open();
    return display_ != nullptr;
}

bool WindowTarget::reconnect()
{
    if (display_ && !display_->broken()) return true;
    display_ = x11::Display::open();
    return display_ != nullptr;
}

WindowTarget::State WindowTarget::query(x11::WindowState& state)
{
    if (!reconnect()) return State::failed;
    switch (display_->queryWindow(window_, state)) {
    case x11::QueryResult::connectionLost: return State::failed;
    case x11::QueryResult::noWindow: return State::skip;
    case x11::QueryResult::ok: break;
    }
    const x11::Rect& r = state.screenRect;
    if (r.width() <= 1 || r.height() <= 1 || !state.viewable || allNegative(r)) return State::skip;
    return state.takes32Bit ? State::drawable : State::failed;
}

bool WindowTarget::put(const x11::WindowState& state, int x, int y, int width, int height, const uint8_t* bits,
                       int stride)
{
    return display_ && display_->putImage(window_, state.depth, x, y, width, height, bits, stride);
}

} // namespace ostrels::ddshow
