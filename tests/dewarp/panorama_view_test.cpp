// Panorama views: range normalisation, letterboxing, progressive builds,
// DPTZ outlines, and the picture against the scene's latitude band.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "dewarp_test_support.h"
#include "engine.h"

using namespace dewarp_test;
using namespace qn_dewarp;

namespace {

QN_PRO_DST_POSI panorama(int span, int top, int bottom, float pan = 0, int keep_aspect = 0)
{
    QN_PRO_DST_POSI p{};
    p.panorama.keep_aspect = keep_aspect;
    p.panorama.span = span;
    p.panorama.top = top;
    p.panorama.bottom = bottom;
    p.panorama.pan = pan;
    return p;
}

struct Panorama : testing::Test {
    QN_PRO_ENGINE* engine = nullptr;
    std::vector<std::unique_ptr<Yuv>> pictures;
    QN_PRO_DST_INFO* table = nullptr;
    int records = 0;

    void make(int32_t code, int mount)
    {
        if (engine) qn_pro_DestroyEngine(engine);
        engine = nullptr;
        QN_PRO_ENGINE_PARA p = engine_para(code, 1280, 1024, 640, 512, 512, mount);
        ASSERT_EQ(qn_pro_CreateEngine(&engine, &p), 0);
    }
    void TearDown() override
    {
        if (engine) qn_pro_DestroyEngine(engine);
    }
    int add(int kind, int w, int h, QN_PRO_DST_POSI posi)
    {
        pictures.push_back(std::make_unique<Yuv>(w, h));
        QN_PRO_DST_CONFIG c = view_config(kind, static_cast<int>(pictures.size()), *pictures.back(), posi);
        return qn_pro_AddDstImage(engine, &c, nullptr);
    }
    Yuv& picture(int n) { return *pictures[n]; }
    QN_PRO_DST_POSI position(int n)
    {
        QN_PRO_DST_POSI p{};
        EXPECT_EQ(qn_pro_GetDstPosi(engine, &p, n), 0);
        return p;
    }
};

TEST_F(Panorama, AdmissionAndRanges)
{
    make(0x10000, 0);
    EXPECT_EQ(add(QN_PRO_DST_PANORAMA, 640, 240, panorama(0, 0, 0)), 3) << "a wall-mounted narrow lens";
    make(0x2200, 0);
    ASSERT_EQ(add(QN_PRO_DST_PANORAMA, 1280, 240, panorama(300, 0, 0)), 0);
    EXPECT_EQ(position(0).panorama.span, 180) << "a wall mount sees half a turn";
    EXPECT_EQ(position(0).panorama.top, -50);
    EXPECT_EQ(position(0).panorama.bottom, 50);
    QN_PRO_DST_POSI p = panorama(0, 0, 0, 300);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    EXPECT_FLOAT_EQ(position(0).panorama.pan, 0) << "(180 - span) / 2 = 0 of straight ahead";

    make(0x2200, 90);
    ASSERT_EQ(add(QN_PRO_DST_PANORAMA, 1440, 240, panorama(0, 10, 40)), 0);
    EXPECT_EQ(position(0).panorama.span, 180) << "square pixels: 30 degrees over 240 rows, 1440 columns";
    ASSERT_EQ(add(QN_PRO_DST_PANORAMA, 640, 240, panorama(360, 70, 90)), 0);
    EXPECT_EQ(position(1).panorama.top, 70);
    EXPECT_EQ(position(1).panorama.bottom, 80) << "held to the lens's limit";
    ASSERT_EQ(add(QN_PRO_DST_PANORAMA, 640, 240, panorama(360, 85, 95)), 0);
    EXPECT_EQ(position(2).panorama.top, -4) << "a range outside the limits shows them all";
    EXPECT_EQ(position(2).panorama.bottom, 80);
}

TEST_F(Panorama, LetterboxAndAngles)
{
    make(0x2200, 90);
    // Span 120 over 60 degrees: content aspect 2 : 1.
    ASSERT_EQ(add(QN_PRO_DST_PANORAMA, 1000, 1000, panorama(120, 0, 60, 0, 1)), 0);
    Yuv source(1280, 1024);
    std::fill(source.y.begin(), source.y.end(), 90);
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    EXPECT_EQ(picture(0).Y(500, 249), 128);
    EXPECT_EQ(picture(0).Y(500, 250), 90);
    EXPECT_EQ(picture(0).Y(500, 749), 90);
    EXPECT_EQ(picture(0).Y(500, 750), 128);
    QN_PRO_POINT margin{500, 100, 1000, 1000}, out{};
    EXPECT_EQ(qn_pro_GetDstAngle(engine, 0, &margin, &out), 2);
    // The top row is the horizon, at 90 / 92.5 of the radius.
    QN_PRO_POINT top{500, 250, 1000, 1000};
    ASSERT_EQ(qn_pro_GetDstAngle(engine, 0, &top, &out), 0);
    EXPECT_NEAR(std::hypot(out.x - 640, out.y - 512), 512 * 90 / 92.5, 1.0);
}

TEST_F(Panorama, ProgressiveBuildEndsExact)
{
    make(0x2200, 90);
    ASSERT_EQ(add(QN_PRO_DST_PANORAMA, 1921, 1081, panorama(360, 0, 60)), 0);
    Yuv source(1280, 1024);
    for (size_t i = 0; i < source.y.size(); ++i) source.y[i] = static_cast<uint8_t>((i * 7) ^ (i >> 9));
    int frames = 0;
    for (int f = 1; f <= 6 && !frames; ++f) {
        ASSERT_EQ(qn_pro_ProcessVideo(engine, &source.screen, &table, &records), 0);
        if (!engine->view(0)->dirty) frames = f;
    }
    EXPECT_EQ(frames, 4);
    ASSERT_EQ(qn_pro_ProcessVideo(engine, &source.screen, &table, &records), 0);
    const std::vector<uint8_t> video = picture(0).y;
    QN_PRO_DST_POSI same = panorama(0, 0, 0, 0);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &same, 0), 0);
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    EXPECT_EQ(video, picture(0).y);
}

// The fisheye of a lens-32 ceiling camera, unrolled, is the scene's band of
// latitudes 0..60 (the scene's pole is the circle's centre): mirrored, and
// turned by the pan.
TEST_F(Panorama, AgreesWithTheSceneBand)
{
    make(0x2200, 90);
    const std::string scene = "testsrc2=s=2048x1024,gblur=sigma=3";
    Yuv fisheye(1280, 1024);
    ASSERT_TRUE(ffmpeg_frame(scene + ",v360=input=e:output=fisheye:h_fov=185:v_fov=185:pitch=90:w=1024:h=1024,"
                                     "pad=1280:1024:128:0",
                             "yuv420p", fisheye));
    Yuv band(1440, 240);
    ASSERT_TRUE(ffmpeg_frame(scene + ",scale=1440:720,crop=1440:240:0:120,vflip,hflip", "yuv420p", band));
    for (float pan : {0.0f, 30.0f}) {
        ASSERT_EQ(add(QN_PRO_DST_PANORAMA, 1440, 240, panorama(360, 0, 60, pan)), 0);
        ASSERT_EQ(qn_pro_ProcessImage(engine, &fisheye.screen, &table, &records), 0);
        const int roll = 720 + static_cast<int>(4 * pan); // four columns a degree
        std::vector<uint8_t> a, b;
        for (int y = 4; y < 236; ++y)
            for (int x = 0; x < 1440; ++x) {
                a.push_back(pictures.back()->Y(x, y));
                b.push_back(band.Y(((x - roll) % 1440 + 1440) % 1440, y));
            }
        EXPECT_GE(psnr(a, b), 28.0) << "pan " << pan;
        qn_pro_DelDstImage(engine, 0);
    }
}

// The whole turn spans 360 degrees, more than the packed value's 15-bit
// field holds: it is held to the field, and the elevation beside it stays.
TEST_F(Panorama, LinkageOfTheWholeTurn)
{
    make(0x2200, 90);
    ASSERT_EQ(add(QN_PRO_DST_PANORAMA, 1440, 240, panorama(360, 0, 60)), 0);
    const int32_t region[4] = {0, 0, 1439, 239}, frame[2] = {1440, 240};
    QN_PRO_POINT out{};
    float packed = 0;
    ASSERT_EQ(qn_pro_GetPara_For_Linkcus_R(engine, 0, region, frame, &out, &packed), 0);
    uint32_t word;
    std::memcpy(&word, &packed, sizeof word);
    EXPECT_EQ(word >> 30, 1u);
    EXPECT_EQ(word & 0x7fff, 0x7fffu);
    EXPECT_NEAR(double((word >> 15) & 0x7fff), 6000, 100) << "60 degrees top to bottom";
}

// A PTZ view's outline shows in the panorama where it looks; pressing on it
// links the PTZ view, and dragging turns it.
TEST_F(Panorama, PtzOutlinesAndControl)
{
    make(0x2200, 90);
    ASSERT_EQ(add(QN_PRO_DST_PANORAMA, 1440, 240, panorama(360, 0, 60)), 0);
    QN_PRO_DST_POSI ptz{};
    ptz.dptz.fov = 30;
    ptz.dptz.pan = 90;
    ptz.dptz.tilt = 30;
    ptz.dptz.zoom = 1;
    ASSERT_EQ(add(QN_PRO_DST_DPTZ, 320, 240, ptz), 0);
    QN_PRO_DST_EFFECT fx{};
    fx.show_on_others = 1;
    ASSERT_EQ(qn_pro_SetDstEffectNo(engine, &fx, 0), 0);
    Yuv source(1280, 1024);
    std::fill(source.y.begin(), source.y.end(), 0);
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    int sum_x = 0, sum_y = 0, count = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 1440; ++x)
            if (picture(0).Y(x, y) == 150) { // view 1's green
                sum_x += x;
                sum_y += y;
                ++count;
            }
    ASSERT_GT(count, 100);
    const float cx = float(sum_x) / count, cy = float(sum_y) / count;
    EXPECT_NEAR(cy, 30 * 239 / 60.0, 10) << "tilt 30 is half way down";
    QN_PRO_POINT press{cx, cy, 1440, 240};
    ASSERT_EQ(qn_pro_ControlByDst(engine, 0, &press, 0, 1, 0), 0);
    EXPECT_EQ(engine->selected_linked, 2);
    QN_PRO_POINT drag{cx + 40, cy, 1440, 240}; // ten degrees along
    ASSERT_EQ(qn_pro_ControlByDst(engine, 0, &drag, 0, 0, 1), 0);
    QN_PRO_DST_POSI moved{};
    ASSERT_EQ(qn_pro_GetDstPosi(engine, &moved, 1), 0);
    EXPECT_NEAR(std::fabs(moved.dptz.pan - 90), 10, 2.5);
}

}  // namespace
