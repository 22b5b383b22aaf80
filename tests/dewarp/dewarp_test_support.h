// Helpers shared by the engine's tests: pictures, engines and FFmpeg.
#ifndef OSTRELS_TESTS_DEWARP_SUPPORT_H
#define OSTRELS_TESTS_DEWARP_SUPPORT_H

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "qn_dewarp.h"
#include "support/file_bytes.h"
#include "support/run_command.h"
#include "support/yuv_picture.h"

namespace dewarp_test {

// A planar 4:2:0 picture, black, with its record made for `format`.
struct Yuv : testing_support::YuvPicture {
    Yuv(int w, int h, int format = VM_FMT_YUV420) : YuvPicture(w, h)
    {
        fill(0, 128, 128);
        record(format);
    }
    uint8_t Y(int x, int yy) const { return y[size_t(yy) * width + x]; }
};

// A view rectangle inside the work picture (even corners).
inline _vm_screen sub_picture(const Yuv& work, int x, int y, int w, int h)
{
    _vm_screen s = work.screen;
    s.width = w;
    s.height = h;
    s.planar.plane[0] = work.screen.planar.plane[0] + y * work.screen.planar.stride[0] + x;
    for (int p = 1; p < 3; ++p) s.planar.plane[p] = work.screen.planar.plane[p] + (y / 2) * work.screen.planar.stride[p] + x / 2;
    return s;
}

// Runs a shell command and returns what it wrote to stdout.
inline std::string run_capture(const std::string& command) { return testing_support::RunCommand(command).output; }

// One frame of an FFmpeg filter graph as raw yuv420p (full range for
// yuvj420p), read into a picture of the given size. False on a short read.
inline bool ffmpeg_frame(const std::string& graph, const char* pix_fmt, Yuv& out)
{
    const std::string bytes = run_capture("ffmpeg -v error -f lavfi -i '" + graph + "' -frames:v 1 -pix_fmt " +
                                          pix_fmt + " -f rawvideo - 2>/dev/null");
    if (bytes.size() != out.y.size() + out.u.size() + out.v.size()) return false;
    return out.loadFile(bytes.data(), bytes.size());
}

// Writes bytes to a file; false on failure.
inline bool write_file(const std::string& path, const std::vector<uint8_t>& bytes)
{
    return testing_support::WriteFileBytes(path, bytes);
}

// The real ImageMagick, run on a raw 8-bit grey picture; the raw grey
// result, or empty on failure.
inline std::string imagemagick_gray(const std::string& input, int w, int h, const std::string& operations)
{
    return run_capture("/usr/bin/convert -size " + std::to_string(w) + "x" + std::to_string(h) + " -depth 8 gray:" +
                       input + " " + operations + " -depth 8 gray:- 2>/dev/null");
}

inline QN_PRO_ENGINE_PARA engine_para(int32_t code, int w, int h, float cx, float cy, float r, int mount = 90)
{
    QN_PRO_ENGINE_PARA p{};
    p.width = w;
    p.height = h;
    p.camera_code = code;
    p.mount_angle = mount;
    p.circle_x = cx;
    p.circle_y = cy;
    p.circle_r = r;
    return p;
}

// A zoom view config rendering into `into` (or allocated when null).
inline QN_PRO_DST_CONFIG zoom_config(int w, int h, const Yuv* into, int id = 1)
{
    QN_PRO_DST_CONFIG c{};
    c.id = id;
    c.kind = QN_PRO_DST_ZOOM;
    if (into) c.screen = into->screen;
    c.screen.width = w;
    c.screen.height = h;
    c.screen.format = into ? into->screen.format : VM_FMT_YUV420;
    return c;
}

// A view of `kind` at `posi` rendering into `into`.
inline QN_PRO_DST_CONFIG view_config(int kind, int id, const Yuv& into, const QN_PRO_DST_POSI& posi)
{
    QN_PRO_DST_CONFIG c{};
    c.id = id;
    c.kind = kind;
    c.screen = into.screen;
    c.posi = posi;
    return c;
}

inline double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    return testing_support::Psnr(a.data(), b.data(), a.size());
}

}  // namespace dewarp_test

#endif
