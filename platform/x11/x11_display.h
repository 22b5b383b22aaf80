// A connection of our own to the X server, with the few requests the display
// library needs: window geometry and visibility, the monitor list, putting
// 32-bit pictures into windows (plain requests or shared memory), and a few
// window operations for test programs.
//
// Every request checks its own error; nothing installs a process-wide error
// handler, so a toolkit in the same process keeps its own. One Display may be
// used from several threads (XCB serialises requests), but a ShmImage belongs
// to one user at a time.
#ifndef OSTRELS_PLATFORM_X11_DISPLAY_H
#define OSTRELS_PLATFORM_X11_DISPLAY_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ostrels::x11 {

using WindowId = uint32_t;

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

struct Monitor {
    uint32_t name = 0; // the monitor's name atom, its identity across look-ups
    Rect bounds;       // in root-window coordinates
    bool primary = false;
};

struct WindowState {
    Rect screenRect;            // the window's area in root-window coordinates
    bool viewable = false;      // mapped, and every ancestor mapped
    bool takes32Bit = false;    // a 32-bit B, G, R, X picture can be put into it
    int depth = 0;              // the depth a picture put into it must name
};

enum class QueryResult { ok, noWindow, connectionLost };

class ShmImage;

class Display {
public:
    // Connects to the display named by $DISPLAY (or `name`); null with a reason
    // in `error` when there is none.
    static std::unique_ptr<Display> open(const char* name = nullptr, std::string* error = nullptr);
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    bool broken() const;
    int screenWidth() const;
    int screenHeight() const;
    bool hasShm() const;

    QueryResult queryWindow(WindowId window, WindowState& state);

    // Monitors in the server's order (RandR 1.5); one monitor covering the
    // screen when the server has no monitor list.
    std::vector<Monitor> monitors();

    // Puts a top-down 32-bit picture at (x, y) of the window, in row bands that
    // each fit into one request. True when the server took every band.
    bool putImage(WindowId window, int depth, int x, int y, int width, int height,
                  const uint8_t* bits, int stride);

    // A picture in a shared-memory segment that the server reads directly;
    // null when the extension or the segment is not available.
    std::unique_ptr<ShmImage> createShmImage(int width, int height);

    // Puts the shared picture at (x, y) and waits until the server has read
    // it, so that the caller may overwrite the pixels afterwards.
    bool putShmImage(WindowId window, int depth, const ShmImage& image, int x, int y);

    // Bytes one request may carry.
    size_t maxRequestBytes() const;

    // Window operations for tools and tests.
    WindowId createWindow(int x, int y, int width, int height, const char* title = nullptr);
    bool mapWindow(WindowId window, bool visible);
    bool moveWindow(WindowId window, int x, int y, int width, int height);
    void destroyWindow(WindowId window);
    bool sync(); // a round trip; false when the connection is gone

    struct Impl;

private:
    explicit Display(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    friend class ShmImage;
};

// Pixels in a System V segment attached by us and by the server. An image
// must be destroyed before the Display that made it.
class ShmImage {
public:
    ~ShmImage();
    ShmImage(const ShmImage&) = delete;
    ShmImage& operator=(const ShmImage&) = delete;

    uint8_t* bits() const { return bits_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return width_ * 4; }

private:
    friend class Display;
    ShmImage() = default;
    Display::Impl* owner_ = nullptr;
    uint32_t segment_ = 0;
    uint8_t* bits_ = nullptr;
    int width_ = 0, height_ = 0;
};

} // namespace ostrels::x11

#endif
