// A top-level window on the test's X server, made through the X11 layer.
#ifndef OSTRELS_TESTS_DDSHOW_TEST_WINDOW_H
#define OSTRELS_TESTS_DDSHOW_TEST_WINDOW_H

#include <memory>

#include "x11_display.h"

namespace ddshow_test {

class TestWindow {
public:
    TestWindow(int x, int y, int width, int height)
    {
        display_ = ostrels::x11::Display::open();
        if (!display_) return;
        id_ = display_->createWindow(x, y, width, height, "ddshow test");
        if (id_) display_->mapWindow(id_, true);
        display_->sync();
    }
    ~TestWindow()
    {
        if (display_ && id_) display_->destroyWindow(id_);
    }
    bool ok() const { return display_ && id_; }
    uint32_t id() const { return id_; }
    void show(bool visible)
    {
        display_->mapWindow(id_, visible);
        display_->sync();
    }
    void move(int x, int y, int w, int h)
    {
        display_->moveWindow(id_, x, y, w, h);
        display_->sync();
    }
    ostrels::x11::Display& display() { return *display_; }

private:
    std::unique_ptr<ostrels::x11::Display> display_;
    uint32_t id_ = 0;
};

} // namespace ddshow_test

#endif
