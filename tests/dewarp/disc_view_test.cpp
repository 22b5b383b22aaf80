// Whole-circle views: the inscribed disc, rotation by dragging, outlines of
// other views and picking them, against ImageMagick's rotation.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "dewarp_test_support.h"
#include "engine.h"

using namespace dewarp_test;
using namespace qn_dewarp;

namespace {

struct Disc : testing::Test {
    QN_PRO_ENGINE* engine = nullptr;
    std::vector<std::unique_ptr<Yuv>> pictures;
    QN_PRO_DST_INFO* table = nullptr;
    int records = 0;

    void SetUp() override
    {
        QN_PRO_ENGINE_PARA p = engine_para(0x10000, 1280, 720, 640, 360, 360);
        ASSERT_EQ(qn_pro_CreateEngine(&engine, &p), 0);
    }
    void TearDown() override { qn_pro_DestroyEngine(engine); }
    Yuv& add(int kind, int w, int h, QN_PRO_DST_POSI posi, int remap = 0)
    {
        pictures.push_back(std::make_unique<Yuv>(w, h));
        QN_PRO_DST_CONFIG c = view_config(kind, static_cast<int>(pictures.size()), *pictures.back(), posi);
        c.effect.remap_mode = static_cast<int8_t>(remap);
        EXPECT_EQ(qn_pro_AddDstImage(engine, &c, nullptr), 0);
        return *pictures.back();
    }
    int rotation(int n)
    {
        QN_PRO_DST_POSI p{};
        EXPECT_EQ(qn_pro_GetDstPosi(engine, &p, n), 0);
        return p.original.rotation;
    }
};

QN_PRO_DST_POSI rotated(int degrees)
{
    QN_PRO_DST_POSI p{};
    p.original.rotation = degrees;
    return p;
}

// A drag from the point at `from` degrees to the point at `to` degrees
// around the centre of a 720 x 720 view.
QN_PRO_DST_POSI drag(double from, double to)
{
    QN_PRO_DST_POSI p{};
    p.original.drag = 1;
    p.original.x = static_cast<float>(360 + 100 * std::cos(to * M_PI / 180));
    p.original.y = static_cast<float>(360 + 100 * std::sin(to * M_PI / 180));
    p.original.frame_width = p.original.frame_height = 720;
    p.original.prev_x = static_cast<float>(360 + 100 * std::cos(from * M_PI / 180));
    p.original.prev_y = static_cast<float>(360 + 100 * std::sin(from * M_PI / 180));
    p.original.prev_frame_width = p.original.prev_frame_height = 720;
    return p;
}

TEST_F(Disc, RotationByDragging)
{
    add(QN_PRO_DST_ORIGINAL, 720, 720, rotated(0));
    QN_PRO_DST_POSI p = drag(350, 10);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    EXPECT_EQ(rotation(0), -340);
    EXPECT_FLOAT_EQ(p.original.prev_x, p.original.x) << "the previous point is written back";
    p = rotated(300);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    p = drag(10, 110);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    EXPECT_EQ(rotation(0), 40);
    p = rotated(-300);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    p = drag(110, 10);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    EXPECT_EQ(rotation(0), -40);
    p = drag(0, 90);
    p.original.rotation = 25;
    p.original.prev_frame_width = 0;
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    EXPECT_EQ(rotation(0), 25) << "without a previous frame the rotation is absolute";
    p.original.frame_height = -5;
    p.original.prev_frame_width = 720;
    p.original.rotation = 7;
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    EXPECT_EQ(rotation(0), 7) << "a negative frame is no drag either";
}

TEST_F(Disc, InscribedSquare)
{
    Yuv source(1280, 720);
    std::fill(source.y.begin(), source.y.end(), 200);
    Yuv& wide = add(QN_PRO_DST_ORIGINAL, 1280, 720, rotated(0));
    Yuv& tall = add(QN_PRO_DST_ORIGINAL, 720, 1280, rotated(0));
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    EXPECT_EQ(wide.Y(279, 360), 128);
    EXPECT_EQ(wide.Y(290, 360), 200);
    EXPECT_EQ(wide.Y(1000, 360), 128);
    EXPECT_EQ(tall.Y(360, 279), 128);
    EXPECT_EQ(tall.Y(360, 290), 200);
    QN_PRO_POINT right{1000 - 50, 360, 1280, 720}, out{};
    ASSERT_EQ(qn_pro_GetDstAngle(engine, 0, &right, &out), 0);
    EXPECT_NEAR(out.x, 640 + 310, 1) << "rotation 0: right of the centre maps right";
    EXPECT_NEAR(out.y, 360, 1);
    QN_PRO_POINT corner{0, 0, 1280, 720};
    EXPECT_EQ(qn_pro_GetDstAngle(engine, 0, &corner, &out), 2);
}

// ImageMagick's scale-rotate-translate of the source is the disc view.
TEST_F(Disc, AgreesWithImageMagickRotation)
{
    Yuv source(1280, 720);
    ASSERT_TRUE(ffmpeg_frame("testsrc2=s=1280x720,gblur=sigma=1.5", "yuv420p", source));
    const std::string input = testing::TempDir() + "/disc_source.gray";
    ASSERT_TRUE(write_file(input, source.y));
    for (int degrees : {0, 30, -75}) {
        Yuv& ours = add(QN_PRO_DST_ORIGINAL, 720, 720, rotated(degrees), 1);
        ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
        const std::string reference = imagemagick_gray(
            input, 1280, 720,
            "-virtual-pixel gray -distort SRT '640,360 1 " + std::to_string(degrees) + " 360,360' -crop 720x720+0+0");
        ASSERT_EQ(reference.size(), 720u * 720u) << "ImageMagick's convert is needed";
        std::vector<uint8_t> a, b;
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 720; ++x)
                if (std::hypot(x - 360, y - 360) < 340) {
                    a.push_back(ours.Y(x, y));
                    b.push_back(static_cast<uint8_t>(reference[size_t(y) * 720 + x]));
                }
        EXPECT_GE(psnr(a, b), 30.0) << degrees;
        qn_pro_DelDstImage(engine, 0);
    }
}

// A PTZ view's outline is drawn into the disc, and pressing inside it there
// links the PTZ view, which then turns to where the cursor points.
TEST_F(Disc, OutlinesAndPicking)
{
    Yuv source(1280, 720);
    std::fill(source.y.begin(), source.y.end(), 0);
    Yuv& disc = add(QN_PRO_DST_ORIGINAL, 720, 720, rotated(0));
    QN_PRO_DST_POSI ptz{};
    ptz.dptz.fov = 40;
    ptz.dptz.pan = 0;
    ptz.dptz.tilt = 40;
    ptz.dptz.zoom = 1;
    add(QN_PRO_DST_DPTZ, 320, 240, ptz);
    QN_PRO_DST_EFFECT fx{};
    fx.show_on_others = 1;
    ASSERT_EQ(qn_pro_SetDstEffectNo(engine, &fx, 0), 0);
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    // The PTZ view (view 1, auto colour green) shows up as an outline.
    const int green = 150;
    int sum_x = 0, sum_y = 0, count = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 720; ++x)
            if (disc.Y(x, y) == green) {
                sum_x += x;
                sum_y += y;
                ++count;
            }
    ASSERT_GT(count, 100);
    const float cx = float(sum_x) / count, cy = float(sum_y) / count;
    // Its middle is where the PTZ view's centre lies in the source.
    QN_PRO_POINT centre{0.5f, 0.5f, 1, 1}, seen{};
    ASSERT_EQ(qn_pro_GetDstAngle(engine, 1, &centre, &seen), 0);
    EXPECT_NEAR(cx, seen.x - 280, 25);
    EXPECT_NEAR(cy, seen.y, 25);

    QN_PRO_POINT press{cx, cy, 720, 720};
    ASSERT_EQ(qn_pro_ControlByDst(engine, 0, &press, 0, 1, 0), 0);
    EXPECT_EQ(engine->selected_linked, 2);
    QN_PRO_POINT elsewhere{360 + 150, 360, 720, 720};
    ASSERT_EQ(qn_pro_ControlByDst(engine, 0, &elsewhere, 0, 0, 1), 0);
    // Straight right of the circle's centre is azimuth 0 in the lens, which
    // a ceiling camera reports as pan 270.
    QN_PRO_DST_POSI moved{};
    ASSERT_EQ(qn_pro_GetDstPosi(engine, &moved, 1), 0);
    EXPECT_NEAR(moved.dptz.pan, 270, 0.5);
}

}  // namespace

namespace {

// A rotated zoom window is ImageMagick's scale-rotate-translate about the
// window's centre, turned by the window's bearing around the circle.
TEST_F(Disc, RotatedZoomAgreesWithImageMagick)
{
    Yuv source(1280, 720);
    ASSERT_TRUE(ffmpeg_frame("testsrc2=s=1280x720,gblur=sigma=1.5", "yuv420p", source));
    const std::string input = testing::TempDir() + "/rotzoom_source.gray";
    ASSERT_TRUE(write_file(input, source.y));
    struct Case {
        float x, y;
        int rotation;
    };
    for (const Case c : {Case{900, 360, 0}, Case{640, 560, 90}, Case{400, 360, 180}, Case{500, 250, 218}}) {
        QN_PRO_DST_POSI p{};
        p.rotate_zoom.exponent = 3; // zoom 2
        p.rotate_zoom.x = c.x;
        p.rotate_zoom.y = c.y;
        p.rotate_zoom.frame_width = 1280;
        p.rotate_zoom.frame_height = 720;
        Yuv& ours = add(QN_PRO_DST_ROTATE_ZOOM, 320, 240, p, 1);
        ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
        QN_PRO_DST_POSI back{};
        ASSERT_EQ(qn_pro_GetDstPosi(engine, &back, 0), 0);
        EXPECT_FLOAT_EQ(back.rotate_zoom.exponent, 3);
        EXPECT_FLOAT_EQ(back.rotate_zoom.x, c.x);
        char srt[128];
        std::snprintf(srt, sizeof srt, "-virtual-pixel gray -distort SRT '%g,%g 2 %d 160,120' -crop 320x240+0+0",
                      double(c.x), double(c.y), -(c.rotation + 90));
        const std::string reference = imagemagick_gray(input, 1280, 720, srt);
        ASSERT_EQ(reference.size(), 320u * 240u) << "ImageMagick's convert is needed";
        std::vector<uint8_t> a, b;
        for (int y = 4; y < 236; ++y)
            for (int x = 4; x < 316; ++x) {
                a.push_back(ours.Y(x, y));
                b.push_back(static_cast<uint8_t>(reference[size_t(y) * 320 + x]));
            }
        EXPECT_GE(psnr(a, b), 30.0) << "window at " << c.x << "," << c.y;
        qn_pro_DelDstImage(engine, 0);
    }
}

}  // namespace
