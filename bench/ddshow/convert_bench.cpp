// Cost per frame of the pixel routines the renderers run on the drawing
// thread, at 1080p.
#include <benchmark/benchmark.h>

#include <vector>

#include "colour_convert.h"

using namespace ostrels::ddshow;

namespace {

struct Frame {
    static constexpr int W = 1920, H = 1080;
    std::vector<uint8_t> y = std::vector<uint8_t>(size_t(W) * H, 120);
    std::vector<uint8_t> u = std::vector<uint8_t>(size_t(W / 2) * (H / 2), 100);
    std::vector<uint8_t> v = std::vector<uint8_t>(size_t(W / 2) * (H / 2), 160);
    _vm_screen screen{};
    Frame()
    {
        screen.width = W;
        screen.height = H;
        screen.format = VM_FMT_YUV420;
        screen.planar.stride[0] = W;
        screen.planar.stride[1] = screen.planar.stride[2] = W / 2;
        screen.planar.plane[0] = y.data();
        screen.planar.plane[1] = u.data();
        screen.planar.plane[2] = v.data();
    }
};

void PackUyvy(benchmark::State& state)
{
    Frame f;
    std::vector<uint8_t> out(size_t(Frame::W) * 2 * Frame::H);
    for (auto _ : state) {
        packUyvy(Frame::W, f.y.data(), f.u.data(), f.v.data(), out.data(), Frame::W, Frame::W / 2, Frame::W / 2,
                 Frame::W * 2, Frame::H);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(PackUyvy)->Unit(benchmark::kMillisecond);

void ConvertBgr24(benchmark::State& state)
{
    Frame f;
    YuvPlanes planes;
    yuvPlanesOf(f.screen, planes);
    std::vector<uint8_t> out(size_t(Frame::W) * 3 * Frame::H);
    for (auto _ : state) {
        convertToBgr24(planes, out.data(), Frame::W * 3, -Frame::H);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(ConvertBgr24)->Unit(benchmark::kMillisecond);

void ConvertScaled(benchmark::State& state)
{
    Frame f;
    const int factor = int(state.range(0));
    const int w = Frame::W / factor, h = Frame::H / factor;
    std::vector<uint8_t> out(size_t(w) * 4 * h);
    DibTarget target{w, h, w * 4, out.data()};
    for (auto _ : state) {
        convertScaled(f.screen, factor, factor, target);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(ConvertScaled)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

} // namespace
