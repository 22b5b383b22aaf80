// Rendering speed of the fisheye view kinds against FFmpeg's v360 filter on
// the same input and output sizes, one thread each, bilinear:
//   (a) one 1920 x 1080 digital PTZ view      vs v360 output=flat
//   (b) one 3840 x 960 panorama                vs v360 output=equirect
//   (c) four 960 x 540 digital PTZ views in one engine
// The engine renders from settled maps, so a frame is a gather and a blend
// per pixel; FFmpeg computes its projection every frame.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "qn_dewarp.h"

namespace {

constexpr int kSide = 2048;
constexpr int kFrames = 60;

struct Picture {
    int width, height;
    std::vector<uint8_t> bytes;
    _vm_screen screen{};
    Picture(int w, int h) : width(w), height(h), bytes(size_t(w) * h * 3 / 2, 128)
    {
        screen.width = w;
        screen.height = h;
        screen.format = VM_FMT_YUV420;
        screen.planar.stride[0] = w;
        screen.planar.stride[1] = screen.planar.stride[2] = w / 2;
        screen.planar.plane[0] = bytes.data();
        screen.planar.plane[1] = bytes.data() + size_t(w) * h;
        screen.planar.plane[2] = screen.planar.plane[1] + size_t(w / 2) * (h / 2);
    }
};

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Milliseconds per frame of ProcessVideo over settled maps.
double engine_ms(const Picture& fisheye, const std::vector<std::pair<QN_PRO_DST_KIND, QN_PRO_DST_POSI>>& views,
                 int w, int h)
{
    QN_PRO_ENGINE_PARA p{};
    p.width = p.height = kSide;
    p.camera_code = 0x8200; // the 185-degree lens, 1536 x 1536 reference frame
    p.mount_angle = 90;
    p.circle_x = p.circle_y = p.circle_r = kSide / 2;
    QN_PRO_ENGINE* engine = nullptr;
    if (qn_pro_CreateEngine(&engine, &p) != 0) return -1;
    std::vector<std::unique_ptr<Picture>> pictures;
    for (const auto& [kind, posi] : views) {
        pictures.push_back(std::make_unique<Picture>(w, h));
        QN_PRO_DST_CONFIG c{};
        c.id = static_cast<int>(pictures.size());
        c.kind = kind;
        c.screen = pictures.back()->screen;
        c.posi = posi;
        qn_pro_AddDstImage(engine, &c, nullptr);
    }
    QN_PRO_DST_INFO* table = nullptr;
    int records = 0;
    _vm_screen source = fisheye.screen;
    for (int i = 0; i < 20; ++i) qn_pro_ProcessVideo(engine, &source, &table, &records); // settle the maps
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kFrames; ++i) qn_pro_ProcessVideo(engine, &source, &table, &records);
    const double ms = seconds_since(start) * 1000 / kFrames;
    qn_pro_DestroyEngine(engine);
    return ms;
}

// Milliseconds per frame of FFmpeg's v360 (including its reading of the raw
// input, which a decoder would also pay).
double ffmpeg_ms(const std::string& input, const std::string& filter)
{
    const std::string command = "ffmpeg -v error -threads 1 -filter_threads 1 -f rawvideo -pix_fmt yuv420p -s " +
                                std::to_string(kSide) + "x" + std::to_string(kSide) + " -stream_loop " +
                                std::to_string(kFrames - 1) + " -i " + input + " -vf " + filter + " -f null -";
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    return seconds_since(start) * 1000 / kFrames;
}

QN_PRO_DST_POSI ptz(float pan, float tilt)
{
    QN_PRO_DST_POSI p{};
    p.dptz.fov = 90;
    p.dptz.pan = pan;
    p.dptz.tilt = tilt;
    p.dptz.zoom = 1;
    return p;
}

void report(const char* what, double ours, double theirs)
{
    std::printf("%-34s engine %7.2f ms   ffmpeg %7.2f ms   ratio %5.2f\n", what, ours, theirs,
                ours > 0 && theirs > 0 ? theirs / ours : 0.0);
}

}  // namespace

int main()
{
    const std::string input = "/tmp/qn_dewarp_bench_fisheye.yuv";
    const std::string make = "ffmpeg -v error -y -f lavfi -i testsrc2=s=4096x2048 -frames:v 1 -vf "
                             "v360=input=e:output=fisheye:h_fov=185:v_fov=185:pitch=90:w=2048:h=2048 "
                             "-pix_fmt yuv420p -f rawvideo " + input;
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "ffmpeg with the v360 filter is needed\n");
        return 1;
    }
    Picture fisheye(kSide, kSide);
    FILE* f = std::fopen(input.c_str(), "rb");
    if (!f || std::fread(fisheye.bytes.data(), 1, fisheye.bytes.size(), f) != fisheye.bytes.size()) return 1;
    std::fclose(f);
    const std::string fish_in = "v360=input=fisheye:ih_fov=185:iv_fov=185:pitch=90:interp=linear:";

    const double a = engine_ms(fisheye, {{QN_PRO_DST_DPTZ, ptz(30, 40)}}, 1920, 1080);
    const double fa = ffmpeg_ms(input, fish_in + "output=flat:h_fov=90:v_fov=58.7:w=1920:h=1080");
    report("(a) PTZ 1920x1080", a, fa);

    QN_PRO_DST_POSI pano{};
    pano.panorama = {0, 360, 0, 80, 0};
    const double b = engine_ms(fisheye, {{QN_PRO_DST_PANORAMA, pano}}, 3840, 960);
    const double fb = ffmpeg_ms(input, fish_in + "output=equirect:w=3840:h=960");
    report("(b) panorama 3840x960", b, fb);

    const double c = engine_ms(fisheye,
                               {{QN_PRO_DST_DPTZ, ptz(0, 40)}, {QN_PRO_DST_DPTZ, ptz(90, 40)},
                                {QN_PRO_DST_DPTZ, ptz(180, 40)}, {QN_PRO_DST_DPTZ, ptz(270, 40)}},
                               960, 540);
    std::printf("%-34s engine %7.2f ms\n", "(c) four PTZ 960x540", c);
    return 0;
}
