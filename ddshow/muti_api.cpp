// The multi-picture family. Every export holds the family's lock, so that a
// renderer is never destroyed or its glyphs rebuilt while another thread
// draws with them.
#include <mutex>
#include <new>

#include "muti_render.h"
#include "qn_ddshow.h"
#include "video_render.h"

namespace ostrels::ddshow {
namespace {

std::mutex& familyLock()
{
    static std::mutex lock;
    return lock;
}

DeviceList& mutiDevices()
{
    static DeviceList devices;
    return devices;
}

int32_t setUp(bool shared, QN_DDR_MUTI_PARAM* p, x11::WindowId window, VideoRender_m*& out)
{
    if (shared)
        out = new (std::nothrow) DDOffscreenRender_m(mutiDevices());
    else
        out = new (std::nothrow) GDIRender_m();
    if (!out) return QN_DDR_NO_MEMORY;
    int result = -1;
    try {
        result = out->init(p->pUser, window, 128, 128, p->pfnDraw);
    } catch (...) {
        result = -1;
    }
    if (result >= 0) return QN_DDR_OK;
    delete out;
    out = nullptr;
    return QN_DDR_REFUSED;
}

VideoRender_m* rendererOf(QN_DDR_MUTI_PARAM* p, x11::WindowId& window)
{
    if (!p || !p->hRender || !windowIdOf(p->hWnd, window)) return nullptr;
    return static_cast<VideoRender_m*>(p->hRender);
}

} // namespace
} // namespace ostrels::ddshow

using namespace ostrels::ddshow;

extern "C" QN_DDSHOW_API int32_t qn_ddrInit_Muti(QN_DDR_MUTI_PARAM* p)
{
    std::lock_guard<std::mutex> lock(familyLock());
    if (!p) return QN_DDR_BAD_ARGUMENT;
    p->hRender = nullptr;
    ostrels::x11::WindowId window = 0;
    windowIdOf(p->hWnd, window);
    // The family's device list is listed afresh on every init, never appended to.
    if (auto display = ostrels::x11::Display::open()) mutiDevices().refresh(*display);
    const bool shared = p->nMode == 0 || p->nMode == 1;
    VideoRender_m* renderer = nullptr;
    int32_t result = setUp(shared, p, window, renderer);
    if (result == QN_DDR_REFUSED && p->nMode == 1) result = setUp(false, p, window, renderer);
    if (result == QN_DDR_OK) p->hRender = renderer;
    return result;
}

extern "C" QN_DDSHOW_API int32_t qn_ddrUnInit_Muti(QN_DDR_MUTI_PARAM* p)
{
    std::lock_guard<std::mutex> lock(familyLock());
    if (!p || !p->hRender) return QN_DDR_BAD_ARGUMENT;
    delete static_cast<VideoRender_m*>(p->hRender);
    p->hRender = nullptr;
    return QN_DDR_OK;
}

extern "C" QN_DDSHOW_API int32_t qn_ddrDrawImage_Muti(QN_DDR_MUTI_PARAM* p, QN_DDR_MUTI_ITEM* items, int32_t count)
{
    std::lock_guard<std::mutex> lock(familyLock());
    ostrels::x11::WindowId window = 0;
    VideoRender_m* renderer = rendererOf(p, window);
    if (!renderer || !items) return QN_DDR_BAD_ARGUMENT;
    try {
        return renderer->draw(items, count);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

extern "C" QN_DDSHOW_API int32_t qn_ddrClearImage_Muti(QN_DDR_MUTI_PARAM* p)
{
    std::lock_guard<std::mutex> lock(familyLock());
    ostrels::x11::WindowId window = 0;
    VideoRender_m* renderer = rendererOf(p, window);
    if (!renderer) return QN_DDR_BAD_ARGUMENT;
    renderer->clear();
    return QN_DDR_OK;
}

extern "C" QN_DDSHOW_API int32_t qn_ddrInitAimer_Muti(void)
{
    std::lock_guard<std::mutex> lock(familyLock());
    buildAimerGlyphs();
    return 1;
}

extern "C" QN_DDSHOW_API int32_t qn_ddrSetAimer_Muti(QN_DDR_MUTI_PARAM* p, int32_t index,
                                                     const QN_DDR_FRAME_POINT* point, int32_t u, int32_t v,
                                                     int32_t active)
{
    std::lock_guard<std::mutex> lock(familyLock());
    ostrels::x11::WindowId window = 0;
    VideoRender_m* renderer = rendererOf(p, window);
    if (!renderer || !point || index >= kAimerCount) return index;
    if (index < 0) {
        if (!active) {
            const QN_DDR_FRAME_POINT keepPosition{}; // a frame too small to move or recolour an aimer
            for (int i = 0; i < kAimerCount; ++i) renderer->setAimer(i, keepPosition, 0, false);
            return index;
        }
        index = renderer->allocAimer();
        if (index < 0) return index;
    }
    if (u < 1 || u > 255) u = defaultAimerU(index);
    if (v < 1 || v > 255) v = defaultAimerV(index);
    return renderer->setAimer(index, *point, u | v << 8, active != 0);
}

extern "C" QN_DDSHOW_API int32_t qn_ddrFindAimer_Muti(QN_DDR_MUTI_PARAM* p, const QN_DDR_FRAME_POINT* point,
                                                      int32_t* index)
{
    std::lock_guard<std::mutex> lock(familyLock());
    ostrels::x11::WindowId window = 0;
    VideoRender_m* renderer = rendererOf(p, window);
    if (!renderer || !point || !index) return QN_DDR_BAD_ARGUMENT;
    *index = renderer->findAimer(*point);
    return QN_DDR_OK;
}
