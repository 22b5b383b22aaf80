// Stretch views: the plane, whole and zoom modes, and the picture against
// an ImageMagick -fx model of the chord mapping.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "dewarp_test_support.h"
#include "engine.h"

using namespace dewarp_test;
using namespace qn_dewarp;

namespace {

QN_PRO_DST_POSI stretch(int whole, int zoom, int x = 512, int y = 512, int keep_aspect = 0)
{
    QN_PRO_DST_POSI p{};
    p.stretch.whole = whole;
    p.stretch.keep_aspect = keep_aspect;
    p.stretch.zoom = zoom;
    p.stretch.x = x;
    p.stretch.y = y;
    return p;
}

struct Stretch : testing::Test {
    QN_PRO_ENGINE* engine = nullptr;
    std::vector<std::unique_ptr<Yuv>> pictures;
    QN_PRO_DST_INFO* table = nullptr;
    int records = 0;

    void make(float cx, float cy, float r)
    {
        if (engine) qn_pro_DestroyEngine(engine);
        engine = nullptr;
        QN_PRO_ENGINE_PARA p = engine_para(0x10000, 1280, 720, cx, cy, r);
        ASSERT_EQ(qn_pro_CreateEngine(&engine, &p), 0);
    }
    void TearDown() override
    {
        if (engine) qn_pro_DestroyEngine(engine);
    }
    int add(int w, int h, QN_PRO_DST_POSI posi, int remap = 0)
    {
        pictures.push_back(std::make_unique<Yuv>(w, h));
        QN_PRO_DST_CONFIG c = view_config(QN_PRO_DST_STRETCH, static_cast<int>(pictures.size()), *pictures.back(), posi);
        c.effect.remap_mode = static_cast<int8_t>(remap);
        return qn_pro_AddDstImage(engine, &c, nullptr);
    }
    QN_PRO_DST_POSI position(int n)
    {
        QN_PRO_DST_POSI p{};
        EXPECT_EQ(qn_pro_GetDstPosi(engine, &p, n), 0);
        return p;
    }
};

TEST_F(Stretch, PlaneAndModes)
{
    make(640, 360, 500); // plane 1000 x 720, circle at (500, 360) in it
    ASSERT_EQ(add(1000, 720, stretch(1, 0)), 0);
    EXPECT_EQ(engine->view(0)->centre_x, 500);
    EXPECT_EQ(engine->view(0)->centre_y, 360);
    QN_PRO_POINT left{0, 360, 1000, 720}, right{998, 360, 1000, 720}, out{};
    ASSERT_EQ(qn_pro_GetDstAngle(engine, 0, &left, &out), 0);
    EXPECT_NEAR(out.x, 140, 1) << "the centre row spans the whole diameter";
    ASSERT_EQ(qn_pro_GetDstAngle(engine, 0, &right, &out), 0);
    EXPECT_NEAR(out.x, 1138, 1.5);

    ASSERT_EQ(add(400, 300, stretch(0, 7, 0, 0)), 0);
    EXPECT_EQ(position(1).stretch.zoom, 4);
    EXPECT_EQ(position(1).stretch.x, 512) << "a centre outside 1..1024 is the middle";
    ASSERT_EQ(add(1000, 720, stretch(0, 1, 100, 100)), 0);
    EXPECT_EQ(position(2).stretch.x, 512) << "as wide as the plane: nowhere to move";
    QN_PRO_DST_POSI p = stretch(0, 2, 2000, 300);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 1), 0);
    EXPECT_EQ(p.stretch.x, 1024) << "written back clamped";
    QN_PRO_DST_POSI moved = stretch(0, 3, 300, 300);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &moved, 0), 0);
    EXPECT_EQ(position(0).stretch.whole, 1) << "whole mode ignores positions";

    make(1900, 360, 500);
    EXPECT_EQ(add(400, 300, stretch(1, 0)), 3) << "no plane for a circle outside the frame";
}

// ImageMagick evaluates the chord mapping pixel by pixel with its own sampler.
TEST_F(Stretch, AgreesWithImageMagickFx)
{
    make(640, 360, 360); // plane 720 x 720
    Yuv source(1280, 720);
    ASSERT_TRUE(ffmpeg_frame("testsrc2=s=1280x720,gblur=sigma=2", "yuv420p", source));
    const std::string input = testing::TempDir() + "/stretch_source.gray";
    ASSERT_TRUE(write_file(input, source.y));
    ASSERT_EQ(add(400, 288, stretch(1, 0), 1), 0);
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    // cxv 200, cyv 144, sx 200, sy 144, R 360, circle (640, 360); the
    // source is the second image (v) behind a canvas of the view's size.
    const std::string reference = run_capture(
        "/usr/bin/convert -size 400x288 xc:black -size 1280x720 -depth 8 gray:" + input +
        " -fx 'v.p{640+(i-200)/200*sqrt(max(0,360*360-((j-144)*360/144)^2)), 360+(j-144)*360/144}'"
        " -depth 8 gray:- 2>/dev/null");
    ASSERT_EQ(reference.size(), 400u * 288u) << "ImageMagick's convert is needed";
    std::vector<uint8_t> a, b;
    for (int y = 4; y < 284; ++y)
        for (int x = 4; x < 396; ++x) {
            a.push_back(pictures[0]->Y(x, y));
            b.push_back(static_cast<uint8_t>(reference[size_t(y) * 400 + x]));
        }
    EXPECT_GE(psnr(a, b), 30.0);
}

// Dragging in a zoom-mode view steers the linked view to the source point
// the view shows under the cursor, away from its middle too.
TEST_F(Stretch, ZoomViewSteersToWhatItShows)
{
    make(640, 360, 360); // plane 720 x 720
    ASSERT_EQ(add(400, 300, stretch(0, 2, 400, 600)), 0);
    pictures.push_back(std::make_unique<Yuv>(64, 64)); // outlives the engine
    QN_PRO_DST_CONFIG magnifier = zoom_config(64, 64, pictures.back().get(), 9);
    magnifier.posi.zoom.exponent = 16;
    magnifier.posi.zoom.x = 640;
    magnifier.posi.zoom.y = 360;
    ASSERT_EQ(qn_pro_AddDstImage(engine, &magnifier, nullptr), 0);
    engine->selected_linked = 2; // as a press in another view would leave it
    for (const QN_PRO_POINT cursor : {QN_PRO_POINT{60, 40, 400, 300}, QN_PRO_POINT{350, 260, 400, 300}}) {
        QN_PRO_POINT shown{};
        ASSERT_EQ(qn_pro_GetDstAngle(engine, 0, &cursor, &shown), 0);
        ASSERT_EQ(qn_pro_ControlByDst(engine, 0, &cursor, 0, 1, 1), 0);
        EXPECT_EQ(engine->selected_linked, 2) << "a zoom-mode view picks nothing";
        const QN_PRO_DST_POSI moved = position(1);
        EXPECT_NEAR(moved.zoom.x, shown.x, 1.0) << cursor.x;
        EXPECT_NEAR(moved.zoom.y, shown.y, 1.0) << cursor.y;
    }
}

// A zoom-mode view's companion shows the plane around the aimer at the
// companion's zoom: centred where the aimer points, its width covers
// SW / Z of the plane, a chord's share of that in the source.
TEST_F(Stretch, CompanionShowsThePlaneAroundTheAimer)
{
    make(640, 360, 360); // plane 720 x 720
    ASSERT_EQ(add(400, 300, stretch(0, 2)), 0);
    ViewRecord& companion = *engine->records[1];
    ASSERT_EQ(companion.width, 114);
    QN_PRO_POINT aim{300, 200, 400, 300};
    ASSERT_EQ(qn_pro_SetDstAimerByNo(engine, &aim, 0, 1, 0), 0);
    Yuv source(1280, 720);
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    const int32_t* aimed = engine->records[0]->maps[0].entries.data() + (size_t(200) * 400 + 300) * 2;
    const int32_t* row = companion.maps[0].entries.data() + size_t(57) * 114 * 2;
    EXPECT_NEAR(row[57 * 2] / 128.0, aimed[0] / 128.0, 2);
    EXPECT_NEAR(row[57 * 2 + 1] / 128.0, aimed[1] / 128.0, 2);
    const double yp = row[57 * 2 + 1] / 128.0 - 360, chord = std::sqrt(1 - yp * yp / (360.0 * 360.0));
    const double spread = (row[113 * 2] - row[0]) / 128.0;
    EXPECT_NEAR(spread, 720 / 4.0 * 113 / 114 * chord, 2) << "zoom 2 x companion zoom 2";
}

// A zoom-mode stretch view at the top of the plane, where the circle's chord
// shrinks to a point, still shows its whole outline in a whole-mode stretch
// view: pressing inside it, away from the middle column, links it.
TEST_F(Stretch, PicksAZoomViewAtThePlanesEdge)
{
    make(640, 360, 300); // plane 600 x 600, its top row the circle's top
    ASSERT_EQ(add(600, 600, stretch(1, 0)), 0); // plane pixels one to one
    ASSERT_EQ(add(150, 150, stretch(0, 4, 512, 1)), 0);
    EXPECT_EQ(position(1).stretch.y, 128) << "held where the view's top meets the plane's";
    Yuv source(1280, 720);
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    // Its outline is the plane's 225..375 x 0..150.
    QN_PRO_POINT inside{235, 8, 600, 600}, outside{200, 8, 600, 600};
    EXPECT_EQ(qn_pro_ControlByDst(engine, 0, &inside, 0, 1, 0), 0);
    EXPECT_EQ(engine->selected_linked, 2);
    EXPECT_EQ(qn_pro_ControlByDst(engine, 0, &outside, 0, 1, 0), 3);
    EXPECT_EQ(engine->selected_linked, -1);
}

}  // namespace
