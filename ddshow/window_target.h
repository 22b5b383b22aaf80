// A window and a connection to its display, reopened when the connection is
// lost; what the plain renderers need to put pictures into one window.
#ifndef OSTRELS_DDSHOW_WINDOW_TARGET_H
#define OSTRELS_DDSHOW_WINDOW_TARGET_H

#include <memory>

#include "x11_display.h"

namespace ostrels::ddshow {

class WindowTarget {
public:
    enum class State { drawable, skip, failed };

    bool open(x11::WindowId window);
    void close() { display_.reset(); }
    x11::WindowId window() const { return window_; }
    void setWindow(x11::WindowId window) { window_ = window; }
    x11::Display* display() { return display_.get(); }

    // Looks at the window: drawable (viewable, larger than 1 x 1, not wholly
    // off the screen's positive side), to be skipped, or unreachable.
    State query(x11::WindowState& state);

    // Puts a top-down 32-bit picture at (x, y) of the window.
    bool put(const x11::WindowState& state, int x, int y, int width, int height, const uint8_t* bits,
             int stride);

private:
    bool reconnect();
    std::unique_ptr<x11::Display> display_;
    x11::WindowId window_ = 0;
};

} // namespace ostrels::ddshow

#endif
