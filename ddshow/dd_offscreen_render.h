// The shared-memory renderer: packs each picture to UYVY (the off-screen
// surface), lets libswscale scale and convert it as display hardware would into
// a shared-memory image of the window's size, hands that image to the draw
// callback and puts it into the window. It rebuilds itself on a new picture
// size, a lost connection or image, and when its window leaves its monitor.
#ifndef OSTRELS_DDSHOW_DD_OFFSCREEN_RENDER_H
#define OSTRELS_DDSHOW_DD_OFFSCREEN_RENDER_H

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "display_devices.h"
#include "sws_scaler.h"
#include "video_render.h"

namespace ostrels::ddshow {

class DDOffscreenRender : public VideoRender {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // `clock` times the back-off between failed rebuilds (tests pass their own).
    explicit DDOffscreenRender(DeviceList& devices, Clock clock = std::chrono::steady_clock::now)
        : devices_(devices), clock_(std::move(clock))
    {
    }
    ~DDOffscreenRender() override;

    int init(void* user, x11::WindowId window, int width, int height, QN_DDR_DRAW_CALLBACK callback) override;
    int destroy() override;
    int draw(const _vm_screen* picture) override;
    void updateDestRect() override;

    // For tests: how often draw rebuilt the renderer (and tried to), and where
    // it placed it.
    int rebuildCount() const { return rebuilds_; }
    int rebuildAttempts() const { return rebuildAttempts_; }
    const Placement& placement() const { return placement_; }

private:
    int initDisplay();
    int initSurfaces();
    void destroyDisplayObjects();
    void updateDestRect(const x11::WindowState& state);
    int rebuild();
    bool needsRebuild(int width, int height) const;

    DeviceList& devices_;
    Clock clock_;
    void* user_ = reinterpret_cast<void*>(intptr_t(-1));
    int width_ = 352, height_ = 288;
    x11::WindowId window_ = 0;
    QN_DDR_DRAW_CALLBACK callback_ = nullptr;

    std::unique_ptr<x11::Display> display_;
    int windowDepth_ = 24;
    std::vector<uint8_t> offscreen_; // the picture packed as UYVY
    std::unique_ptr<x11::ShmImage> surface_; // destination size; what the server shows
    bool surfaceLost_ = false;
    SwsScaler scaler_;
    Rect destRect_;
    Placement placement_;

    int rebuilds_ = 0;
    int rebuildAttempts_ = 0;
    std::chrono::steady_clock::time_point lastFailedRebuild_{};
    bool rebuildFailed_ = false;
};

} // namespace ostrels::ddshow

#endif
