// ddshow_demo: plays a raw yuv420p file in a window of its own through the
// display library's Ex functions, with a progress bar drawn by the draw
// callback. Prints "shown <window id>" once the first frame is on screen.
//
//   ddshow_demo FILE WIDTHxHEIGHT [--window WxH] [--mode N] [--fps N]
//               [--loops N] [--hold-ms N]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "qn_ddshow.h"
#include "x11_display.h"

namespace {

struct Options {
    std::string file;
    int width = 0, height = 0;
    int windowWidth = 0, windowHeight = 0;
    int mode = 1;
    int fps = 25;
    int loops = 1;
    int holdMs = 0;
};

bool parseSize(const char* text, int& w, int& h) { return std::sscanf(text, "%dx%d", &w, &h) == 2 && w > 0 && h > 0; }

bool parse(int argc, char** argv, Options& o)
{
    if (argc < 3 || !parseSize(argv[2], o.width, o.height)) return false;
    o.file = argv[1];
    o.windowWidth = o.width;
    o.windowHeight = o.height;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--window") {
            if (!parseSize(value, o.windowWidth, o.windowHeight)) return false;
        } else if (name == "--mode") {
            o.mode = std::atoi(value);
        } else if (name == "--fps") {
            o.fps = std::max(1, std::atoi(value));
        } else if (name == "--loops") {
            o.loops = std::max(1, std::atoi(value));
        } else if (name == "--hold-ms") {
            o.holdMs = std::max(0, std::atoi(value));
        } else {
            return false;
        }
    }
    return (argc - 3) % 2 == 0;
}

struct Progress {
    int frame = 0, frames = 1;
};

// A bar along the bottom of the picture that grows with the frame number.
void drawProgress(void* user, QN_DDR_CANVAS* canvas, int, int, int, int)
{
    const auto* progress = static_cast<const Progress*>(user);
    const int barWidth = int(int64_t(canvas->width) * (progress->frame + 1) / progress->frames);
    for (int y = std::max(0, canvas->height - 6); y < canvas->height; ++y)
        std::memset(canvas->bits + size_t(y) * canvas->stride, 0xff, size_t(barWidth) * 4);
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: ddshow_demo FILE WIDTHxHEIGHT [--window WxH] [--mode N] [--fps N] [--loops N] "
                     "[--hold-ms N]\n");
        return 2;
    }
    std::ifstream in(o.file, std::ios::binary);
    std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    const size_t frameBytes = size_t(o.width) * o.height * 3 / 2;
    if (bytes.size() < frameBytes) {
        std::fprintf(stderr, "ddshow_demo: %s holds no whole %dx%d frame\n", o.file.c_str(), o.width, o.height);
        return 1;
    }
    std::string error;
    auto display = ostrels::x11::Display::open(nullptr, &error);
    if (!display) {
        std::fprintf(stderr, "ddshow_demo: %s\n", error.c_str());
        return 1;
    }
    const uint32_t window = display->createWindow(0, 0, o.windowWidth, o.windowHeight, "ddshow_demo");
    if (!window || !display->mapWindow(window, true) || !display->sync()) {
        std::fprintf(stderr, "ddshow_demo: cannot open a window\n");
        return 1;
    }

    Progress progress;
    progress.frames = int(bytes.size() / frameBytes);
    QN_DDR_EX_PARAM p{};
    p.hWnd = window;
    p.nWidth = o.width;
    p.nHeight = o.height;
    p.nMode = o.mode;
    p.pfnDraw = drawProgress;
    p.pUser = &progress;
    if (int r = qn_ddrInit_Ex(&p); r != 0) {
        std::fprintf(stderr, "ddshow_demo: qn_ddrInit_Ex gave %d\n", r);
        return 1;
    }

    _vm_screen picture{};
    picture.width = o.width;
    picture.height = o.height;
    picture.format = VM_FMT_YUV420;
    picture.planar.stride[0] = o.width;
    picture.planar.stride[1] = picture.planar.stride[2] = o.width / 2;
    const auto period = std::chrono::microseconds(1000000 / o.fps);
    auto next = std::chrono::steady_clock::now();
    bool announced = false;
    int failures = 0;
    for (int loop = 0; loop < o.loops; ++loop) {
        for (progress.frame = 0; progress.frame < progress.frames; ++progress.frame) {
            uint8_t* base = bytes.data() + size_t(progress.frame) * frameBytes;
            picture.planar.plane[0] = base;
            picture.planar.plane[1] = base + size_t(o.width) * o.height;
            picture.planar.plane[2] = picture.planar.plane[1] + size_t(o.width / 2) * (o.height / 2);
            p.pImage = &picture;
            if (qn_ddrDrawImage_Ex(&p) != 0) ++failures;
            if (!announced) {
                std::printf("shown %u\n", window);
                std::fflush(stdout);
                announced = true;
            }
            next += period;
            std::this_thread::sleep_until(next);
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(o.holdMs));
    qn_ddrUnInit_Ex(&p);
    display->destroyWindow(window);
    if (failures) std::fprintf(stderr, "ddshow_demo: %d frames failed\n", failures);
    return failures ? 1 : 0;
}
