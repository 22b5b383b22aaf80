// Frame rendering speed: one full-frame zoom view over a 1920 x 1080 source,
// in each remap mode, with clean maps (the steady state) and with a map
// rebuilt every frame (a view being dragged).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "qn_dewarp.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

struct Picture {
    std::vector<uint8_t> y, u, v;
    _vm_screen screen{};
    Picture(int w, int h) : y(size_t(w) * h), u(size_t(w / 2) * (h / 2), 128), v(u.size(), 128)
    {
        for (size_t i = 0; i < y.size(); ++i) y[i] = static_cast<uint8_t>((i * 31) ^ (i >> 11));
        screen.width = w;
        screen.height = h;
        screen.format = VM_FMT_YUV420;
        screen.planar.stride[0] = w;
        screen.planar.stride[1] = screen.planar.stride[2] = w / 2;
        screen.planar.plane[0] = y.data();
        screen.planar.plane[1] = u.data();
        screen.planar.plane[2] = v.data();
    }
};

struct Bench {
    QN_PRO_ENGINE* engine = nullptr;
    Picture source{kWidth, kHeight};
    Picture view{kWidth, kHeight};

    explicit Bench(int remap_mode)
    {
        QN_PRO_ENGINE_PARA p{};
        p.width = kWidth;
        p.height = kHeight;
        p.camera_code = 0x6000; // lens 0, 1920 x 1080 reference frame
        p.mount_angle = 90;
        p.circle_x = 960;
        p.circle_y = 540;
        p.circle_r = 540;
        qn_pro_CreateEngine(&engine, &p);
        QN_PRO_DST_CONFIG c{};
        c.id = 1;
        c.kind = QN_PRO_DST_ZOOM;
        c.screen = view.screen;
        c.effect.remap_mode = static_cast<int8_t>(remap_mode);
        c.posi.zoom.exponent = 1;
        c.posi.zoom.x = 960;
        c.posi.zoom.y = 540;
        c.posi.zoom.frame_width = kWidth;
        c.posi.zoom.frame_height = kHeight;
        qn_pro_AddDstImage(engine, &c, nullptr);
        frame(); // builds the map
    }
    ~Bench() { qn_pro_DestroyEngine(engine); }
    int frame()
    {
        QN_PRO_DST_INFO* table = nullptr;
        int records = 0;
        return qn_pro_ProcessVideo(engine, &source.screen, &table, &records);
    }
};

void BM_RenderFrame(benchmark::State& state)
{
    Bench bench(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(bench.frame());
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
// Remap modes: 0 bilinear, 1 cubic, 2 cubic and sharpening.
BENCHMARK(BM_RenderFrame)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_DraggedView(benchmark::State& state)
{
    Bench bench(0);
    float x = 900;
    for (auto _ : state) {
        QN_PRO_DST_POSI posi{};
        posi.zoom.exponent = 1;
        posi.zoom.x = x;
        posi.zoom.y = 540;
        posi.zoom.frame_width = kWidth;
        posi.zoom.frame_height = kHeight;
        x = x > 1000 ? 900 : x + 1;
        qn_pro_SetDstPosiByNo(bench.engine, &posi, 0);
        benchmark::DoNotOptimize(bench.frame());
    }
}
BENCHMARK(BM_DraggedView)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
