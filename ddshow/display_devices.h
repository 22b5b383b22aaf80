// The list of display devices (monitors) a renderer places its window on, and
// the pure geometry of that placement: which monitor shows a window, where that
// monitor's origin lies, and when a window has left its monitor's display.
#ifndef OSTRELS_DDSHOW_DISPLAY_DEVICES_H
#define OSTRELS_DDSHOW_DISPLAY_DEVICES_H

#include <functional>
#include <mutex>
#include <vector>

#include "x11_display.h"

namespace ostrels::ddshow {

using x11::Rect;

// Where a window lies relative to the monitor that shows it.
struct Placement {
    int device = -1;         // index in the device list; -1 and 0 mean the default device
    int originX = 0, originY = 0;
    int displayWidth = 0, displayHeight = 0;
};

// The monitor that shows most of the rectangle; when it touches none, the
// nearest one. -1 for an empty list. The first monitor wins a tie.
int nearestMonitor(const std::vector<x11::Monitor>& monitors, const Rect& window);

// Places a window on the list's monitors. The origin is the monitor's own
// top-left corner (exact for monitors of any size and arrangement); without a
// monitor the origin is (0, 0) and the display is the screen.
Placement placeWindow(const std::vector<x11::Monitor>& monitors, const Rect& window, int screenWidth,
                      int screenHeight);

// A screen rectangle in the coordinates of the placement's monitor.
inline Rect inMonitorCoordinates(const Rect& r, const Placement& p)
{
    return {r.left - p.originX, r.top - p.originY, r.right - p.originX, r.bottom - p.originY};
}

// True once a destination rectangle (window in monitor coordinates) has left
// the display; the bottom edge allows a 50-pixel margin.
bool leftDisplay(const Rect& destination, const Placement& placement);

// A process-wide device list. Filled on first use; refreshed when a window
// lies on no listed monitor (a monitor attached after the first fill).
class DeviceList {
public:
    using Source = std::function<std::vector<x11::Monitor>(x11::Display&)>;

    // Fills the list once per process (the first caller does it).
    void fillOnce(x11::Display& display);
    // Drops the old entries and lists the monitors again.
    void refresh(x11::Display& display);
    std::vector<x11::Monitor> snapshot() const;
    // Places the window, refreshing the list when the window lies on none of it.
    Placement place(x11::Display& display, const Rect& window);

    // Tests replace the server's monitor list with their own layout.
    static void setSourceForTesting(Source source);

private:
    mutable std::mutex mutex_;
    std::once_flag filled_;
    std::vector<x11::Monitor> monitors_;
};

} // namespace ostrels::ddshow

#endif
