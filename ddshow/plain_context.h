// The context behind QN_DDR_PARAM: either a 32-bit bitmap that the reducing
// converters fill and that is shown stretched to the window, or a "video
// surface" in the picture's own layout (B, G, R, X or Y, V, U planes) that the
// caller may lock and write, shown scaled at a destination rectangle, with an
// optional canvas ("DC surface") of the destination size.
#ifndef OSTRELS_DDSHOW_PLAIN_CONTEXT_H
#define OSTRELS_DDSHOW_PLAIN_CONTEXT_H

#include <vector>

#include "qn_ddshow.h"
#include "stretch.h"
#include "sws_scaler.h"
#include "window_target.h"

namespace ostrels::ddshow {

class PlainContext {
public:
    // 0, or a result code of the family.
    int init(const QN_DDR_PARAM& p);
    int setModel(const QN_DDR_PARAM& p);
    int drawImage(QN_DDR_PARAM& p);
    int copyImage(QN_DDR_PARAM& p);
    int showImage(QN_DDR_PARAM& p);
    int lockSurface(QN_DDR_PARAM& p);
    int unlockSurface(QN_DDR_PARAM& p);

    // For tests: the last bitmap target.
    int targetWidth() const { return targetWidth_; }
    int targetHeight() const { return targetHeight_; }

private:
    int makeBitmap(int width, int height);
    int fillBitmap(const QN_DDR_PARAM& p, int windowWidth, int windowHeight);
    int showBitmap();
    int makeVideoSurface(const _vm_screen& picture);
    int copyIntoVideoSurface(const _vm_screen& picture);
    // Renders the video surface scaled into `out` (w x h).
    bool renderVideoSurface(Bgrx32Buffer& out, int width, int height);
    // The destination in window coordinates: the record's screen rectangle, or the whole window.
    bool destination(const QN_DDR_PARAM& p, x11::WindowState& state, x11::Rect& dest);
    int present(const x11::WindowState& state, const x11::Rect& dest, const Bgrx32Buffer& pixels);
    bool useWindow(QN_DDR_WINDOW handle);

    WindowTarget target_;
    bool bitmapMode_ = false;
    // Bitmap path: bottom-up rows of the record's size, filled at the target size.
    std::vector<uint8_t> bitmap_;
    int bitmapWidth_ = 0, bitmapHeight_ = 0;
    int targetWidth_ = 0, targetHeight_ = 0;
    Bgrx32Buffer shown_;
    // Surface path.
    std::vector<uint8_t> video_;
    int videoWidth_ = 0, videoHeight_ = 0, videoFormat_ = 0, videoPitch_ = 0;
    Bgrx32Buffer dcSurface_;
    QN_DDR_CANVAS dcCanvas_{};
    bool locked_ = false;
    SwsScaler scaler_;
};

} // namespace ostrels::ddshow

#endif
