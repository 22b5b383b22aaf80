// Picking a PTZ view by its outline in a panorama: the box and curve hit
// tests, outlines across the seam, the nearest and the tightest outline.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "dewarp_test_support.h"
#include "engine.h"
#include "panorama_outline.h"

using namespace dewarp_test;
using namespace qn_dewarp;

namespace {

// The 32 border points of a rectangle, clockwise from its top-left corner
// (the order of a view's outline), brought into 0..turn as a panorama
// places them.
PanoramaOutline rectangle(double x0, double y0, double x1, double y1, double turn)
{
    double px[Outline::kPoints], py[Outline::kPoints];
    for (int i = 0; i < Outline::kPoints; ++i) {
        float fx, fy;
        border_fraction(i, fx, fy);
        px[i] = std::fmod(x0 + (x1 - x0) * fx + turn, turn);
        py[i] = y0 + (y1 - y0) * fy;
    }
    return lay_out_across_seam(px, py, turn);
}

TEST(PanoramaHits, BoxAndCurve)
{
    // A box of half side 9 around (150, 65); a curve round 100..200 x 50..80.
    const PanoramaOutline curve = rectangle(100, 50, 200, 80, 1440);
    EXPECT_FALSE(curve.wraps);
    struct Case {
        const char* where;
        double x, y;
        int box, curve; // distances: 0 inside, -1 no hit
    } cases[] = {
        {"the middle", 150, 65, 0, 0},
        {"the box's corner", 158.5, 73.5, 0, 0},
        {"inside the curve only", 120, 55, 32, 0},
        {"above", 150, 40, 25, 10},
        {"below", 150, 95.4, 30, 15},
        {"beside, in a column the curve does not reach", 230, 65, 80, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hit_box(c.x, c.y, 150, 65, 9).distance, c.box) << c.where;
        EXPECT_EQ(hit_curve(curve, c.x, c.y, 0).distance, c.curve) << c.where;
    }
}

TEST(PanoramaHits, SecondaryPrefersTheTighterOutline)
{
    const PanoramaOutline loose = rectangle(100, 40, 200, 90, 1440), tight = rectangle(140, 60, 160, 70, 1440);
    const OutlineHit in_loose = hit_curve(loose, 150, 65, 0), in_tight = hit_curve(tight, 150, 65, 0);
    ASSERT_EQ(in_loose.distance, 0);
    ASSERT_EQ(in_tight.distance, 0);
    EXPECT_LT(in_tight.secondary, in_loose.secondary);
    // Inside a box the triangles make up its area; outside they exceed it.
    EXPECT_NEAR(hit_box(150, 65, 150, 65, 9).secondary, 18 * 18, 1e-9);
    EXPECT_GT(hit_box(150, 90, 150, 65, 9).secondary, hit_box(150, 80, 150, 65, 9).secondary);
}

TEST(PanoramaHits, CurveAcrossTheSeam)
{
    // 1380..1480 in a panorama 1440 wide: 1380..1439 and 0..40 on screen.
    const PanoramaOutline o = rectangle(1380, 50, 1480, 80, 1440);
    ASSERT_TRUE(o.wraps);
    for (int i = 1; i < PanoramaOutline::kClosed; ++i)
        EXPECT_LE(std::fabs(o.x[i] - o.x[i - 1]), 720) << "continuous at point " << i;
    EXPECT_EQ(o.x[PanoramaOutline::kClosed - 1], o.x[0]);
    const double turn = 1440;
    struct Case {
        double x;
        int unshifted, left, right;
    } cases[] = {
        {1400, 0, -1, -1}, // the part before the seam
        {20, -1, 0, -1},   // the part after it, one turn to the left
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hit_curve(o, c.x, 65, 0).distance, c.unshifted) << c.x;
        EXPECT_EQ(hit_curve(o, c.x, 65, -turn).distance, c.left) << c.x;
        EXPECT_EQ(hit_curve(o, c.x, 65, turn).distance, c.right) << c.x;
    }
    double mean_x, mean_y;
    outline_mean(o, mean_x, mean_y);
    EXPECT_NEAR(mean_x, 1430, 1) << "the middle along the outline, not half a turn away";
}

// A ceiling panorama of the whole turn, 1440 x 240 over elevations 0..60,
// and PTZ views whose outlines it shows on a black picture.
struct PanoramaPick : testing::Test {
    QN_PRO_ENGINE* engine = nullptr;
    std::vector<std::unique_ptr<Yuv>> pictures;
    Yuv source{1280, 1024};

    void SetUp() override
    {
        QN_PRO_ENGINE_PARA p = engine_para(0x2200, 1280, 1024, 640, 512, 512, 90);
        ASSERT_EQ(qn_pro_CreateEngine(&engine, &p), 0);
        QN_PRO_DST_POSI posi{};
        posi.panorama.span = 360;
        posi.panorama.top = 0;
        posi.panorama.bottom = 60;
        ASSERT_EQ(add(QN_PRO_DST_PANORAMA, 1440, 240, posi), 0);
        style(0);
    }
    void TearDown() override
    {
        if (engine) qn_pro_DestroyEngine(engine);
    }
    int add(int kind, int w, int h, const QN_PRO_DST_POSI& posi)
    {
        pictures.push_back(std::make_unique<Yuv>(w, h));
        QN_PRO_DST_CONFIG c = view_config(kind, static_cast<int>(pictures.size()), *pictures.back(), posi);
        return qn_pro_AddDstImage(engine, &c, nullptr);
    }
    void add_ptz(float pan, float fov)
    {
        QN_PRO_DST_POSI p{};
        p.dptz.fov = fov;
        p.dptz.pan = pan;
        p.dptz.tilt = 30;
        p.dptz.zoom = 1;
        ASSERT_EQ(add(QN_PRO_DST_DPTZ, 320, 240, p), 0);
    }
    // Turns view n back (a linking press turns it to the cursor); the
    // panorama keeps the outline it has until the next render.
    void aim(int n, float pan)
    {
        QN_PRO_DST_POSI p{};
        p.dptz.pan = pan;
        p.dptz.tilt = 30;
        p.dptz.zoom = 1;
        ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, n), 0);
    }
    // Outlines drawn as curves (0) or boxes (1); renders them.
    void style(int outline_style)
    {
        QN_PRO_DST_EFFECT fx{};
        fx.show_on_others = 1;
        fx.outline_style = outline_style;
        ASSERT_EQ(qn_pro_SetDstEffectNo(engine, &fx, 0), 0);
        QN_PRO_DST_INFO* table = nullptr;
        int records = 0;
        ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    }
    // Where the panorama shows the outline of view n (auto colour luma).
    struct Drawn {
        int count = 0, x0 = 1 << 30, x1 = -1, y0 = 1 << 30, y1 = -1;
        double mean_x = 0, mean_y = 0;
    };
    Drawn drawn(int n, int from_x = 0, int to_x = 1440) const
    {
        static const uint8_t luma[] = {76, 150, 29, 226};
        Drawn d;
        for (int y = 0; y < 240; ++y)
            for (int x = from_x; x < to_x; ++x)
                if (pictures[0]->Y(x, y) == luma[n]) {
                    ++d.count;
                    d.x0 = std::min(d.x0, x);
                    d.x1 = std::max(d.x1, x);
                    d.y0 = std::min(d.y0, y);
                    d.y1 = std::max(d.y1, y);
                    d.mean_x += x;
                    d.mean_y += y;
                }
        if (d.count) {
            d.mean_x /= d.count;
            d.mean_y /= d.count;
        }
        return d;
    }
    int press(double x, double y, int mode)
    {
        QN_PRO_POINT p{static_cast<float>(x), static_cast<float>(y), 1440, 240};
        return qn_pro_ControlByDst(engine, 0, &p, 0, 1, mode);
    }
};

// Curves are hit anywhere inside, boxes only near the outline's middle; a
// press that hits nothing answers 3 and drops the linked view.
TEST_F(PanoramaPick, CurvesAndBoxes)
{
    add_ptz(0, 60);
    style(0);
    const Drawn curve = drawn(1);
    ASSERT_GT(curve.count, 100);
    const double mid_x = (curve.x0 + curve.x1) / 2.0, mid_y = (curve.y0 + curve.y1) / 2.0;
    const double off_middle = curve.x0 + 0.2 * (curve.x1 - curve.x0);
    struct Case {
        const char* where;
        double x, y;
        int mode, result;
    } curve_cases[] = {
        {"inside, off the middle", off_middle, mid_y, 0, 0},
        {"above", mid_x, curve.y0 - 12.0, 0, 3},
        {"above, dragging", mid_x, curve.y0 - 12.0, 1, 0},
        {"beside, dragging", curve.x0 - 100.0, mid_y, 1, 3},
    };
    for (const Case& c : curve_cases) {
        ASSERT_EQ(press(mid_x, mid_y, 0), 0);
        EXPECT_EQ(press(c.x, c.y, c.mode), c.result) << c.where;
        EXPECT_EQ(engine->selected_linked, c.result == 0 ? 2 : -1) << c.where;
    }

    aim(1, 0);
    style(1);
    const Drawn box = drawn(1);
    ASSERT_GT(box.count, 20);
    EXPECT_LE(box.x1 - box.x0, 2 * 9 + 2) << "a square of half side 3 x pen + 3";
    EXPECT_NEAR(box.mean_x, mid_x, 20);
    const double bx = (box.x0 + box.x1) / 2.0, by = (box.y0 + box.y1) / 2.0;
    Case box_cases[] = {
        {"inside, near a corner", bx + 7, by - 7, 0, 0},
        {"inside the curve, off the box", off_middle, mid_y, 0, 3},
        {"off the box, dragging", off_middle, mid_y, 1, 0},
        {"beside, dragging", curve.x0 - 100.0, mid_y, 1, 0},
    };
    for (const Case& c : box_cases) {
        ASSERT_EQ(press(bx, by, 0), 0);
        EXPECT_EQ(press(c.x, c.y, c.mode), c.result) << c.where;
        EXPECT_EQ(engine->selected_linked, c.result == 0 ? 2 : -1) << c.where;
    }
}

// A view looking across the panorama's seam shows at both edges and is hit
// at both; its box stays at the seam instead of half a turn away.
TEST_F(PanoramaPick, AcrossTheSeam)
{
    add_ptz(180, 60);
    style(0);
    const Drawn left = drawn(1, 0, 720), right = drawn(1, 720, 1440);
    ASSERT_GT(left.count, 20);
    ASSERT_GT(right.count, 20);
    ASSERT_EQ(left.x0, 0);
    ASSERT_EQ(right.x1, 1439);
    for (double x : {4.0, 1435.0}) {
        const Drawn column = drawn(1, static_cast<int>(x) - 2, static_cast<int>(x) + 3);
        ASSERT_GT(column.count, 0) << x;
        EXPECT_EQ(press(x, (column.y0 + column.y1) / 2.0, 0), 0) << x;
        EXPECT_EQ(engine->selected_linked, 2) << x;
        EXPECT_EQ(press(720, (column.y0 + column.y1) / 2.0, 0), 3) << "half a turn away";
    }

    aim(1, 180);
    style(1);
    const Drawn box = drawn(1);
    ASSERT_GT(box.count, 10);
    EXPECT_EQ(drawn(1, 100, 1340).count, 0) << "the box is drawn at the seam";
    const Drawn box_side = box.x0 < 100 ? drawn(1, 0, 100) : drawn(1, 1340, 1440);
    const double by = (box_side.y0 + box_side.y1) / 2.0;
    const double bx = box_side.x0 < 100 ? box_side.x1 - 9.0 : box_side.x0 + 9.0;
    EXPECT_EQ(press(bx, by, 0), 0);
    EXPECT_EQ(engine->selected_linked, 2);
    EXPECT_EQ(press(720, by, 0), 3) << "where the mean of the placed points lies";
}

// Nested outlines go to the tighter one whatever the order of the views;
// between boxes the nearer one wins only when it is more than 5 closer.
TEST_F(PanoramaPick, TighterAndNearer)
{
    struct Order {
        float first_fov, second_fov;
        int tight_record;
    } orders[] = {{80, 20, 4}, {20, 80, 2}};
    for (const Order& o : orders) {
        while (engine->views() > 1) ASSERT_EQ(qn_pro_DelDstImage(engine, 1), 0);
        pictures.resize(1);
        add_ptz(0, o.first_fov);
        add_ptz(0, o.second_fov);
        style(0);
        const Drawn tight = drawn(o.tight_record / 2);
        ASSERT_GT(tight.count, 20);
        EXPECT_EQ(press((tight.x0 + tight.x1) / 2.0, (tight.y0 + tight.y1) / 2.0, 0), 0);
        EXPECT_EQ(engine->selected_linked, o.tight_record) << "fields " << o.first_fov << ", " << o.second_fov;
    }

    while (engine->views() > 1) ASSERT_EQ(qn_pro_DelDstImage(engine, 1), 0);
    pictures.resize(1);
    add_ptz(90, 30);
    add_ptz(0, 30);
    style(1);
    const Drawn first = drawn(1), second = drawn(2);
    ASSERT_GT(first.count, 10);
    ASSERT_GT(second.count, 10);
    const double c1 = (first.x0 + first.x1) / 2.0, c2 = (second.x0 + second.x1) / 2.0;
    const double y = (first.y0 + first.y1) / 2.0, middle = (c1 + c2) / 2, towards_second = c2 > c1 ? 1 : -1;
    EXPECT_EQ(press(middle + 2 * towards_second, y, 1), 0);
    EXPECT_EQ(engine->selected_linked, 2) << "4 closer keeps the first";
    EXPECT_EQ(press(middle + 5 * towards_second, y, 1), 0);
    EXPECT_EQ(engine->selected_linked, 4) << "10 closer takes the second";
}

}  // namespace
