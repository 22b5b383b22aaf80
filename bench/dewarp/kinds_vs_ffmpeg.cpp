// Rendering speed of the fisheye view kinds against FFmpeg's v360 filter,
// measured per frame as a user choosing between the two would see it:
//   (a) one 1920 x 1080 digital PTZ view      vs v360 output=flat
//   (b) one 3840 x 960 panorama                vs v360 output=equirect
//   (c) four 960 x 540 digital PTZ views in one engine vs four v360 outputs
// Both sides take the frames of a moving fisheye clip in turn, bilinear, on
// 1 and on 4 threads. v360, like the engine, builds its tables once, before
// its first frame: that set-up is left out by timing the steady frames only.
// FFmpeg's output is cropped to 2 x 2 (crop only moves pointers) and read
// through a pipe, and the median time between frames is taken; the same
// through crop alone, FFmpeg's reading of the raw input, is subtracted. The
// engine renders from settled maps, frames already in memory; its per-frame
// median is taken likewise. Repetitions are interleaved; the medians of
// their medians and the range are printed. For (a), a plain gather of the
// output's samples by precomputed offsets gives the lower bound of any
// per-frame render.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/processes.h"
#include "qn_dewarp.h"
#include "support/scoped_env.h"

namespace {

constexpr int kSide = 2048;
constexpr int kClipFrames = 16;   // distinct frames, in memory on the engine's side
constexpr int kTimedFrames = 48;  // frames per timed run
constexpr int kRepetitions = 5;
constexpr const char* kThreadsVariable = "QN_DEWARP_THREADS";

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median_of(std::vector<double> v)
{
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct Picture {
    std::vector<uint8_t> bytes;
    _vm_screen screen{};
    Picture(int w, int h) : bytes(size_t(w) * h * 3 / 2, 128)
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

struct Clip {
    std::string path;
    std::vector<std::unique_ptr<Picture>> frames;
};

// The clip in a folder of its own under the environment's temporary folder.
struct ScratchFolder {
    std::filesystem::path path;
    ScratchFolder()
    {
        path = std::filesystem::temp_directory_path() / ("qn_dewarp_bench_" + std::to_string(platform::CurrentProcessId()));
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

bool make_clip(const std::filesystem::path& folder, Clip& clip)
{
    clip.path = (folder / "fisheye.yuv").string();
    const std::string make = "ffmpeg -v error -nostdin -y -f lavfi -i testsrc2=s=4096x2048:r=25 -frames:v " +
                             std::to_string(kClipFrames) +
                             " -vf v360=input=e:output=fisheye:h_fov=185:v_fov=185:pitch=90:w=2048:h=2048 "
                             "-pix_fmt yuv420p -f rawvideo '" + clip.path + "'";
    if (std::system(make.c_str()) != 0) return false;
    FILE* f = std::fopen(clip.path.c_str(), "rb");
    if (!f) return false;
    for (int i = 0; i < kClipFrames; ++i) {
        auto frame = std::make_unique<Picture>(kSide, kSide);
        if (std::fread(frame->bytes.data(), 1, frame->bytes.size(), f) != frame->bytes.size()) break;
        clip.frames.push_back(std::move(frame));
    }
    std::fclose(f);
    return int(clip.frames.size()) == kClipFrames;
}

struct View {
    QN_PRO_DST_KIND kind;
    QN_PRO_DST_POSI posi;
};

// Median milliseconds per frame of ProcessVideo over settled maps, the clip's
// frames in turn, on `threads` render threads.
double engine_ms(const Clip& clip, const std::vector<View>& views, int w, int h, int threads)
{
    // The engine reads its thread count when it is made.
    std::optional<testing_support::ScopedEnv> threadCount(std::in_place, kThreadsVariable, std::to_string(threads).c_str());
    QN_PRO_ENGINE_PARA p{};
    p.width = p.height = kSide;
    p.camera_code = 0x8200; // the 185-degree lens, 1536 x 1536 reference frame
    p.mount_angle = 90;
    p.circle_x = p.circle_y = p.circle_r = kSide / 2;
    QN_PRO_ENGINE* engine = nullptr;
    const int created = qn_pro_CreateEngine(&engine, &p);
    threadCount.reset();
    if (created != 0) return -1;
    std::vector<std::unique_ptr<Picture>> pictures;
    for (const View& v : views) {
        pictures.push_back(std::make_unique<Picture>(w, h));
        QN_PRO_DST_CONFIG c{};
        c.id = static_cast<int>(pictures.size());
        c.kind = v.kind;
        c.screen = pictures.back()->screen;
        c.posi = v.posi;
        qn_pro_AddDstImage(engine, &c, nullptr);
    }
    QN_PRO_DST_INFO* table = nullptr;
    int records = 0;
    auto render = [&](int i) {
        _vm_screen source = clip.frames[i % clip.frames.size()]->screen;
        qn_pro_ProcessVideo(engine, &source, &table, &records);
    };
    for (int i = 0; i < 10; ++i) render(i); // settle the maps, start the threads
    std::vector<double> times;
    for (int i = 0; i < kTimedFrames; ++i) {
        const auto start = Clock::now();
        render(i);
        times.push_back(ms_since(start));
    }
    qn_pro_DestroyEngine(engine);
    return median_of(times);
}

// Median milliseconds between the frames of a graph's output, its first
// frames (and so its set-up) left out. The output is cropped to 2 x 2
// samples and every frame flushed through the pipe as it is made.
double ffmpeg_interval_ms(const Clip& clip, const std::string& graph, int threads)
{
    constexpr int kFrameBytes = 6; // 2 x 2 yuv420p
    constexpr int kSkipped = 2;
    // The graphs are complex ones (-filter_complex): their slice threads are
    // set by -filter_complex_threads, -filter_threads is for -vf graphs.
    const std::string command = "ffmpeg -v error -nostdin -threads 1 -filter_complex_threads " +
                                std::to_string(threads) + " -f rawvideo -pix_fmt yuv420p -s " + std::to_string(kSide) + "x" +
                                std::to_string(kSide) + " -stream_loop -1 -i '" + clip.path + "' -filter_complex '" +
                                graph + ",crop=2:2:0:0' -frames:v " + std::to_string(kTimedFrames + kSkipped) +
                                " -flush_packets 1 -f rawvideo -";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::setvbuf(pipe, nullptr, _IONBF, 0); // a frame counts when its last byte arrives
    std::vector<double> intervals;
    Clock::time_point last{};
    for (int frame = 0; frame < kTimedFrames + kSkipped; ++frame) {
        char bytes[kFrameBytes];
        int got = 0;
        while (got < kFrameBytes) {
            const std::size_t n = std::fread(bytes + got, 1, kFrameBytes - got, pipe);
            if (n == 0) break;
            got += static_cast<int>(n);
        }
        if (got < kFrameBytes) break;
        const Clock::time_point now = Clock::now();
        if (frame >= kSkipped) intervals.push_back(std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    }
    const int status = ::pclose(pipe);
    return status == 0 && int(intervals.size()) == kTimedFrames ? median_of(intervals) : -1;
}

// A digital PTZ direction: a rectilinear view of `fov` degrees across at
// `pan` and `tilt` (degrees above the horizon), of a ceiling-mounted
// 185-degree equidistant fisheye. Offsets of the luma and of the chroma
// samples, for the gather bounds.
struct GatherOffsets {
    std::vector<int32_t> luma, chroma;
};

GatherOffsets ptz_offsets(int w, int h, double pan, double tilt, double fov)
{
    const double radians = 3.14159265358979 / 180;
    const double focal = (w / 2.0) / std::tan(fov / 2 * radians);
    const double p = pan * radians, t = tilt * radians;
    auto source = [&](double x, double y, double& sx, double& sy) {
        // Camera ray, then turned by tilt (about x) and pan (about the vertical).
        const double cx = x - w / 2.0, cy = y - h / 2.0, cz = focal;
        const double ey = cy * std::cos(t) + cz * std::sin(t), ez = -cy * std::sin(t) + cz * std::cos(t);
        const double wx = cx * std::cos(p) + ez * std::sin(p), wz = -cx * std::sin(p) + ez * std::cos(p);
        // Looking down: angle from the nadir.
        const double length = std::sqrt(wx * wx + ey * ey + wz * wz);
        const double theta = std::acos(std::clamp(-(-ey) / length, -1.0, 1.0));
        const double radius = theta / (92.5 * radians) * (kSide / 2.0);
        const double phi = std::atan2(wz, wx);
        sx = std::clamp(kSide / 2.0 + radius * std::cos(phi), 0.0, kSide - 2.0);
        sy = std::clamp(kSide / 2.0 + radius * std::sin(phi), 0.0, kSide - 2.0);
    };
    GatherOffsets o;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double sx, sy;
            source(x, y, sx, sy);
            o.luma.push_back(int32_t(sy) * kSide + int32_t(sx));
        }
    for (int y = 0; y < h / 2; ++y)
        for (int x = 0; x < w / 2; ++x) {
            double sx, sy;
            source(2 * x + 1, 2 * y + 1, sx, sy);
            o.chroma.push_back(int32_t(sy / 2) * (kSide / 2) + int32_t(sx / 2));
        }
    return o;
}

// Median milliseconds per frame of gathering the output's samples (one tap, or the
// four taps summed without weights) from the clip's frames in turn.
double gather_ms(const Clip& clip, const GatherOffsets& o, bool four_taps, int w, int h)
{
    Picture out(w, h);
    auto plane = [&](const uint8_t* from, int32_t stride, const std::vector<int32_t>& offsets, uint8_t* to) {
        const size_t n = offsets.size();
        if (!four_taps) {
            for (size_t i = 0; i < n; ++i) to[i] = from[offsets[i]];
            return;
        }
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* a = from + offsets[i];
            to[i] = static_cast<uint8_t>((a[0] + a[1] + a[stride] + a[stride + 1]) >> 2);
        }
    };
    auto frame = [&](int i) {
        const _vm_screen& s = clip.frames[i % clip.frames.size()]->screen;
        plane(s.planar.plane[0], s.planar.stride[0], o.luma, out.screen.planar.plane[0]);
        plane(s.planar.plane[1], s.planar.stride[1], o.chroma, out.screen.planar.plane[1]);
        plane(s.planar.plane[2], s.planar.stride[2], o.chroma, out.screen.planar.plane[2]);
    };
    for (int i = 0; i < 4; ++i) frame(i);
    std::vector<double> times;
    for (int i = 0; i < kTimedFrames; ++i) {
        const auto start = Clock::now();
        frame(i);
        times.push_back(ms_since(start));
    }
    return median_of(times);
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

struct Samples {
    std::vector<double> values;
    void add(double v) { values.push_back(v); }
    double median() const { return median_of(values); }
    double low() const { return values.empty() ? 0 : *std::min_element(values.begin(), values.end()); }
    double high() const { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }
};

void print_samples(const char* label, const Samples& s)
{
    std::printf("  %-26s %7.2f ms  (%.2f .. %.2f)\n", label, s.median(), s.low(), s.high());
}

struct Case {
    const char* name;
    std::vector<View> views;
    int width, height;
    std::string v360; // the FFmpeg graph for the same output
    Samples engine[2], ffmpeg[2]; // 1 and 4 threads
};

}  // namespace

int main()
{
    const ScratchFolder folder;
    Clip clip;
    if (!make_clip(folder.path, clip)) {
        std::fprintf(stderr, "ffmpeg with the v360 filter is needed\n");
        return 1;
    }
    const std::string fish = "v360=input=fisheye:ih_fov=185:iv_fov=185:pitch=90:interp=linear:";
    const std::string flat = fish + "output=flat:h_fov=90:v_fov=58.7:w=1920:h=1080";
    QN_PRO_DST_POSI pano{};
    pano.panorama = {0, 360, 0, 80, 0};
    // Four outputs from one input: three end in null sinks, the fourth is
    // the output whose frames -frames:v counts.
    const std::string quarter = fish + "output=flat:h_fov=90:v_fov=58.7:w=960:h=540";
    const std::string four = "split=4[a][b][c][d];[a]" + quarter + ",nullsink;[b]" + quarter + ",nullsink;[c]" +
                             quarter + ",nullsink;[d]" + quarter;

    std::vector<Case> cases;
    cases.push_back({"(a) PTZ 1920x1080", {{QN_PRO_DST_DPTZ, ptz(30, 40)}}, 1920, 1080, flat, {}, {}});
    cases.push_back({"(b) panorama 3840x960", {{QN_PRO_DST_PANORAMA, pano}}, 3840, 960,
                     fish + "output=equirect:w=3840:h=960", {}, {}});
    cases.push_back({"(c) four PTZ 960x540",
                     {{QN_PRO_DST_DPTZ, ptz(0, 40)}, {QN_PRO_DST_DPTZ, ptz(90, 40)}, {QN_PRO_DST_DPTZ, ptz(180, 40)},
                      {QN_PRO_DST_DPTZ, ptz(270, 40)}},
                     960, 540, four, {}, {}});

    const GatherOffsets offsets = ptz_offsets(1920, 1080, 30, 40, 90);
    Samples reading[2], one_tap, four_taps;
    const int threads[2] = {1, 4};
    for (int rep = 0; rep < kRepetitions; ++rep) {
        for (int t = 0; t < 2; ++t) reading[t].add(ffmpeg_interval_ms(clip, "null", threads[t]));
        for (Case& c : cases)
            for (int t = 0; t < 2; ++t) {
                c.engine[t].add(engine_ms(clip, c.views, c.width, c.height, threads[t]));
                c.ffmpeg[t].add(ffmpeg_interval_ms(clip, c.v360, threads[t]));
            }
        one_tap.add(gather_ms(clip, offsets, false, 1920, 1080));
        four_taps.add(gather_ms(clip, offsets, true, 1920, 1080));
        std::fprintf(stderr, "repetition %d of %d done\n", rep + 1, kRepetitions);
    }

    const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
    std::printf("%ld cores; %d-frame clip, %d timed frames per run; medians of per-frame medians (and their range)"
                " over %d interleaved repetitions\n",
                cores, kClipFrames, kTimedFrames, kRepetitions);
    std::printf("FFmpeg input reading per frame: 1 thread %.2f ms, 4 threads %.2f ms (subtracted below)\n\n",
                reading[0].median(), reading[1].median());
    for (Case& c : cases) {
        std::printf("%s\n", c.name);
        double engine[2], v360[2];
        for (int t = 0; t < 2; ++t) {
            Samples ffmpeg_net;
            for (size_t i = 0; i < c.ffmpeg[t].values.size(); ++i)
                ffmpeg_net.add(c.ffmpeg[t].values[i] - reading[t].values[i]);
            const std::string suffix = t == 0 ? ", 1 thread" : ", 4 threads";
            print_samples(("engine" + suffix).c_str(), c.engine[t]);
            print_samples(("v360" + suffix).c_str(), ffmpeg_net);
            engine[t] = c.engine[t].median();
            v360[t] = ffmpeg_net.median();
        }
        std::printf("  v360 / engine: 1 thread %.2f, 4 threads %.2f; engine 1 / 4 threads: %.2f\n\n",
                    v360[0] / engine[0], v360[1] / engine[1], engine[0] / engine[1]);
    }
    std::printf("Lower bound for (a), one thread:\n");
    print_samples("gather, one tap", one_tap);
    print_samples("gather, four taps", four_taps);
    std::printf("  engine (a) / one-tap gather: %.2f\n", cases[0].engine[0].median() / one_tap.median());
    return 0;
}
