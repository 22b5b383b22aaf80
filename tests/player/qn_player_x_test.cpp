// The video window on a private Xvfb, fed an FFmpeg-made fisheye stream
// through its frame input: screenshots of every shipped layout against the
// projection engine's own rendering of the same frame, mouse drags and the
// wheel sent by xdotool and checked through the engine's read-back calls,
// the time text, and the frame kinds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <QWidget>
#include <QWindow>

#include "QNPlayer.h"
#include "access_units.h"
#include "picture_files.h"
#include "platform/paths.h"
#include "qn_pano.h"
#include "support/lens_record_builder.h"
#include "support/qt_test_env.h"
#include "support/run_command.h"
#include "support/x_test_support.h"
#include "view_layout.h"

namespace {

using ddshow_test::Bgr24Image;
using ddshow_test::YuvPicture;
using qt_test::ProcessUntil;
using testing_support::HaveCommand;
using testing_support::RunCommand;

constexpr int kWidth = 640, kHeight = 480; // a multiple of 8: the views fill the window unscaled
constexpr int kFrames = 6;

std::string Quiet() { return "ffmpeg -hide_banner -nostdin -loglevel error -y "; }

// One access unit as the play modules hand it over: the parameter sets and
// SEI of a key frame in the head's store, the picture's slices as the data.
struct FeedUnit {
    bool key = false;
    std::vector<uint8_t> store, data;
};

FeedUnit SplitUnit(const std::vector<uint8_t>& unit)
{
    FeedUnit out;
    std::vector<size_t> starts;
    for (size_t i = 0; i + 4 <= unit.size(); ++i)
        if (unit[i] == 0 && unit[i + 1] == 0 && unit[i + 2] == 0 && unit[i + 3] == 1) starts.push_back(i);
    for (size_t n = 0; n < starts.size(); ++n) {
        const size_t end = n + 1 < starts.size() ? starts[n + 1] : unit.size();
        const int type = unit[starts[n] + 4] & 0x1f;
        out.key = out.key || type == 5;
        auto& to = (type == 6 || type == 7 || type == 8) ? out.store : out.data;
        to.insert(to.end(), unit.begin() + long(starts[n]), unit.begin() + long(end));
    }
    return out;
}

// A still picture of the filter graph as H.264 with 4-byte start codes and
// the camera's private panorama SEI, and its first decoded frame. Lossless,
// so that every frame decodes to the same picture whichever the window drew
// last.
struct TestStream {
    std::vector<FeedUnit> units;
    std::vector<uint8_t> firstFrame; // yuv420p
    int width, height;
    bool ready = false;

    TestStream(const std::string& graph, int width, int height, const ddshow_test::TempDir& dir)
        : width(width), height(height)
    {
        const std::string still = dir.file("still.png"), raw = dir.file("raw.h264"), sei = dir.file("sei.bin");
        const std::string withSei = dir.file("sei.h264"), stream = dir.file("stream.h264");
        const std::string decoded = dir.file("decoded.yuv");
        const std::string tool = "python3 " OSTRELS_SOURCE_DIR "/tools/streamfix/stream_fixture.py";
        const std::string size = "width=" + std::to_string(width) + " height=" + std::to_string(height);
        ready = RunCommand(Quiet() + "-f lavfi -i '" + graph + "' -frames:v 1 '" + still + "'").exitCode == 0 &&
                RunCommand(Quiet() + "-loop 1 -i '" + still + "' -frames:v " + std::to_string(kFrames) +
                           " -c:v libx264 -qp 0 -bf 0 -g 100 -pix_fmt yuv420p -f h264 '" + raw + "'")
                        .exitCode == 0 &&
                RunCommand(tool + " sei 3 '" + sei + "' " + size + " >/dev/null").exitCode == 0 &&
                RunCommand(tool + " inject '" + raw + "' '" + withSei + "' '" + sei + "'").exitCode == 0 &&
                RunCommand(tool + " four-byte '" + withSei + "' '" + stream + "'").exitCode == 0 &&
                RunCommand(Quiet() + "-i '" + stream + "' -frames:v 1 -f rawvideo -pix_fmt yuv420p '" + decoded + "'")
                        .exitCode == 0;
        std::vector<uint8_t> bytes;
        ready = ready && player_test::ReadFileBytes(stream, bytes) && player_test::ReadFileBytes(decoded, firstFrame);
        for (const auto& unit : player_test::SplitAccessUnits(bytes)) units.push_back(SplitUnit(unit));
        ready = ready && units.size() == size_t(kFrames) && units[0].key && !units[0].store.empty() &&
                firstFrame.size() == size_t(width) * height * 3 / 2;
    }
};

// A fisheye of FFmpeg's test pattern as a camera on that mount sees it: the
// 480-pixel circle in the middle of 640x480.
std::string FisheyeGraph(int mount)
{
    return "testsrc2=s=1536x768,v360=input=e:output=fisheye:h_fov=180:v_fov=180:pitch=" + std::to_string(mount) +
           ":w=480:h=480,pad=640:480:80:0";
}

void Feed(QNPlayer& player, const FeedUnit& unit)
{
    QNPlayerFrame frame{};
    frame.kind = unit.key ? "h264_I" : "h264_P";
    if (unit.key) {
        frame.head.store = unit.store.data();
        frame.head.lengths = uint32_t(unit.store.size());
    }
    EXPECT_TRUE(player.inputData(unit.data.data(), int(unit.data.size()), &frame));
}

// The owner's side: the facade's panorama answer and what the window reports.
struct StandInOwner {
    QNPlayerPanoInfo info{};
    int infoAsks = 0;
    std::vector<int32_t> viewParams;
    std::vector<std::pair<int, QN_PANO_POINT>> events;
    std::vector<std::pair<int, int>> sizes;

    int count(int action) const
    {
        return int(std::count_if(events.begin(), events.end(), [&](const auto& e) { return e.first == action; }));
    }
    static void OnEvent(int kind, int action, const QN_PANO_POINT* point, void* user)
    {
        EXPECT_EQ(kind, 1);
        static_cast<StandInOwner*>(user)->events.push_back({action, *point});
    }
    static void OnSize(int kind, int width, int height, void* user)
    {
        EXPECT_EQ(kind, 0);
        static_cast<StandInOwner*>(user)->sizes.push_back({width, height});
    }
    static void OnViewParams(const int32_t* words, void* user)
    {
        static_cast<StandInOwner*>(user)->viewParams.assign(words, words + 24);
    }
};

QNPlayerPanoInfo InfoFor(int mount)
{
    QNPlayerPanoInfo info{};
    std::snprintf(info.panoType, sizeof info.panoType, "%u", 0x1020u);
    info.circleX = 320;
    info.circleY = 240;
    info.radius = 240;
    info.sourceWidth = kWidth;
    info.sourceHeight = kHeight;
    info.mountTilt = mount;
    return info;
}

// Draws a picture through the display library into a window of the test's
// own and grabs it.
bool ShowThroughDisplay(_vm_screen& picture, const ddshow_test::TempDir& dir, Bgr24Image& out)
{
    // A native child of a top-level window, as the player is; beside the player, on the screen.
    QWidget top;
    top.setWindowFlags(Qt::FramelessWindowHint);
    top.setGeometry(kWidth, 0, picture.width, picture.height);
    QWidget window(&top);
    window.setAttribute(Qt::WA_NativeWindow);
    window.setAttribute(Qt::WA_PaintOnScreen);
    window.setAttribute(Qt::WA_NoSystemBackground);
    window.setGeometry(0, 0, picture.width, picture.height);
    top.show();
    if (!ProcessUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); })) return false;
    QN_DDR_EX_PARAM p{};
    p.hWnd = QN_DDR_WINDOW(window.winId());
    p.nWidth = picture.width;
    p.nHeight = picture.height;
    p.pImage = &picture;
    p.nMode = 1;
    p.pfnDraw = [](void*, QN_DDR_CANVAS*, int32_t, int32_t, int32_t, int32_t) {};
    bool ok = qn_ddrInit_Ex(&p) == 0 && qn_ddrDrawImage_Ex(&p) == 0 &&
              ddshow_test::grabWindow(qt_test::XDisplay(), uint32_t(window.winId()), dir.file("own.xwd"), out);
    if (p.hRender) qn_ddrUnInit_Ex(&p);
    return ok;
}

// The same frame through a panorama context of the test's own making: what
// the window must show, as the display library draws it and as FFmpeg
// converts it.
struct EngineRendering {
    Bgr24Image displayed, converted;
    bool ok = false;

    EngineRendering(const std::vector<uint8_t>& frame, int mount, int model, const ddshow_test::TempDir& dir)
    {
        QN_PANO_CREATE_PARAM p{};
        p.format = VM_FMT_YUV420;
        p.src_width = p.out_width = kWidth;
        p.src_height = p.out_height = kHeight;
        p.camera_code = 0x1020;
        p.mount_tilt = mount;
        p.circle_x = 320;
        p.circle_y = 240;
        p.circle_r = 240;
        p.window = 1;
        QN_PANO_CONTEXT* context = nullptr;
        _vm_screen* work = nullptr;
        const std::string folder = platform::ExecutablePath().substr(0, platform::ExecutablePath().rfind('/'));
        ok = qnPanoCreate(&context, &p, &work) == 0 &&
             qnPanoLoadLayout(context, QnLayoutPath(folder, mount, model).c_str(), nullptr) == 0;
        YuvPicture source(kWidth, kHeight);
        ok = ok && source.loadFile(frame);
        // The engine's views settle over its first frames; the window has run it many times.
        for (int i = 0; ok && i < 3; ++i) ok = qnPanoProcessVideo(context, &source.record()) == 0;
        ok = ok && player_test::WriteFileBytes(dir.file("engine.yuv"), player_test::ToRaw(*work).bytes) &&
             ddshow_test::ffmpegToBgr24(dir.file("engine.yuv"), kWidth, kHeight, "", dir.file("engine.bgr"), converted,
                                        kWidth, kHeight) &&
             ShowThroughDisplay(*work, dir, displayed);
        if (context) qnPanoDestroy(context);
    }
};

class PlayerOnX : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qt_test::XDisplay().empty()) GTEST_SKIP() << "no private Xvfb: the window cannot be shown";
        if (!HaveCommand("ffmpeg") || !HaveCommand("xwd")) GTEST_SKIP() << "ffmpeg or xwd missing";
        top_.setWindowFlags(Qt::FramelessWindowHint);
        top_.setGeometry(0, 0, kWidth, kHeight);
        top_.show();
    }

    // A window playing the fisheye of that mount, unwrapped with the model.
    void start(int mount, int model)
    {
        owner_ = StandInOwner{};
        owner_.info = InfoFor(mount);
        player_.reset(new QNPlayer);
        player_->createWind(0, 0, kWidth, kHeight, &top_);
        player_->setEventCallback(&StandInOwner::OnEvent, &owner_);
        player_->setSizeCallback(&StandInOwner::OnSize, &owner_);
        player_->setViewParamCallback(&StandInOwner::OnViewParams, &owner_);
        QNPlayerPanoQueries queries;
        queries.panoInfo = [this](QNPlayerPanoInfo* info) {
            ++owner_.infoAsks;
            *info = owner_.info;
            return true;
        };
        player_->setPanoQueries(queries);
        player_->setCamera(true, 7);
        player_->setVisibleCached(true);
        // Play clears the time text's flags; the owner sets the unwrap after it.
        ASSERT_TRUE(player_->play());
        player_->setUnwrap(model);
        player_->setUnwrapEnable(true);
        player_->hold = false;
        stream_.reset(new TestStream(FisheyeGraph(mount), kWidth, kHeight, dir_));
        ASSERT_TRUE(stream_->ready) << "ffmpeg or the stream fixture tool failed";
        for (const auto& unit : stream_->units) Feed(*player_, unit);
        ASSERT_TRUE(ProcessUntil([&] { return player_->panoContext() != nullptr && player_->framesShown() >= 2; }))
            << "the window drew no unwrapped frame";
    }

    void waitShown(int more)
    {
        const int64_t until = player_->framesShown() + more;
        ASSERT_TRUE(ProcessUntil([&] { return player_->framesShown() >= until; }));
    }

    Bgr24Image grab(const std::string& name)
    {
        Bgr24Image shot;
        EXPECT_TRUE(
            ddshow_test::grabWindow(qt_test::XDisplay(), uint32_t(player_->winId()), dir_.file("shot.xwd"), shot));
        EXPECT_EQ(shot.width, kWidth);
        EXPECT_EQ(shot.height, kHeight);
        // For looking at: the screenshots go to a folder named by the caller.
        if (auto folder = platform::GetEnv("OSTRELS_SHOT_DIR"))
            ddshow_test::writePpm(*folder + "/" + name + ".ppm", shot);
        return shot;
    }

    QN_PRO_DST_POSI posi(int view)
    {
        QN_PRO_DST_POSI p{};
        EXPECT_EQ(qn_pro_GetDstPosi(qnPanoEngine(player_->panoContext(), 0), &p, view), 0);
        return p;
    }

    // The centre of a view in screen coordinates (the views fill the window).
    QPoint viewCentre(int view)
    {
        int32_t rect[4] = {};
        EXPECT_TRUE(qnPanoViewRect(player_->panoContext(), view, rect));
        return player_->mapToGlobal(QPoint((rect[0] + rect[2]) / 2, (rect[1] + rect[3]) / 2));
    }

    void xdotool(const std::string& arguments)
    {
        ASSERT_EQ(RunCommand("xdotool " + arguments).exitCode, 0) << arguments;
    }

    int firstViewOfKind(int kind)
    {
        QN_PRO_DST_CONFIG config{};
        for (int n = 0; n < qnPanoViewCount(player_->panoContext()); ++n)
            if (qn_pro_GetDstConfig(qnPanoEngine(player_->panoContext(), 0), &config, n) == 0 && config.kind == kind)
                return n;
        return -1;
    }

    ddshow_test::TempDir dir_;
    QWidget top_;
    StandInOwner owner_;
    std::unique_ptr<QNPlayer> player_;
    std::unique_ptr<TestStream> stream_;
};

// Every shipped layout, each mount with its own fisheye: the window shows
// what the engine renders of the frame.
TEST_F(PlayerOnX, EveryLayoutShowsTheEngineRenderingOfTheFrame)
{
    const char* mounts[] = {"wall", "top", "floor"};
    const int tilts[] = {0, 90, -90};
    for (int m = 0; m < 3; ++m) {
        start(tilts[m], 0);
        if (HasFatalFailure()) return;
        EXPECT_EQ(owner_.infoAsks, 1) << "the information is fetched once";
        ASSERT_EQ(owner_.viewParams.size(), 24u);
        EXPECT_EQ(owner_.viewParams[16 + 5], tilts[m]) << "the mount tilt is the 22nd word";
        EXPECT_EQ(owner_.sizes, (std::vector<std::pair<int, int>>{{kWidth, kHeight}}));
        for (int model = 0; model < 3; ++model) {
            player_->setUnwrap(model);
            const std::string path = QnLayoutPath(
                platform::ExecutablePath().substr(0, platform::ExecutablePath().rfind('/')), tilts[m], model);
            EXPECT_EQ(player_->templatePath(), path);
            waitShown(2);
            const std::string name =
                std::string(mounts[m]) + "_" + path.substr(path.rfind('/') + 1, path.size() - path.rfind('/') - 5);
            const Bgr24Image shot = grab(name);
            const EngineRendering reference(stream_->firstFrame, tilts[m], model, dir_);
            ASSERT_TRUE(reference.ok) << name;
            // Drawn by the same display library, the engine's rendering must
            // come out exactly; FFmpeg's conversion of it checks the display.
            const double same = ddshow_test::psnr(shot, reference.displayed);
            const double ffmpeg = ddshow_test::psnr(shot, reference.converted);
            std::printf(
                "%s: PSNR %.1f dB against the engine's rendering on the display, %.1f dB against FFmpeg's "
                "conversion of it\n",
                name.c_str(), same, ffmpeg);
            if (auto folder = platform::GetEnv("OSTRELS_SHOT_DIR"))
                ddshow_test::writePpm(*folder + "/" + name + "_engine.ppm", reference.displayed);
            EXPECT_GE(same, 45.0) << name;
            EXPECT_GE(ffmpeg, 30.0) << name;
        }
    }
}

// The date and time are written at (10, 10) in light grey once given.
TEST_F(PlayerOnX, TimeTextIsDrawnOnTheCanvas)
{
    start(90, 1);
    if (HasFatalFailure()) return;
    auto greyPixels = [](const Bgr24Image& shot) {
        int n = 0;
        for (int y = 10; y < 40; ++y)
            for (int x = 10; x < 220; ++x) {
                const uint8_t* p = shot.at(x, y);
                n += p[0] == 0xC8 && p[1] == 0xC8 && p[2] == 0xC8;
            }
        return n;
    };
    const int before = greyPixels(grab("no_time"));
    // 2026-12-11 07:30:45
    player_->setOsdTime(uint32_t(26) << 26 | 12u << 22 | 11u << 17 | 7u << 12 | 30u << 6 | 45u, 0);
    waitShown(2);
    const int after = greyPixels(grab("time_text"));
    EXPECT_GT(after, before + 50) << "the text's pixels";
    const Bgr24Image shot = grab("time_text");
    int outside = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) outside += shot.at(x, y)[0] == 0xC8 && shot.at(x, y)[1] == 0xC8;
    EXPECT_EQ(outside, 0) << "nothing of the text above or left of (10, 10)";
}

// A drag on a PTZ view moves it as the engine then reports; the owner hears
// press, moves and release with the window's points.
TEST_F(PlayerOnX, MouseDragMovesAPtzView)
{
    if (!HaveCommand("xdotool")) GTEST_SKIP() << "xdotool missing";
    start(90, 2); // top/1O3P: a disc and three PTZ views
    if (HasFatalFailure()) return;
    const int view = firstViewOfKind(QN_PRO_DST_DPTZ);
    ASSERT_GE(view, 0);
    const QN_PRO_DST_POSI before = posi(view);
    const QPoint at = viewCentre(view);
    xdotool("mousemove " + std::to_string(at.x()) + " " + std::to_string(at.y()) + " mousedown 1");
    ASSERT_TRUE(ProcessUntil([&] { return owner_.count(QN_PLAYER_MOUSE_PRESS) == 1; }));
    for (int step = 1; step <= 3; ++step) {
        const int moves = owner_.count(QN_PLAYER_MOUSE_MOVE);
        xdotool("mousemove " + std::to_string(at.x() + 20 * step) + " " + std::to_string(at.y()));
        ASSERT_TRUE(ProcessUntil([&] { return owner_.count(QN_PLAYER_MOUSE_MOVE) > moves; }));
    }
    xdotool("mouseup 1");
    ASSERT_TRUE(ProcessUntil([&] { return owner_.count(QN_PLAYER_MOUSE_RELEASE) == 1; }));
    const QN_PRO_DST_POSI after = posi(view);
    const double turned = std::fmod(after.dptz.pan - before.dptz.pan + 360.0, 360.0);
    EXPECT_GT(turned, 0.5) << "a drag to the right turns the view's pan up";
    EXPECT_LT(turned, 180.0);
    EXPECT_NEAR(after.dptz.tilt, before.dptz.tilt, 0.01) << "a level drag keeps the tilt";
    const QN_PANO_POINT& press = owner_.events.front().second;
    EXPECT_EQ(press.ref_width, kWidth);
    EXPECT_EQ(press.ref_height, kHeight);
    EXPECT_NEAR(press.x, at.x() - player_->mapToGlobal(QPoint(0, 0)).x(), 1.0);
    waitShown(2);
    grab("dragged");
}

// The disc's control mode links the nearest PTZ view on a press; the wheel
// over the disc then zooms that linked view, and no other.
TEST_F(PlayerOnX, WheelOverTheDiscZoomsItsLinkedView)
{
    if (!HaveCommand("xdotool")) GTEST_SKIP() << "xdotool missing";
    start(90, 2);
    if (HasFatalFailure()) return;
    const int disc = firstViewOfKind(QN_PRO_DST_ORIGINAL);
    ASSERT_GE(disc, 0);
    const QPoint at = viewCentre(disc) + QPoint(60, 40);
    xdotool("mousemove " + std::to_string(at.x()) + " " + std::to_string(at.y()) + " click 1");
    ASSERT_TRUE(ProcessUntil([&] { return owner_.count(QN_PLAYER_MOUSE_RELEASE) == 1; }));
    const int views = qnPanoViewCount(player_->panoContext());
    std::vector<QN_PRO_DST_POSI> before;
    for (int n = 0; n < views; ++n) before.push_back(posi(n));

    xdotool("click 4"); // wheel forward
    ASSERT_TRUE(ProcessUntil([&] { return owner_.count(QN_PLAYER_MOUSE_WHEEL) == 1; }));
    EXPECT_GT(owner_.events.back().second.x, 0) << "the wheel's delta";
    int linked = -1;
    for (int n = 0; n < views; ++n) {
        const QN_PRO_DST_POSI now = posi(n);
        if (std::memcmp(&now, &before[n], sizeof now) == 0) continue;
        EXPECT_EQ(linked, -1) << "only one view follows the wheel";
        linked = n;
        EXPECT_NE(n, disc);
        EXPECT_FLOAT_EQ(now.dptz.zoom, before[n].dptz.zoom + 1) << "view " << n;
        EXPECT_FLOAT_EQ(now.dptz.pan, before[n].dptz.pan);
        EXPECT_FLOAT_EQ(now.dptz.tilt, before[n].dptz.tilt);
    }
    ASSERT_GE(linked, 0) << "the wheel zoomed no linked view";

    xdotool("click 5"); // and back
    ASSERT_TRUE(ProcessUntil([&] { return owner_.count(QN_PLAYER_MOUSE_WHEEL) == 2; }));
    EXPECT_LT(owner_.events.back().second.x, 0);
    EXPECT_FLOAT_EQ(posi(linked).dptz.zoom, before[linked].dptz.zoom);
}

// Without unwrapping the picture is shown as it is; a stream of another size
// clears the ring, and the display is made afresh at the new size.
TEST_F(PlayerOnX, PlainPictureAndASizeChange)
{
    player_.reset(new QNPlayer);
    player_->createWind(0, 0, kWidth, kHeight, &top_);
    player_->setSizeCallback(&StandInOwner::OnSize, &owner_);
    player_->setCamera(true, 7);
    player_->setVisibleCached(true);
    ASSERT_TRUE(player_->play());
    player_->hold = false;
    const TestStream large(FisheyeGraph(90), kWidth, kHeight, dir_);
    ASSERT_TRUE(large.ready);
    for (const auto& unit : large.units) Feed(*player_, unit);
    ASSERT_TRUE(ProcessUntil([&] { return player_->framesShown() >= 2; }));
    EXPECT_EQ(player_->panoContext(), nullptr);
    Bgr24Image reference;
    ASSERT_TRUE(ddshow_test::writeFile(dir_.file("large.yuv"), large.firstFrame));
    ASSERT_TRUE(ddshow_test::ffmpegToBgr24(dir_.file("large.yuv"), kWidth, kHeight, "", dir_.file("large.bgr"),
                                           reference, kWidth, kHeight));
    double quality = ddshow_test::psnr(grab("plain_large"), reference);
    std::printf("plain 640x480: PSNR %.1f dB against FFmpeg\n", quality);
    EXPECT_GE(quality, 40.0);

    const TestStream small("testsrc2=s=320x240", 320, 240, dir_);
    ASSERT_TRUE(small.ready);
    const int64_t shown = player_->framesShown();
    for (const auto& unit : small.units) Feed(*player_, unit);
    ASSERT_TRUE(ProcessUntil([&] { return owner_.sizes.size() == 2 && player_->framesShown() >= shown + 2; }));
    EXPECT_EQ(owner_.sizes, (std::vector<std::pair<int, int>>{{kWidth, kHeight}, {320, 240}}));
    int width = 0, height = 0;
    EXPECT_TRUE(player_->getPictureSize(&width, &height));
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    // The display scales the picture to the window.
    ASSERT_TRUE(ddshow_test::writeFile(dir_.file("small.yuv"), small.firstFrame));
    ASSERT_TRUE(ddshow_test::ffmpegToBgr24(dir_.file("small.yuv"), 320, 240, "-vf scale=640:480",
                                           dir_.file("small.bgr"), reference, kWidth, kHeight));
    quality = ddshow_test::psnr(grab("plain_small"), reference);
    std::printf("plain 320x240 in 640x480: PSNR %.1f dB against FFmpeg's scaling\n", quality);
    EXPECT_GE(quality, 28.0);
}

// Projection mode: the window shows what the gesture and projection engine
// makes of the frame, and a click right of the centre becomes a PTZ go-to
// to the right through the owner's PTZ callback.
TEST_F(PlayerOnX, ProjectionModeShowsTheProjectionAndClicksGoTo)
{
    if (!HaveCommand("xdotool")) GTEST_SKIP() << "xdotool missing";
    // Form 5 with a lens of its own: output 640 x 480, 90 degrees across.
    const uint64_t lensLow = 77;
    const uint64_t type = 5 | uint64_t(5) << 4 | lensLow << 7 | uint64_t(kWidth / 8) << 14 |
                          uint64_t(kHeight / 8) << 25 | uint64_t(900) << 35;
    ptzlink_test::LensFields lens = ptzlink_test::identity_lens(uint32_t((type >> 7) & 0xffff));
    const std::vector<uint8_t> record = ptzlink_test::build_record(lens);

    struct PtzCall {
        int goTo;
        float pan, tilt;
    };
    static std::vector<PtzCall> calls;
    calls.clear();
    player_.reset(new QNPlayer);
    player_->createWind(0, 0, kWidth, kHeight, &top_);
    ASSERT_TRUE(player_->addLensRecord(record.data(), int(record.size()), type, 0));
    player_->setPtzCallback(
        [](int goTo, const float* point, int, void*) {
            calls.push_back({goTo, point[0], point[1]});
        },
        nullptr);
    player_->setEventCallback(&StandInOwner::OnEvent, &owner_);
    QNPlayerPanoQueries queries;
    queries.panoTypeEx = [type](char(&text)[64]) {
        std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(type));
        return true;
    };
    player_->setPanoQueries(queries);
    player_->setCamera(true, 7);
    player_->setVisibleCached(true);
    ASSERT_TRUE(player_->play());
    player_->setPlayMode(2);
    player_->setWorkMode(0);
    player_->setPtzPosition(30, 10, 0);
    player_->hold = false;
    const TestStream stream(FisheyeGraph(0), kWidth, kHeight, dir_);
    ASSERT_TRUE(stream.ready);
    for (const auto& unit : stream.units) Feed(*player_, unit);
    ASSERT_TRUE(ProcessUntil([&] { return player_->framesShown() >= 3; }));
    const Bgr24Image shot = grab("projection");

    // The engine's own projection of the frame, drawn by the same library.
    ViewControl view;
    ASSERT_TRUE(view.setSourceSize(kWidth, kHeight));
    ASSERT_TRUE(view.setPanoType(type));
    ASSERT_TRUE(view.open());
    ASSERT_TRUE(view.setCurrentAngles(30, 10));
    YuvPicture source(kWidth, kHeight);
    ASSERT_TRUE(source.loadFile(stream.firstFrame));
    ASSERT_TRUE(view.inputFrame(&source.record(), 1));
    _vm_screen projected{};
    ViewCrop crop;
    ASSERT_EQ(view.outputFrame(&projected, &crop), 1);
    Bgr24Image reference;
    ASSERT_TRUE(ShowThroughDisplay(projected, dir_, reference));
    const double quality = ddshow_test::psnr(shot, reference);
    std::printf("projection: PSNR %.1f dB against the engine's projection on the display\n", quality);
    EXPECT_GE(quality, 45.0);

    const QPoint at = player_->mapToGlobal(QPoint(kWidth * 3 / 4, kHeight / 2));
    xdotool("mousemove " + std::to_string(at.x()) + " " + std::to_string(at.y()) + " mousedown 1");
    ASSERT_TRUE(ProcessUntil([&] { return owner_.count(QN_PLAYER_MOUSE_PRESS) == 1; }));
    xdotool("mousemove " + std::to_string(at.x() + 1) + " " + std::to_string(at.y()) + " mouseup 1");
    ASSERT_TRUE(ProcessUntil([&] { return owner_.count(QN_PLAYER_MOUSE_RELEASE) == 1; }));
    ASSERT_FALSE(calls.empty()) << "no PTZ request";
    EXPECT_EQ(calls.back().goTo, 1);
    // A quarter of the width right of the centre at 90 degrees is the
    // direction (0.5, 0, 1) of the camera tilted by 10 degrees.
    const double t = 10 * M_PI / 180;
    EXPECT_NEAR(calls.back().pan, 30 + std::atan2(0.5, std::cos(t)) * 180 / M_PI, 0.3);
    EXPECT_NEAR(calls.back().tilt, std::asin(std::sin(t) / std::sqrt(1.25)) * 180 / M_PI, 0.3);
}

// Playing a local file (work mode 2), the file's own panorama information
// turns the window to unwrapping, without asking the stream.
TEST_F(PlayerOnX, LocalFileInformationTurnsTheWindowToUnwrapping)
{
    int localAsks = 0;
    player_.reset(new QNPlayer);
    player_->createWind(0, 0, kWidth, kHeight, &top_);
    QNPlayerPanoQueries queries;
    queries.localParam = [&](QNPlayerPanoInfo* info) {
        ++localAsks;
        *info = InfoFor(90);
        return true;
    };
    queries.panoInfo = [this](QNPlayerPanoInfo*) {
        ++owner_.infoAsks;
        return false;
    };
    player_->setPanoQueries(queries);
    player_->setCamera(true, 7);
    player_->setVisibleCached(true);
    ASSERT_TRUE(player_->play());
    player_->setPlayMode(2);
    player_->setWorkMode(2);
    player_->setUnwrapEnable(true);
    player_->hold = false;
    const TestStream stream(FisheyeGraph(90), kWidth, kHeight, dir_);
    ASSERT_TRUE(stream.ready);
    for (const auto& unit : stream.units) Feed(*player_, unit);
    ASSERT_TRUE(ProcessUntil([&] { return player_->panoContext() != nullptr && player_->framesShown() >= 2; }));
    EXPECT_EQ(localAsks, 1);
    EXPECT_EQ(owner_.infoAsks, 0);
    EXPECT_EQ(qnPanoViewCount(player_->panoContext()), 5) << "the ceiling layout 4P1O";
}

// A camera type whose third field holds both "H" and "Y" turns the picture a
// quarter turn; other texts leave it.
TEST_F(PlayerOnX, CameraTypeTurnsThePicture)
{
    player_.reset(new QNPlayer);
    player_->createWind(0, 0, kWidth, kHeight, &top_);
    player_->setSizeCallback(&StandInOwner::OnSize, &owner_);
    player_->setCameraType("QN-HY");     // two fields
    player_->setCameraType("QN-A-HQ-Y"); // four fields
    player_->setCameraType("QN-A-Hx");   // no "Y"
    player_->setCamera(true, 7);
    player_->setVisibleCached(true);
    ASSERT_TRUE(player_->play());
    player_->hold = false;
    const TestStream stream("testsrc2=s=320x240", 320, 240, dir_);
    ASSERT_TRUE(stream.ready);
    Feed(*player_, stream.units[0]);
    ASSERT_TRUE(ProcessUntil([&] { return owner_.sizes.size() == 1; }));
    EXPECT_EQ(owner_.sizes.back(), (std::pair<int, int>{320, 240}));

    player_->setCameraType("QN-360-FHY");
    for (size_t i = 1; i < stream.units.size(); ++i) Feed(*player_, stream.units[i]);
    ASSERT_TRUE(ProcessUntil([&] { return owner_.sizes.size() == 2; }));
    EXPECT_EQ(owner_.sizes.back(), (std::pair<int, int>{240, 320}));
}

// Audio kinds are taken without drawing, other kinds refused; a second play fails.
TEST_F(PlayerOnX, FrameKindsAndPlayTwice)
{
    QNPlayer player;
    player.createWind(0, 0, 64, 48, &top_);
    const uint8_t bytes[4] = {1, 2, 3, 4};
    QNPlayerFrame frame{};
    for (const char* kind : {"g711a", "linear_PCM"}) {
        frame.kind = kind;
        EXPECT_TRUE(player.inputData(bytes, 4, &frame)) << kind;
    }
    frame.kind = "h265_I";
    EXPECT_FALSE(player.inputData(bytes, 4, &frame));
    EXPECT_FALSE(player.inputData(bytes, 4, nullptr));
    EXPECT_TRUE(player.play());
    EXPECT_FALSE(player.play()) << "already playing";
    EXPECT_TRUE(player.stop());
    EXPECT_FALSE(player.stop());
    EXPECT_TRUE(player.play());
}

} // namespace
