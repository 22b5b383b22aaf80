// The renderer behind the handle of QN_DDR_EX_PARAM: one window, one picture
// per draw, scaled to the window, with one draw callback per frame.
#ifndef OSTRELS_DDSHOW_VIDEO_RENDER_H
#define OSTRELS_DDSHOW_VIDEO_RENDER_H

#include "qn_ddshow.h"
#include "x11_display.h"

namespace ostrels::ddshow {

class VideoRender {
public:
    virtual ~VideoRender() = default;
    // 0 or more on success.
    virtual int init(void* user, x11::WindowId window, int width, int height, QN_DDR_DRAW_CALLBACK callback) = 0;
    // Releases what init built; the object stays usable for another init.
    virtual int destroy() = 0;
    // 0 when drawn or skipped, negative when the renderer failed.
    virtual int draw(const _vm_screen* picture) = 0;
    virtual void updateDestRect() = 0;
};

// A window handle as callers pass it: 0 and all bits set mean none, and an X11
// id never needs more than 32 bits.
inline bool windowIdOf(QN_DDR_WINDOW handle, x11::WindowId& id)
{
    if (handle == 0 || handle == ~QN_DDR_WINDOW(0) || handle > 0xffffffffu) return false;
    id = x11::WindowId(handle);
    return true;
}

// Nothing of the window is on the screen's positive side.
inline bool allNegative(const x11::Rect& r) { return r.left < 0 && r.top < 0 && r.right < 0 && r.bottom < 0; }

} // namespace ostrels::ddshow

#endif
