// What the Display and its shared images share inside the layer.
#ifndef OSTRELS_PLATFORM_X11_DISPLAY_IMPL_H
#define OSTRELS_PLATFORM_X11_DISPLAY_IMPL_H

#include "x11_display.h"

#include <xcb/xcb.h>

namespace ostrels::x11 {

struct Display::Impl {
    xcb_connection_t* connection = nullptr;
    xcb_screen_t* screen = nullptr;
    bool shm = false;
    bool randr = false;

    ~Impl();
    // Drops queued events and errors of requests nobody checks, so that the
    // queue does not grow on a connection that never reads events.
    void drainEvents();
};

} // namespace ostrels::x11

#endif
