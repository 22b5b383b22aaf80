// Digital PTZ views: clamps and wraps, progressive builds, and the picture
// against FFmpeg's v360 perspective projection of the same scene.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <memory>

#include "dewarp_test_support.h"
#include "engine.h"

using namespace dewarp_test;
using namespace qn_dewarp;

namespace {

// v360's view of the scene our PTZ view shows. The fisheye looks at the
// scene's pole, which a ceiling camera's views show at their bottom (v360's
// roll 180); pan 0 looks the way v360's yaw 180 does and both grow alike.
std::string v360_flat(float pan, float tilt)
{
    double yaw = 180.0 + pan;
    while (yaw > 180) yaw -= 360;
    char filter[160];
    std::snprintf(filter, sizeof filter, ",v360=input=e:output=flat:h_fov=90:v_fov=73.74:yaw=%g:pitch=%g:roll=180:w=640:h=480",
                  yaw, double(tilt));
    return filter;
}

QN_PRO_DST_POSI dptz(float pan, float tilt, float zoom = 1, int fov = 90, int side = 0)
{
    QN_PRO_DST_POSI p{};
    p.dptz.fov = fov;
    p.dptz.side = side;
    p.dptz.pan = pan;
    p.dptz.tilt = tilt;
    p.dptz.zoom = zoom;
    return p;
}

struct Dptz : testing::Test {
    QN_PRO_ENGINE* engine = nullptr;
    std::vector<std::unique_ptr<Yuv>> pictures;
    QN_PRO_DST_INFO* table = nullptr;
    int records = 0;

    void make(int32_t code, int mount, int w = 1280, int h = 1024, float cx = 640, float cy = 512, float r = 512)
    {
        if (engine) qn_pro_DestroyEngine(engine);
        engine = nullptr;
        QN_PRO_ENGINE_PARA p = engine_para(code, w, h, cx, cy, r, mount);
        ASSERT_EQ(qn_pro_CreateEngine(&engine, &p), 0);
    }
    void TearDown() override
    {
        if (engine) qn_pro_DestroyEngine(engine);
    }
    Yuv& add(int w, int h, QN_PRO_DST_POSI posi, int remap = 0)
    {
        pictures.push_back(std::make_unique<Yuv>(w, h));
        QN_PRO_DST_CONFIG c = view_config(QN_PRO_DST_DPTZ, static_cast<int>(pictures.size()), *pictures.back(), posi);
        c.effect.remap_mode = static_cast<int8_t>(remap);
        EXPECT_EQ(qn_pro_AddDstImage(engine, &c, nullptr), 0);
        return *pictures.back();
    }
    QN_PRO_DST_POSI position(int n)
    {
        QN_PRO_DST_POSI p{};
        EXPECT_EQ(qn_pro_GetDstPosi(engine, &p, n), 0);
        return p;
    }
};

TEST_F(Dptz, AddClampsFieldOfViewAndTilt)
{
    make(0x10000, 90, 1280, 720, 640, 360, 360);
    add(640, 480, dptz(0, 80, 1, 0));
    add(640, 480, dptz(0, 80, 1, 200));
    add(640, 480, dptz(0, 80, 1, 3));
    EXPECT_EQ(position(0).dptz.fov, 90);
    EXPECT_EQ(position(1).dptz.fov, 160);
    EXPECT_EQ(position(2).dptz.fov, 5);
    // Lens 0 sees 0..65 degrees; a 4:3 view at 90 degrees spans 36.87
    // degrees vertically: the empty range resolves to the lower bound.
    EXPECT_NEAR(position(0).dptz.tilt, 36.87, 0.01);
    QN_PRO_DST_POSI d{};
    d.dptz.use_default = 1;
    d.dptz.fov = 40; // narrow enough for the default tilt to fit
    add(64, 48, d);
    EXPECT_FLOAT_EQ(position(3).dptz.pan, 0);
    EXPECT_NEAR(position(3).dptz.tilt, 40, 1e-4);
}

TEST_F(Dptz, PositionWrapsAndClamps)
{
    make(0x10000, 45, 1280, 720, 640, 360, 360); // no clamp at 45 degrees
    add(640, 480, dptz(0, 0));
    QN_PRO_DST_POSI p = dptz(-30, 250, 20);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    EXPECT_FLOAT_EQ(position(0).dptz.pan, 330);
    EXPECT_FLOAT_EQ(position(0).dptz.tilt, -90);
    EXPECT_FLOAT_EQ(position(0).dptz.zoom, 8) << "zoom 20 is held to 8";
    p = dptz(10, 10, 0.5f);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    EXPECT_FLOAT_EQ(position(0).dptz.zoom, 1);

    make(0x10000, 0, 1280, 720, 640, 360, 360); // wall mount: pan limits
    add(640, 480, dptz(0, 0));
    p = dptz(100, 0);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    EXPECT_NEAR(position(0).dptz.pan, 45, 1e-4);
    p = dptz(200, 0);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    EXPECT_NEAR(position(0).dptz.pan, 315, 1e-4);
    // Side record words 7, 8, 9: pan, tilt, zoom.
    QN_PRO_DST_INFO* list = nullptr;
    int views = 0;
    qn_pro_GetDstList(engine, &list, &views);
    float pan = 0;
    std::memcpy(&pan, &list[0].state[7], sizeof pan);
    EXPECT_NEAR(pan, 315, 1e-4);
}

// Rays far outside what the lens sees (a wall mount looking straight down,
// a 160-degree field at the horizon of the narrowest lens) leave no entry
// outside the frame: they render grey instead.
TEST_F(Dptz, ExtremeRaysStayInsideTheFrame)
{
    struct Case {
        int mount;
        float pan, tilt;
        int fov;
    } cases[] = {{0, 0, -90, 160}, {0, 90, 90, 160}, {90, 0, 0, 160}, {-90, 180, -10, 160}};
    Yuv source(1280, 720);
    for (const Case& c : cases) {
        make(0x10000, c.mount, 1280, 720, 640, 360, 360); // lens 0
        add(320, 240, dptz(c.pan, c.tilt, 1, c.fov));
        ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
        const std::vector<int32_t>& entries = engine->view(0)->maps[0].entries;
        int outside = 0;
        for (size_t i = 0; i < entries.size(); i += 2) {
            const int32_t x = entries[i], y = entries[i + 1];
            if (x == 128 && y == 128) continue;
            if (x < 128 || x >= (1280 - 2) * 128 || y < 128 || y >= (720 - 2) * 128) ++outside;
        }
        EXPECT_EQ(outside, 0) << "mount " << c.mount << ", tilt " << c.tilt;
    }
}

// A companion a tenth as wide as a 5-degree view would see 0 degrees; it
// sees at least one, centred on the aimer.
TEST_F(Dptz, NarrowCompanionOfANarrowField)
{
    make(0x2200, 90);
    add(1000, 200, dptz(30, 40, 1, 5));
    ASSERT_EQ(engine->records[1]->width, 100) << "min(w / 2, h / 2, ...)";
    QN_PRO_POINT aim{500, 100, 1000, 200};
    ASSERT_EQ(qn_pro_SetDstAimerByNo(engine, &aim, 0, 1, 0), 0);
    Yuv source(1280, 1024);
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    const std::vector<int32_t>& view = engine->records[0]->maps[0].entries;
    const std::vector<int32_t>& companion = engine->records[1]->maps[0].entries;
    const size_t at_view = (size_t(100) * 1000 + 500) * 2, at_companion = (size_t(50) * 100 + 50) * 2;
    ASSERT_NE(companion[at_companion], 128) << "the companion sees the source";
    EXPECT_NEAR(companion[at_companion], view[at_view], 2 * 128);
    EXPECT_NEAR(companion[at_companion + 1], view[at_view + 1], 2 * 128);
}

// A large view is built over 16 frames in video, coarse to fine; the
// finished map equals the one a still builds at once.
TEST_F(Dptz, ProgressiveBuildsEndWhereStillsStart)
{
    make(0x2200, 90);
    Yuv source(1280, 1024);
    for (size_t i = 0; i < source.y.size(); ++i) source.y[i] = static_cast<uint8_t>((i * 13) ^ (i >> 10));
    Yuv& large = add(1001, 801, dptz(30, 40));
    Yuv& medium = add(601, 501, dptz(30, 40));
    Yuv& small = add(500, 499, dptz(30, 40));
    int frames_large = 0, frames_medium = 0, frames_small = 0;
    for (int f = 1; f <= 20; ++f) {
        const bool large_dirty = engine->view(0)->dirty, medium_dirty = engine->view(1)->dirty,
                   small_dirty = engine->view(2)->dirty;
        ASSERT_EQ(qn_pro_ProcessVideo(engine, &source.screen, &table, &records), 0);
        if (large_dirty && !engine->view(0)->dirty) frames_large = f;
        if (medium_dirty && !engine->view(1)->dirty) frames_medium = f;
        if (small_dirty && !engine->view(2)->dirty) frames_small = f;
    }
    EXPECT_EQ(frames_large, 16);
    EXPECT_EQ(frames_medium, 4);
    EXPECT_EQ(frames_small, 1);
    const std::vector<uint8_t> video_large = large.y, video_medium = medium.y;
    (void)small;
    QN_PRO_DST_POSI same = dptz(30, 40);
    for (int n = 0; n < 3; ++n) ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &same, n), 0);
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    EXPECT_EQ(video_large, large.y);
    EXPECT_EQ(video_medium, medium.y);
}

// The custom lens is FFmpeg's 185-degree equidistant fisheye: a PTZ view of
// a fisheye made by v360 is v360's perspective view of the same scene.
TEST_F(Dptz, AgreesWithFfmpegV360)
{
    make(0x2200, 90);
    const std::string scene = "testsrc2=s=2048x1024,gblur=sigma=1.5";
    Yuv fisheye(1280, 1024);
    ASSERT_TRUE(ffmpeg_frame(scene + ",v360=input=e:output=fisheye:h_fov=185:v_fov=185:pitch=90:w=1024:h=1024,"
                                     "pad=1280:1024:128:0",
                             "yuv420p", fisheye))
        << "ffmpeg with the v360 filter is needed";
    struct Case {
        float pan, tilt;
    };
    for (const Case c : {Case{0, 45}, Case{90, 30}, Case{200, 60}, Case{315, 10}}) {
        Yuv& ours = add(640, 480, dptz(c.pan, c.tilt));
        ASSERT_EQ(qn_pro_ProcessImage(engine, &fisheye.screen, &table, &records), 0);
        // Low tilts are raised to keep the view inside the lens: compare at
        // the tilt the view settled on.
        const QN_PRO_DST_POSI settled = position(0);
        Yuv reference(640, 480);
        ASSERT_TRUE(ffmpeg_frame(scene + v360_flat(settled.dptz.pan, settled.dptz.tilt), "yuv420p", reference));
        std::vector<uint8_t> a, b;
        for (int y = 8; y < 472; ++y)
            for (int x = 8; x < 632; ++x) {
                a.push_back(ours.Y(x, y));
                b.push_back(reference.Y(x, y));
            }
        EXPECT_GE(psnr(a, b), 28.0) << "pan " << c.pan << " tilt " << settled.dptz.tilt;
        qn_pro_DelDstImage(engine, 0);
    }
}

}  // namespace

namespace {

uint32_t bits_of(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

// A 90-degree PTZ view spans 90 degrees across: its whole-view region packs
// about 9000 hundredths horizontally; the short way round is always taken.
TEST_F(Dptz, LinkageValues)
{
    make(0x2200, 45); // no clamps
    add(640, 480, dptz(0, 0));
    const int32_t region[4] = {0, 0, 640, 480}, frame[2] = {640, 480};
    QN_PRO_POINT out{};
    float packed = 0;
    ASSERT_EQ(qn_pro_GetPara_For_Linkcus_R(engine, 0, region, frame, &out, &packed), 0);
    const uint32_t word = bits_of(packed);
    EXPECT_EQ(word >> 30, 1u);
    EXPECT_NEAR(double(word & 0x7fff), 9000, 150);
    EXPECT_GT((word >> 15) & 0x7fff, 5000u);
    EXPECT_EQ(out.ref_width, 1280);
    QN_PRO_POINT spot{320, 240, 640, 480};
    ASSERT_EQ(qn_pro_GetPara_For_Linkcus_C(engine, 0, &spot, -5, &out, &packed), 0);
    EXPECT_EQ(bits_of(packed), 0x40000000u) << "no area: no span";
    EXPECT_EQ(qn_pro_GetPara_For_Linkcus_C(engine, 3, &spot, 100, &out, &packed), 2);
    // Pan 180 puts the view's edges at azimuths either side of 0/360.
    QN_PRO_DST_POSI p = dptz(180, 0);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    ASSERT_EQ(qn_pro_GetPara_For_Linkcus_R(engine, 0, region, frame, &out, &packed), 0);
    EXPECT_NEAR(double(bits_of(packed) & 0x7fff), 9000, 150);
}

}  // namespace
