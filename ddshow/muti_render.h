// Renderers of the multi-picture family: up to 64 pictures composed into one
// window, each in its rectangle with an optional border, and (shared-memory
// renderer only) up to 8 rotating aimers over them.
#ifndef OSTRELS_DDSHOW_MUTI_RENDER_H
#define OSTRELS_DDSHOW_MUTI_RENDER_H

#include <array>
#include <memory>
#include <vector>

#include "aimer.h"
#include "display_devices.h"
#include "muti_selection.h"
#include "stretch.h"
#include "sws_scaler.h"
#include "window_target.h"

namespace ostrels::ddshow {

class VideoRender_m {
public:
    virtual ~VideoRender_m() = default;
    virtual int init(void* user, x11::WindowId window, int width, int height, QN_DDR_DRAW_CALLBACK callback) = 0;
    virtual int destroy() = 0;
    virtual int clear() = 0;
    // 0 drawn or skipped, 3 no valid item, negative on a failure.
    virtual int draw(QN_DDR_MUTI_ITEM* items, int count) = 0;
    virtual void updateDestRect() = 0;
    virtual int setAimer(int index, const QN_DDR_FRAME_POINT& point, int colour, bool active) = 0;
    virtual int findAimer(const QN_DDR_FRAME_POINT& point) = 0;
    virtual int allocAimer() = 0;
};

// The border a list slot draws: colour and width, or none.
struct BorderPen {
    int width = 0; // 0: no border
    uint8_t blue = 0, green = 0, red = 0;
};

// What both renderers share: the border of each list slot and the drawing of
// borders into a composed picture.
class MutiComposer {
protected:
    // Sets slot `slot`'s pen from the item (capping the item's width at 10).
    void setSlotPen(int slot, QN_DDR_MUTI_ITEM& item);
    // A frame of the slot's pen along `r`: inside it, or centred on its edge.
    void drawBorder(int slot, Bgrx32Buffer& canvas, const Rect& r, bool inside) const;
    void drawBorder(int slot, uint8_t* bits, int width, int height, int stride, const Rect& r, bool inside) const;
    static Rect scaledRect(const QN_DDR_MUTI_ITEM& item, int width, int height);

    std::array<BorderPen, kMaxMutiItems> pens_{};
};

// Composes into a shared-memory image of the window's size, pictures scaled
// by libswscale as display hardware would, and draws the aimers.
class DDOffscreenRender_m : public VideoRender_m, private MutiComposer {
public:
    explicit DDOffscreenRender_m(DeviceList& devices);
    ~DDOffscreenRender_m() override;
    int init(void* user, x11::WindowId window, int width, int height, QN_DDR_DRAW_CALLBACK callback) override;
    int destroy() override;
    int clear() override;
    int draw(QN_DDR_MUTI_ITEM* items, int count) override;
    void updateDestRect() override;
    int setAimer(int index, const QN_DDR_FRAME_POINT& point, int colour, bool active) override;
    int findAimer(const QN_DDR_FRAME_POINT& point) override;
    int allocAimer() override;

private:
    int initDisplay();
    int rebuild();
    // Window checks, placement and rebuild shared by draw and clear: 1 to go
    // on, otherwise the result to return.
    int prepareFrame(int& result);

    DeviceList& devices_;
    void* user_ = reinterpret_cast<void*>(intptr_t(-1));
    x11::WindowId window_ = 0;
    QN_DDR_DRAW_CALLBACK callback_ = nullptr;
    std::unique_ptr<x11::Display> display_;
    int windowDepth_ = 24;
    std::unique_ptr<x11::ShmImage> composed_;
    bool composedLost_ = false;
    std::array<std::unique_ptr<SwsScaler>, kMaxMutiItems> scalers_;
    Aimer aimers_[kAimerCount];
    int angle_ = 0;
    int composedWidth_ = 0, composedHeight_ = 0;
    Rect destRect_;
    Placement placement_;
};

// Composes in memory: 24-bit conversion per item, nearest-pixel stretch; no aimers.
class GDIRender_m : public VideoRender_m, private MutiComposer {
public:
    int init(void* user, x11::WindowId window, int width, int height, QN_DDR_DRAW_CALLBACK callback) override;
    int destroy() override { return 0; }
    int clear() override { return 0; }
    int draw(QN_DDR_MUTI_ITEM* items, int count) override;
    void updateDestRect() override {}
    int setAimer(int, const QN_DDR_FRAME_POINT&, int, bool) override { return 0; }
    int findAimer(const QN_DDR_FRAME_POINT&) override { return -1; }
    int allocAimer() override { return -1; }

private:
    struct PictureBuffer {
        std::vector<uint8_t> rgb;
        int width = 0, height = 0;
    };
    void* user_ = nullptr;
    QN_DDR_DRAW_CALLBACK callback_ = nullptr;
    WindowTarget target_;
    std::array<PictureBuffer, kMaxMutiItems> pictures_;
    Bgrx32Buffer composed_;
};

} // namespace ostrels::ddshow

#endif
