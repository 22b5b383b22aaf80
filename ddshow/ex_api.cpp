// The Ex family: one renderer per window, the road by which the program's
// pictures reach the screen.
#include <cstring>
#include <mutex>
#include <new>

#include "dd_offscreen_render.h"
#include "gdi_render.h"
#include "qn_ddshow.h"

namespace ostrels::ddshow {
namespace {

const char kVersion[] = "2.0.0.20140315_E_M";

// Serialises every Ex draw in the process, draw callback included.
std::mutex& drawLock()
{
    static std::mutex lock;
    return lock;
}

DeviceList& exDevices()
{
    static DeviceList devices;
    return devices;
}

VideoRender* makeRenderer(bool shared)
{
    if (shared) return new (std::nothrow) DDOffscreenRender(exDevices());
    return new (std::nothrow) GDIRender();
}

// Creates and sets up one renderer: 0 with the renderer, 3 when set-up failed
// (the renderer is gone), 4 when it could not be allocated.
int32_t setUp(bool shared, QN_DDR_EX_PARAM* p, x11::WindowId window, VideoRender*& out)
{
    out = makeRenderer(shared);
    if (!out) return QN_DDR_NO_MEMORY;
    int result = -1;
    try {
        result = out->init(p->pUser, window, p->nWidth, p->nHeight, p->pfnDraw);
    } catch (...) {
        result = -1;
    }
    if (result >= 0) return QN_DDR_OK;
    delete out;
    out = nullptr;
    return QN_DDR_REFUSED;
}

bool validPictureSize(int32_t width, int32_t height)
{
    return width > 4 && width % 4 == 0 && height > 4 && height % 2 == 0;
}

} // namespace
} // namespace ostrels::ddshow

using namespace ostrels::ddshow;

extern "C" QN_DDSHOW_API void qn_ddrGetVersion(QN_DDR_VERSION* pVersion)
{
    if (!pVersion) return;
    std::memset(pVersion->szVersion, 0, sizeof pVersion->szVersion);
    std::memcpy(pVersion->szVersion, kVersion, sizeof kVersion); // fits: 19 of 64 bytes
    pVersion->nLength = int32_t(sizeof kVersion - 1);
}

extern "C" QN_DDSHOW_API int32_t qn_ddrInit_Ex(QN_DDR_EX_PARAM* p)
{
    if (!p) return QN_DDR_BAD_ARGUMENT;
    p->hRender = nullptr;
    if (!validPictureSize(p->nWidth, p->nHeight)) return QN_DDR_BAD_ARGUMENT;
    ostrels::x11::WindowId window = 0;
    windowIdOf(p->hWnd, window); // an unusable handle fails in the renderer's set-up

    const bool shared = p->nMode == 0 || p->nMode == 1;
    VideoRender* renderer = nullptr;
    int32_t result = setUp(shared, p, window, renderer);
    if (result == QN_DDR_REFUSED && p->nMode == 1) result = setUp(false, p, window, renderer);
    if (result == QN_DDR_OK) p->hRender = renderer;
    return result;
}

extern "C" QN_DDSHOW_API int32_t qn_ddrDrawImage_Ex(QN_DDR_EX_PARAM* p)
{
    std::lock_guard<std::mutex> lock(drawLock());
    ostrels::x11::WindowId window = 0;
    if (!p || !p->hRender || !p->pImage || !windowIdOf(p->hWnd, window)) return QN_DDR_BAD_ARGUMENT;
    const _vm_screen& picture = *p->pImage;
    if (!validPictureSize(picture.width, picture.height)) return QN_DDR_BAD_ARGUMENT;
    // Only planar 4:2:0 with all three planes: a packed or 4:2:2 picture would
    // be read through the wrong fields.
    if (picture.format != VM_FMT_YUV420 && picture.format != VM_FMT_YVU420) return QN_DDR_BAD_ARGUMENT;
    const auto& planes = picture.planar.plane;
    if (!planes[0] || !planes[1] || !planes[2]) return QN_DDR_BAD_ARGUMENT;
    if (reinterpret_cast<uintptr_t>(planes[0]) % 4 != 0) return QN_DDR_BAD_ARGUMENT;
    try {
        return static_cast<VideoRender*>(p->hRender)->draw(&picture);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

extern "C" QN_DDSHOW_API int32_t qn_ddrUnInit_Ex(QN_DDR_EX_PARAM* p)
{
    if (!p || !p->hRender) return QN_DDR_BAD_ARGUMENT;
    delete static_cast<VideoRender*>(p->hRender);
    p->hRender = nullptr;
    return QN_DDR_OK;
}
