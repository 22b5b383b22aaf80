// One frame of the video window's road at 1080p: H.264 decoding, the picture
// ring, the unwrap into the four views of the ceiling layout "1O3P" at
// 1280 x 720, and the display library's draw into a window. The drawing
// period is 40 ms; run on one core (taskset -c 0) with $DISPLAY set. Without
// a display the draw step is left out and said so.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QWidget>

#include "access_units.h"
#include "picture_ring.h"
#include "platform/paths.h"
#include "qnVideoDecoderFFMPEG.h"
#include "qn_ddshow.h"
#include "qn_pano.h"
#include "view_layout.h"

namespace {

constexpr int kSourceW = 1920, kSourceH = 1080, kOutW = 1280, kOutH = 720;

std::vector<std::vector<uint8_t>> FisheyeUnits()
{
    const std::string exe = platform::ExecutablePath();
    const std::string path = exe.substr(0, exe.rfind('/')) + "/pipeline_bench.h264";
    const std::string command =
        "ffmpeg -hide_banner -nostdin -loglevel error -y -f lavfi -i "
        "'testsrc2=s=2160x1080:r=25,v360=input=e:output=fisheye:h_fov=180:v_fov=180:pitch=90:w=1080:h=1080,"
        "pad=1920:1080:420:0' -frames:v 50 -c:v libx264 -preset veryfast -bf 0 -g 25 -pix_fmt yuv420p -f h264 '" +
        path + "'";
    if (std::system(command.c_str()) != 0) return {};
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    std::remove(path.c_str());
    return player_test::SplitAccessUnits(bytes);
}

void PipelineFrame(benchmark::State& state)
{
    static const std::vector<std::vector<uint8_t>> units = FisheyeUnits();
    if (units.empty()) {
        state.SkipWithError("ffmpeg could not make the 1080p stream");
        return;
    }
    qnVideoDecoderFFMPEG decoder;
    decoder.start();
    PictureRing ring;

    QN_PANO_CREATE_PARAM param{};
    param.format = VM_FMT_YUV420;
    param.src_width = kSourceW;
    param.src_height = kSourceH;
    param.out_width = kOutW;
    param.out_height = kOutH;
    param.camera_code = 0x6020;
    param.mount_tilt = 90;
    param.circle_x = 960;
    param.circle_y = 540;
    param.circle_r = 540;
    param.window = 1;
    QN_PANO_CONTEXT* context = nullptr;
    _vm_screen* work = nullptr;
    const std::string exe = platform::ExecutablePath();
    const std::string layout = QnLayoutPath(exe.substr(0, exe.rfind('/')), 90, 2);
    if (qnPanoCreate(&context, &param, &work) != 0 || qnPanoLoadLayout(context, layout.c_str(), nullptr) != 0) {
        if (context) qnPanoDestroy(context);
        state.SkipWithError("the panorama context could not be made");
        return;
    }

    std::unique_ptr<QWidget> window;
    QN_DDR_EX_PARAM display{};
    if (qApp) {
        window.reset(new QWidget);
        window->setAttribute(Qt::WA_NativeWindow);
        window->setAttribute(Qt::WA_PaintOnScreen);
        window->resize(kOutW, kOutH);
        window->show();
        QApplication::processEvents();
        display.hWnd = QN_DDR_WINDOW(window->winId());
        display.nWidth = kOutW;
        display.nHeight = kOutH;
        display.pImage = work;
        display.nMode = 1;
        if (qn_ddrInit_Ex(&display) != 0) display.hRender = nullptr;
    }
    if (!display.hRender) state.SetLabel("no display: the draw step is left out");

    size_t next = 0;
    for (auto _ : state) {
        const std::vector<uint8_t>& unit = units[next];
        next = (next + 1) % units.size();
        if (_vm_screen* picture = decoder.decode(unit.data(), int(unit.size()))) ring.put(*picture);
        const int slot = ring.takeForDrawing();
        if (slot >= 0) {
            qnPanoProcessVideo(context, ring.picture(slot));
            ring.releaseDrawn(slot);
        }
        if (display.hRender) qn_ddrDrawImage_Ex(&display);
    }
    if (display.hRender) qn_ddrUnInit_Ex(&display);
    qnPanoDestroy(context);
    decoder.stop();
}
BENCHMARK(PipelineFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    std::unique_ptr<QApplication> app;
    const auto display = platform::GetEnv("DISPLAY");
    if (display && !display->empty()) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        app.reset(new QApplication(argc, argv));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
