// The panorama control context on the real projection engine: the shipped
// layouts rendered from an FFmpeg-made fisheye, the fitting arithmetic, the
// engine's view limit, the lock's give-up, mouse control and tours, each
// checked through the engine's own read-back calls.
#include <gtest/gtest.h>

#include <cmath>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include "picture_files.h"
#include "platform/paths.h"
#include "qn_imageprocess.h"
#include "qn_pano.h"
#include "qn_pano_test_seam.h"
#include "support/run_command.h"
#include "support/stepping_clock.h"
#include "support/temp_folder.h"
#include "view_layout.h"

namespace {

using testing_support::RunCommand;

constexpr int kSourceW = 640, kSourceH = 480;
constexpr int kOutW = 800, kOutH = 600;
// 640x480 has no frame of its own: its code names the 768x576 frame.
constexpr int kCameraCode = 0x1020;

std::string ProgramFolder()
{
    return std::filesystem::path(platform::ExecutablePath()).parent_path().string();
}

struct Picture {
    _vm_screen* p = nullptr;
    Picture(int w, int h) { EXPECT_EQ(qnCreateImage(&p, w, h, VM_FMT_YUV420), 0); }
    ~Picture()
    {
        if (p) qnReleaseImage(&p);
    }
};

// A fisheye of FFmpeg's test pattern as a camera on that mount sees it: the
// 480-pixel circle in the middle of a 640x480 frame.
bool MakeFisheye(int mount, const std::string& folder, _vm_screen& out)
{
    const std::string raw = folder + "/fisheye.yuv";
    const std::string graph = "testsrc2=s=1536x768,v360=input=e:output=fisheye:h_fov=180:v_fov=180:pitch=" +
                              std::to_string(mount) + ":w=480:h=480,pad=640:480:80:0";
    if (RunCommand("ffmpeg -hide_banner -nostdin -loglevel error -y -f lavfi -i '" + graph +
                   "' -frames:v 1 -pix_fmt yuv420p -f rawvideo '" + raw + "'")
            .exitCode != 0)
        return false;
    std::vector<uint8_t> bytes;
    if (!player_test::ReadFileBytes(raw, bytes)) return false;
    const player_test::RawYuv frame = player_test::FrameOf(bytes, kSourceW, kSourceH, 0);
    if (frame.bytes.size() != frame.FrameSize()) return false;
    player_test::FillFromRaw(frame, out);
    return true;
}

bool SavePng(const _vm_screen& picture, const std::string& folder, const std::string& png)
{
    const std::string raw = folder + "/work.yuv";
    if (!player_test::WriteFileBytes(raw, player_test::ToRaw(picture).bytes)) return false;
    return RunCommand("ffmpeg -hide_banner -nostdin -loglevel error -y -f rawvideo -pix_fmt yuv420p -s " +
                      std::to_string(picture.width) + "x" + std::to_string(picture.height) + " -i '" + raw +
                      "' '" + png + "'")
               .exitCode == 0;
}

QN_PANO_CREATE_PARAM Param(int mount)
{
    QN_PANO_CREATE_PARAM p{};
    p.format = VM_FMT_YUV420;
    p.src_width = kSourceW;
    p.src_height = kSourceH;
    p.out_width = kOutW;
    p.out_height = kOutH;
    p.camera_code = kCameraCode;
    p.mount_tilt = mount;
    p.circle_x = 320;
    p.circle_y = 240;
    p.circle_r = 240;
    p.ref_circle_x = 384; // the same circle in the 768x576 frame
    p.ref_circle_y = 288;
    p.ref_circle_r = 288;
    p.window = 1;
    return p;
}

struct Context {
    QN_PANO_CONTEXT* c = nullptr;
    _vm_screen* work = nullptr;
    explicit Context(int mount, QN_PANO_CREATE_PARAM p = {})
    {
        if (p.format == 0) p = Param(mount);
        EXPECT_EQ(qnPanoCreate(&c, &p, &work), 0);
    }
    ~Context()
    {
        if (c) qnPanoDestroy(c);
    }
    QN_PRO_ENGINE* Engine() { return qnPanoEngine(c, 0); }
    QN_PRO_DST_EFFECT Effect(int n)
    {
        QN_PRO_DST_EFFECT e{};
        EXPECT_EQ(qn_pro_GetDstEffectNo(Engine(), &e, n), 0);
        return e;
    }
    QN_PRO_DST_POSI Posi(int n)
    {
        QN_PRO_DST_POSI p{};
        EXPECT_EQ(qn_pro_GetDstPosi(Engine(), &p, n), 0);
        return p;
    }
    int EngineViews()
    {
        QN_PRO_DST_INFO* table = nullptr;
        int views = -1;
        EXPECT_EQ(qn_pro_GetDstList(Engine(), &table, &views), 0);
        return views;
    }
};

// Mouse calls at a point of an 800x600 window.
int Press(QN_PANO_CONTEXT* c, int x, int y)
{
    const QN_PANO_POINT p{float(x), float(y), kOutW, kOutH};
    return qnPanoMousePress(c, &p);
}
int Move(QN_PANO_CONTEXT* c, int x, int y)
{
    const QN_PANO_POINT p{float(x), float(y), kOutW, kOutH};
    return qnPanoMouseMove(c, &p);
}
int Release(QN_PANO_CONTEXT* c, int x, int y)
{
    const QN_PANO_POINT p{float(x), float(y), kOutW, kOutH};
    return qnPanoMouseRelease(c, &p);
}

bool AllGrey(const _vm_screen& picture, int top, int bottom)
{
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < picture.width; ++x)
            if (picture.planar.plane[0][y * picture.planar.stride[0] + x] != 128) return false;
    return true;
}

std::string WriteText(const std::string& folder, const std::string& name, const std::string& text)
{
    const std::string path = folder + "/" + name;
    std::ofstream(path) << text;
    return path;
}

// A layout of DPTZ views with the given rectangles, IDs and control modes.
std::string PtzLayout(const std::vector<std::array<int, 6>>& views, int refW = 0, int refH = 0)
{
    std::string t = "Model ID: T-PTZ\nDRW: " + std::to_string(refW) + "\nDRH: " + std::to_string(refH) +
                    "\nDSN: " + std::to_string(views.size()) + "\n";
    char line[512];
    for (size_t n = 0; n < views.size(); ++n) {
        const auto& v = views[n];
        std::snprintf(line, sizeof line,
                      "SD_%03zu:\nSDT_%03zu: %d\nSDI_%03zu: %d\nSDC_%03zu: %d\nSDR_%03zu_1: %d;SDR_%03zu_2: %d;"
                      "SDR_%03zu_3: %d;SDR_%03zu_4: %d;\nSDS_%03zu_2:\n;SDSM_%03zu_2_07: 1;SDSM_%03zu_2_08: 5;\n"
                      "SDPI_%03zu_5_1: 60;SDPI_%03zu_5_4: %d.000;SDPI_%03zu_5_5: 40.000;SDPI_%03zu_5_6: 1.000;\n",
                      n, n, v[4] < 0 ? 0 : 5, n, v[4] < 0 ? -v[4] : v[4], n, v[5], n, v[0], n, v[1], n, v[2], n,
                      v[3], n, n, n, n, n, int(n) * 90, n, n);
        t += line;
    }
    return t;
}

TEST(PanoContext, CreateRefusesBadRecords)
{
    struct Case {
        const char* what;
        void (*change)(QN_PANO_CREATE_PARAM&);
    };
    const Case cases[] = {
        {"zero output width", [](QN_PANO_CREATE_PARAM& p) { p.out_width = 0; }},
        {"negative output height", [](QN_PANO_CREATE_PARAM& p) { p.out_height = -8; }},
        {"zero source size", [](QN_PANO_CREATE_PARAM& p) { p.src_width = 0; p.second_engine = 1; }},
        {"packed format", [](QN_PANO_CREATE_PARAM& p) { p.format = VM_FMT_BGR24; }},
        {"no window", [](QN_PANO_CREATE_PARAM& p) { p.window = 0; }},
    };
    for (const Case& c : cases) {
        QN_PANO_CREATE_PARAM p = Param(90);
        c.change(p);
        QN_PANO_CONTEXT* context = nullptr;
        _vm_screen* work = nullptr;
        EXPECT_EQ(qnPanoCreate(&context, &p, &work), 2) << c.what;
        EXPECT_EQ(context, nullptr) << c.what;
    }
    QN_PANO_CREATE_PARAM p = Param(90);
    _vm_screen* work = nullptr;
    EXPECT_EQ(qnPanoCreate(nullptr, &p, &work), 2);
    EXPECT_EQ(qnPanoDestroy(nullptr), 2);
    EXPECT_EQ(qnPanoProcessVideo(nullptr, nullptr), 2);

    // The second engine works on a picture of about the source's area.
    p.second_engine = 1;
    Context two(90, p);
    ASSERT_NE(qnPanoEngine(two.c, 1), nullptr);
    EXPECT_EQ(two.work->width, kOutW);
    EXPECT_EQ(qnPanoLoadLayout(two.c, QnLayoutPath(ProgramFolder(), 90, 1).c_str(), nullptr), 0);
    QN_PRO_DST_INFO* table = nullptr;
    int views = 0;
    EXPECT_EQ(qn_pro_GetDstList(qnPanoEngine(two.c, 1), &table, &views), 0);
    EXPECT_EQ(views, 5);
    QN_PRO_DST_CONFIG config{};
    ASSERT_EQ(qn_pro_GetDstConfig(qnPanoEngine(two.c, 1), &config, 0), 0);
    EXPECT_EQ(config.screen.height, 400) << "an output over 1.2 times the source's area is used as it is";
}

TEST(PanoContext, ShippedLayoutsRenderTheFisheye)
{
    testing_support::TempFolder temp;
    const std::string shots = std::filesystem::temp_directory_path().string() + "/ostrels-pano-layouts";
    std::filesystem::create_directories(shots);
    for (int mount : {0, 90, -90}) {
        Picture fisheye(kSourceW, kSourceH);
        ASSERT_TRUE(MakeFisheye(mount, temp.Path(), *fisheye.p));
        for (int model = 0; model < 3; ++model) {
            const std::string path = QnLayoutPath(ProgramFolder(), mount, model);
            SCOPED_TRACE(path);
            auto layout = std::make_unique<QnViewLayout>();
            ASSERT_TRUE(QnReadLayoutFile(path, *layout));
            Context c(mount);
            ASSERT_EQ(qnPanoLoadLayout(c.c, path.c_str(), nullptr), 0);
            ASSERT_EQ(qnPanoViewCount(c.c), layout->view_count);
            ASSERT_EQ(c.EngineViews(), layout->view_count);
            for (int n = 0; n < layout->view_count; ++n) {
                int32_t rect[4];
                ASSERT_TRUE(qnPanoViewRect(c.c, n, rect));
                QN_PRO_DST_CONFIG config{};
                ASSERT_EQ(qn_pro_GetDstConfig(c.Engine(), &config, n), 0);
                EXPECT_EQ(config.id, layout->views[n].id);
                EXPECT_EQ(config.kind, layout->views[n].kind);
                EXPECT_EQ(config.screen.width, rect[2] - rect[0]);
                EXPECT_EQ(config.screen.height, rect[3] - rect[1]);
                EXPECT_EQ(config.screen.planar.plane[0],
                          c.work->planar.plane[0] + rect[1] * c.work->planar.stride[0] + rect[0])
                    << "the view renders in place";
                EXPECT_EQ(config.screen.planar.plane[2],
                          c.work->planar.plane[2] + rect[1] / 2 * c.work->planar.stride[2] + rect[0] / 2);
                EXPECT_EQ(c.Effect(n).border_width, 2) << "the normal state's outline";
                EXPECT_EQ(c.Effect(n).border, 1);
            }
            ASSERT_EQ(qnPanoProcessVideo(c.c, fisheye.p), 0);
            // Every view shows the scene, not the grey it started from.
            for (int n = 0; n < layout->view_count; ++n) {
                int32_t r[4];
                qnPanoViewRect(c.c, n, r);
                long grey = 0, all = 0;
                for (int y = r[1] + 6; y < r[3] - 6; ++y)
                    for (int x = r[0] + 6; x < r[2] - 6; ++x, ++all)
                        grey += c.work->planar.plane[0][y * c.work->planar.stride[0] + x] == 128;
                EXPECT_LT(grey, all / 4) << "view " << n;
            }
            const std::string name = std::filesystem::path(path).parent_path().filename().string() + "-" +
                                     std::filesystem::path(path).stem().string() + ".png";
            EXPECT_TRUE(SavePng(*c.work, temp.Path(), shots + "/" + name));
        }
    }
}

TEST(PanoContext, WideLayoutOnFourByThreeLeavesEqualBands)
{
    Context c(0);
    ASSERT_EQ(qnPanoLoadLayout(c.c, QnLayoutPath(ProgramFolder(), 0, 1).c_str(), nullptr), 0);
    // 1920x1080 in 800x600: 450 rows, o = 150, the area from 74 to 600 - 2 x 37 = 526. View corners are
    // rounded down to multiples of 4 inside it, so the lowest edge is 524 and the bands are 74 and 76 rows.
    int top = kOutH, bottom = 0;
    for (int n = 0; n < qnPanoViewCount(c.c); ++n) {
        int32_t r[4];
        ASSERT_TRUE(qnPanoViewRect(c.c, n, r));
        top = std::min(top, int(r[1]));
        bottom = std::max(bottom, int(r[3]));
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(r[i] % 4 == 0 || r[i] == 74) << "view " << n << " corner " << i << ": " << r[i];
    }
    EXPECT_EQ(top, 74) << "the area's top, which is not rounded";
    EXPECT_EQ(bottom, 524);
    testing_support::TempFolder temp;
    Picture fisheye(kSourceW, kSourceH);
    ASSERT_TRUE(MakeFisheye(0, temp.Path(), *fisheye.p));
    ASSERT_EQ(qnPanoProcessVideo(c.c, fisheye.p), 0);
    EXPECT_TRUE(AllGrey(*c.work, 0, top));
    EXPECT_TRUE(AllGrey(*c.work, bottom, kOutH));
    EXPECT_FALSE(AllGrey(*c.work, top, top + 8));
    EXPECT_FALSE(AllGrey(*c.work, bottom - 8, bottom));
}

TEST(PanoContext, DroppedViewsAndTheEngineLimit)
{
    testing_support::TempFolder temp;
    Context c(90);
    // The middle view has no kind: the last one moves up.
    const std::string three = WriteText(temp.Path(), "three.txt",
                                        PtzLayout({{0, 0, 840, 2520, 11, 0}, {840, 0, 1680, 2520, -12, 0},
                                                   {1680, 0, 2520, 2520, 13, 0}}));
    ASSERT_EQ(qnPanoLoadLayout(c.c, three.c_str(), nullptr), 0);
    ASSERT_EQ(c.EngineViews(), 2);
    QN_PRO_DST_CONFIG config{};
    ASSERT_EQ(qn_pro_GetDstConfig(c.Engine(), &config, 1), 0);
    EXPECT_EQ(config.id, 13);
    EXPECT_EQ(config.screen.width, 268) << "from 800 x 1680 / 2520 = 533.3, rounded down to 532, to the right edge";

    // 200 views: the engine takes 128 and refuses the next with 4.
    std::vector<std::array<int, 6>> many;
    for (int n = 0; n < 200; ++n) many.push_back({(n % 20) * 126, (n / 20) * 252, (n % 20 + 1) * 126, (n / 20 + 1) * 252, n + 1, 0});
    const std::string crowd = WriteText(temp.Path(), "crowd.txt", PtzLayout(many));
    EXPECT_EQ(qnPanoLoadLayout(c.c, crowd.c_str(), nullptr), 4);
    EXPECT_EQ(c.EngineViews(), 128);
    EXPECT_EQ(qnPanoViewCount(c.c), 128);

    // A missing file changes nothing.
    EXPECT_EQ(qnPanoLoadLayout(c.c, (temp.Path() + "/none.txt").c_str(), nullptr), 2);
    EXPECT_EQ(c.EngineViews(), 128);
}

// Holds the context's lock on another thread until the test lets go.
class LockHolder {
public:
    explicit LockHolder(QN_PANO_CONTEXT* c)
        : thread_([this, c] {
              QnPanoHold* hold = qnPanoHoldLock(c);
              held_.set_value();
              release_.get_future().wait();
              qnPanoReleaseLock(hold);
          })
    {
        held_.get_future().wait();
    }
    ~LockHolder()
    {
        release_.set_value();
        thread_.join();
    }

private:
    std::promise<void> held_, release_;
    std::thread thread_;
};

TEST(PanoContext, BusyEngineMakesCallsGiveUp)
{
    testing_support::TempFolder temp;
    Picture fisheye(kSourceW, kSourceH);
    ASSERT_TRUE(MakeFisheye(90, temp.Path(), *fisheye.p));
    Context c(90);
    ASSERT_EQ(qnPanoLoadLayout(c.c, QnLayoutPath(ProgramFolder(), 90, 1).c_str(), nullptr), 0);
    const QN_PRO_DST_EFFECT before = c.Effect(1);
    {
        LockHolder busy(c.c);
        EXPECT_EQ(Press(c.c, 500, 200), 0);
        EXPECT_EQ(qnPanoLoadLayout(c.c, QnLayoutPath(ProgramFolder(), 0, 0).c_str(), nullptr), 0);
        EXPECT_EQ(qnPanoSetTour(c.c, -1, 1), 0);
        EXPECT_EQ(qnPanoProcessVideo(c.c, fisheye.p), 0);
    }
    const QN_PRO_DST_EFFECT after = c.Effect(1);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << "the press changed nothing";
    EXPECT_EQ(c.EngineViews(), 5) << "the layout stayed";
    EXPECT_TRUE(AllGrey(*c.work, 0, kOutH)) << "the frame was skipped";

    ASSERT_EQ(qnPanoProcessVideo(c.c, fisheye.p), 0);
    EXPECT_FALSE(AllGrey(*c.work, 0, kOutH)) << "the next frame renders";
    ASSERT_EQ(Press(c.c, 500, 200), 0);
    EXPECT_EQ(c.Effect(1).color_r, 230) << "the press now takes";
    EXPECT_EQ(qnPanoSetTour(c.c, -1, 1), 1);
}

TEST(PanoContext, MouseHighlightsAndSteersTheEngine)
{
    Context c(90);
    // 1O4P on 800x600: the circle at x 0..400, the four PTZ views at 400..800, rows 100..500.
    ASSERT_EQ(qnPanoLoadLayout(c.c, QnLayoutPath(ProgramFolder(), 90, 1).c_str(), nullptr), 0);
    const QN_PRO_DST_POSI start = c.Posi(1), other = c.Posi(2);
    ASSERT_EQ(Press(c.c, 500, 200), 0);
    EXPECT_EQ(c.Effect(1).color_r, 230);
    EXPECT_EQ(c.Effect(1).border_width, 4);
    for (int n : {0, 2, 3, 4}) EXPECT_EQ(c.Effect(n).blend, 96) << "the others are greyed, view " << n;
    ASSERT_EQ(Move(c.c, 560, 230), 0);
    const QN_PRO_DST_POSI moved = c.Posi(1);
    EXPECT_NE(moved.dptz.pan, start.dptz.pan);
    EXPECT_EQ(c.Posi(2).dptz.pan, other.dptz.pan);
    ASSERT_EQ(Release(c.c, 560, 230), 0);
    EXPECT_EQ(c.Effect(1).color_g, 200) << "released";
    EXPECT_EQ(c.Effect(1).border_width, 3);
    for (int n : {0, 2, 3, 4}) {
        EXPECT_EQ(c.Effect(n).blend, 0) << n;
        EXPECT_EQ(c.Effect(n).border_width, 2) << n;
    }
    ASSERT_EQ(qnPanoWheel(c.c, 120), 0);
    EXPECT_NE(c.Posi(1).dptz.zoom, moved.dptz.zoom) << "the wheel zooms the selected view";

    // Hovering without a button selects the view under the point as released.
    ASSERT_EQ(Move(c.c, 100, 300), 0);
    EXPECT_EQ(c.Effect(0).color_g, 200);
    EXPECT_EQ(c.Effect(1).border_width, 2);
}

// The disc of 1O3P is in control mode 1: a press on it links the nearest PTZ
// view, and the wheel over the disc then zooms that view alone.
TEST(PanoContext, WheelOverTheDiscZoomsItsLinkedView)
{
    Context c(90);
    // 1O3P on 800x600: the disc at x 0..528, the three PTZ views beside it.
    ASSERT_EQ(qnPanoLoadLayout(c.c, QnLayoutPath(ProgramFolder(), 90, 2).c_str(), nullptr), 0);
    ASSERT_EQ(qnPanoViewCount(c.c), 4);
    // The views' outlines on the disc, which the press picks from, exist once a frame was rendered.
    Picture source(kSourceW, kSourceH);
    for (int p = 0; p < 3; ++p)
        std::memset(source.p->planar.plane[p], 128, size_t(source.p->planar.stride[p]) * vm_plane_rows(source.p->format, kSourceH, p));
    ASSERT_EQ(qnPanoProcessVideo(c.c, source.p), 0);
    ASSERT_EQ(Press(c.c, 300, 330), 0);
    ASSERT_EQ(Release(c.c, 300, 330), 0);
    QN_PRO_DST_POSI before[4];
    for (int n = 0; n < 4; ++n) before[n] = c.Posi(n);
    ASSERT_EQ(qnPanoWheel(c.c, 120), 0);
    int linked = -1;
    for (int n = 0; n < 4; ++n) {
        const QN_PRO_DST_POSI now = c.Posi(n);
        if (std::memcmp(&now, &before[n], sizeof now) == 0) continue;
        EXPECT_EQ(linked, -1) << "only one view follows the wheel";
        linked = n;
    }
    ASSERT_GE(linked, 1) << "a PTZ view, not the disc";
    EXPECT_FLOAT_EQ(c.Posi(linked).dptz.zoom, before[linked].dptz.zoom + 1);
    EXPECT_FLOAT_EQ(c.Posi(linked).dptz.pan, before[linked].dptz.pan);
    ASSERT_EQ(qnPanoWheel(c.c, -120), 0);
    EXPECT_FLOAT_EQ(c.Posi(linked).dptz.zoom, before[linked].dptz.zoom);
}

TEST(PanoContext, DragStepsMoveEveryViewOfTheId)
{
    testing_support::TempFolder temp;
    Context c(90);
    // Two views share ID 5; control mode 0 drags by the layout's steps.
    const std::string path = WriteText(
        temp.Path(), "ids.txt",
        PtzLayout({{0, 0, 840, 2520, 5, 0}, {840, 0, 1680, 2520, 5, 0}, {1680, 0, 2520, 2520, 6, 0}}));
    ASSERT_EQ(qnPanoLoadLayout(c.c, path.c_str(), nullptr), 0);
    float pan[3];
    for (int n = 0; n < 3; ++n) pan[n] = c.Posi(n).dptz.pan;
    // The engine lowers the layout's tilt of 40 at once, so that this tall view's edge stays inside the circle.
    const float tilt = c.Posi(0).dptz.tilt;
    EXPECT_LT(tilt, 40.0f);
    ASSERT_EQ(Press(c.c, 100, 300), 0);
    EXPECT_EQ(c.Effect(0).border_width, 5);
    ASSERT_EQ(Move(c.c, 140, 302), 0); // right: the first sector
    const float d0 = c.Posi(0).dptz.pan - pan[0], d1 = c.Posi(1).dptz.pan - pan[1];
    EXPECT_GT(d0, 0.0f);
    EXPECT_NEAR(d0, d1, 1e-4f) << "one step from pans of 0 and 90 degrees";
    EXPECT_EQ(c.Posi(2).dptz.pan, pan[2]);
    EXPECT_FLOAT_EQ(c.Posi(0).dptz.tilt, tilt) << "a level drag leaves the tilt";
    ASSERT_EQ(Release(c.c, 140, 302), 0);
}

TEST(PanoContext, OverlappingViewsPickTheSmallerOne)
{
    testing_support::TempFolder temp;
    Context c(90);
    const std::string path = WriteText(temp.Path(), "overlap.txt",
                                       PtzLayout({{0, 0, 2520, 2520, 1, 0}, {1000, 1000, 1520, 1520, 2, 0}}));
    ASSERT_EQ(qnPanoLoadLayout(c.c, path.c_str(), nullptr), 0);
    ASSERT_EQ(Press(c.c, 400, 300), 0);
    EXPECT_EQ(c.Effect(1).border_width, 5) << "the small view inside the large one";
    EXPECT_NE(c.Effect(0).border_width, 5);
    ASSERT_EQ(Release(c.c, 400, 300), 0);
    // Near the small view's corner the large view's centre is not 50 pixels nearer.
    ASSERT_EQ(Press(c.c, 325, 241), 0);
    EXPECT_EQ(c.Effect(1).border_width, 5);
}

TEST(PanoContext, TourRunsOnTheInjectedClock)
{
    testing_support::TempFolder temp;
    Picture fisheye(kSourceW, kSourceH);
    ASSERT_TRUE(MakeFisheye(90, temp.Path(), *fisheye.p));
    Context c(90);
    testing_support::SteppingClock clock(1000);
    qnPanoSetClock(c.c, &clock);
    const std::string layout = WriteText(temp.Path(), "one.txt", PtzLayout({{0, 0, 2520, 2520, 1, 0}}));
    const std::string presets = WriteText(temp.Path(), "one.pre",
                                          "Model ID: T-PTZ\nSDPN_000_1: 2\n"
                                          "SDPP_000_5_00_1: 60;SDPP_000_5_00_4: 90.000;SDPP_000_5_00_5: 40.000;"
                                          "SDPP_000_5_00_6: 1.000;SDPST_000_00_1: 5;SDPMS_000_00_1: 10;\n"
                                          "SDPP_000_5_01_1: 60;SDPP_000_5_01_4: 180.000;SDPP_000_5_01_5: 40.000;"
                                          "SDPP_000_5_01_6: 1.000;SDPST_000_01_1: 5;SDPMS_000_01_1: 10;\n");
    ASSERT_EQ(qnPanoLoadLayout(c.c, layout.c_str(), presets.c_str()), 0);
    ASSERT_EQ(qnPanoSetTour(c.c, 0, 1), 1);
    auto frameAt = [&](int64_t ms) {
        clock.Advance(ms);
        EXPECT_EQ(qnPanoProcessVideo(c.c, fisheye.p), 0);
        return c.Posi(0).dptz.pan;
    };
    EXPECT_NEAR(frameAt(0), 0.0f, 1e-3) << "from the home position";
    EXPECT_NEAR(frameAt(50), 4.5f, 1e-3) << "0.09 degrees a millisecond at speed 10";
    EXPECT_NEAR(frameAt(1000), 90.0f, 1e-3) << "reached";
    EXPECT_NEAR(frameAt(4999), 90.0f, 1e-3) << "dwelling";
    EXPECT_NEAR(frameAt(1), 90.0f, 1e-3) << "the dwell ends";
    EXPECT_NEAR(frameAt(100), 99.0f, 1e-3) << "on to the next preset";
    // The wheel ends every tour.
    ASSERT_EQ(Press(c.c, 400, 300), 0);
    ASSERT_EQ(Release(c.c, 400, 300), 0);
    ASSERT_EQ(qnPanoWheel(c.c, -120), 0);
    const float held = c.Posi(0).dptz.pan;
    EXPECT_NEAR(frameAt(500), held, 1e-3);
}

}  // namespace
