// The plain renderer: converts each picture to bottom-up 24-bit B, G, R,
// stretches it (nearest pixel) to the window's size, hands that to the draw
// callback and puts it into the window with ordinary requests, band by band.
// Works wherever a connection does, shared memory or not.
#ifndef OSTRELS_DDSHOW_GDI_RENDER_H
#define OSTRELS_DDSHOW_GDI_RENDER_H

#include <vector>

#include "stretch.h"
#include "video_render.h"
#include "window_target.h"

namespace ostrels::ddshow {

class GDIRender : public VideoRender {
public:
    int init(void* user, x11::WindowId window, int width, int height, QN_DDR_DRAW_CALLBACK callback) override;
    int destroy() override { return 0; }
    int draw(const _vm_screen* picture) override;
    void updateDestRect() override {}

private:
    void* user_ = nullptr;
    QN_DDR_DRAW_CALLBACK callback_ = nullptr;
    WindowTarget target_;
    std::vector<uint8_t> rgb_; // the picture, bottom-up rows of width x 3 bytes
    int bufferWidth_ = 0, bufferHeight_ = 0;
    Bgrx32Buffer canvas_;      // the window's size
};

} // namespace ostrels::ddshow

#endif
