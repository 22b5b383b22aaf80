#include "display_devices.h"

#include <algorithm>
#include <climits>

namespace ostrels::ddshow {
namespace {

std::mutex sourceMutex;
DeviceList::Source testSource;

std::vector<x11::Monitor> listMonitors(x11::Display& display)
{
    {
        std::lock_guard<std::mutex> lock(sourceMutex);
        if (testSource) return testSource(display);
    }
    return display.monitors();
}

int64_t overlapArea(const Rect& a, const Rect& b)
{
    const int w = std::min(a.right, b.right) - std::max(a.left, b.left);
    const int h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return (w > 0 && h > 0) ? int64_t(w) * h : 0;
}

int64_t distance(const Rect& a, const Rect& b)
{
    const int64_t dx = std::max({0, b.left - a.right, a.left - b.right});
    const int64_t dy = std::max({0, b.top - a.bottom, a.top - b.bottom});
    return dx * dx + dy * dy;
}

bool touchesAny(const std::vector<x11::Monitor>& monitors, const Rect& window)
{
    for (const auto& m : monitors)
        if (overlapArea(m.bounds, window) > 0) return true;
    return false;
}

} // namespace

int nearestMonitor(const std::vector<x11::Monitor>& monitors, const Rect& window)
{
    int best = -1;
    int64_t bestArea = 0, bestDistance = INT64_MAX;
    for (size_t i = 0; i < monitors.size(); ++i) {
        const int64_t area = overlapArea(monitors[i].bounds, window);
        const int64_t dist = distance(monitors[i].bounds, window);
        if (area > bestArea || (bestArea == 0 && area == 0 && dist < bestDistance)) {
            best = int(i);
            bestArea = area;
            bestDistance = dist;
        }
    }
    return best;
}

Placement placeWindow(const std::vector<x11::Monitor>& monitors, const Rect& window, int screenWidth,
                      int screenHeight)
{
    Placement placement;
    placement.displayWidth = screenWidth;
    placement.displayHeight = screenHeight;
    const int index = nearestMonitor(monitors, window);
    if (index < 0) return placement;
    const Rect& bounds = monitors[index].bounds;
    placement.device = index;
    placement.originX = bounds.left;
    placement.originY = bounds.top;
    placement.displayWidth = bounds.width();
    placement.displayHeight = bounds.height();
    return placement;
}

bool leftDisplay(const Rect& d, const Placement& p)
{
    return d.right < 0 || d.left > p.displayWidth || d.bottom < 0 || d.top > p.displayHeight + 50;
}

void DeviceList::fillOnce(x11::Display& display)
{
    std::call_once(filled_, [&] { refresh(display); });
}

void DeviceList::refresh(x11::Display& display)
{
    std::vector<x11::Monitor> fresh = listMonitors(display);
    std::lock_guard<std::mutex> lock(mutex_);
    monitors_ = std::move(fresh);
}

std::vector<x11::Monitor> DeviceList::snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return monitors_;
}

Placement DeviceList::place(x11::Display& display, const Rect& window)
{
    fillOnce(display);
    std::vector<x11::Monitor> monitors = snapshot();
    if (!touchesAny(monitors, window)) {
        refresh(display);
        monitors = snapshot();
    }
    return placeWindow(monitors, window, display.screenWidth(), display.screenHeight());
}

void DeviceList::setSourceForTesting(Source source)
{
    std::lock_guard<std::mutex> lock(sourceMutex);
    testSource = std::move(source);
}

} // namespace ostrels::ddshow
