// The view table: adding, deleting, effects, positions, companions, aimers.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "dewarp_test_support.h"
#include "engine.h"
#include "view_colours.h"
#include "zoom_view.h"

using namespace dewarp_test;
using namespace qn_dewarp;

namespace {

// An engine for a 1280 x 720 picture whose circle (radius 360) is centred.
struct EngineFixture : testing::Test {
    QN_PRO_ENGINE* engine = nullptr;
    std::vector<std::unique_ptr<Yuv>> pictures; // outlive the engine
    void SetUp() override
    {
        QN_PRO_ENGINE_PARA p = engine_para(0x10000, 1280, 720, 640, 360, 360);
        ASSERT_EQ(qn_pro_CreateEngine(&engine, &p), 0);
    }
    void TearDown() override { qn_pro_DestroyEngine(engine); }

    int add_zoom(int w, int h, QN_PRO_DST_POSI posi = {}, QN_PRO_DST_EFFECT effect = {}, int id = 1)
    {
        QN_PRO_DST_CONFIG c = zoom_config(w, h, nullptr, id);
        c.posi = posi;
        c.effect = effect;
        return qn_pro_AddDstImage(engine, &c, nullptr);
    }
    int views()
    {
        QN_PRO_DST_INFO* table = nullptr;
        int n = -1;
        EXPECT_EQ(qn_pro_GetDstList(engine, &table, &n), 0);
        return n;
    }
    ViewRecord& view(int n) { return *engine->view(n); }
};

using ViewTable = EngineFixture;

TEST_F(ViewTable, AddRefusals)
{
    QN_PRO_DST_CONFIG c = zoom_config(64, 64, nullptr);
    EXPECT_EQ(qn_pro_AddDstImage(nullptr, &c, nullptr), 2);
    EXPECT_EQ(qn_pro_AddDstImage(engine, nullptr, nullptr), 2);
    struct Case {
        const char* what;
        int kind, w, h, format, result;
    };
    const Case cases[] = {
        {"kind 0", 0, 64, 64, VM_FMT_YUV420, 3},     {"kind 7", 7, 64, 64, VM_FMT_YUV420, 3},
        {"zero width", 2, 0, 64, VM_FMT_YUV420, 2},  {"one row", 2, 64, 1, VM_FMT_YUV420, 2},
        {"packed BGR", 2, 64, 64, VM_FMT_BGR24, 3},  {"packed BGR0", 2, 64, 64, VM_FMT_BGRX32, 3},
        {"4:2:2", 2, 64, 64, VM_FMT_YUV422, 3},
    };
    for (const Case& k : cases) {
        c = zoom_config(k.w, k.h, nullptr);
        c.kind = k.kind;
        c.screen.format = k.format;
        EXPECT_EQ(qn_pro_AddDstImage(engine, &c, nullptr), k.result) << k.what;
    }
    EXPECT_EQ(views(), 0);
}

TEST_F(ViewTable, AllocatesOrAdoptsPictures)
{
    _vm_screen* allocated = nullptr;
    QN_PRO_DST_CONFIG c = zoom_config(64, 48, nullptr);
    ASSERT_EQ(qn_pro_AddDstImage(engine, &c, &allocated), 0);
    ASSERT_NE(allocated, nullptr);
    EXPECT_EQ(allocated->width, 64);
    EXPECT_EQ(allocated->format, VM_FMT_YUV420);
    pictures.push_back(std::make_unique<Yuv>(64, 48, VM_FMT_YVU420));
    Yuv& mine = *pictures.back();
    c = zoom_config(64, 48, &mine);
    _vm_screen* none = reinterpret_cast<_vm_screen*>(1);
    ASSERT_EQ(qn_pro_AddDstImage(engine, &c, &none), 0);
    EXPECT_EQ(none, nullptr) << "a complete picture is rendered in place";
    EXPECT_EQ(view(1).screen.planar.plane[0], mine.y.data());
}

TEST_F(ViewTable, HoldsAtMost128Views)
{
    for (int i = 0; i < 128; ++i) ASSERT_EQ(add_zoom(8, 8), 0) << i;
    EXPECT_EQ(add_zoom(8, 8), 4);
    EXPECT_EQ(views(), 128);
    QN_PRO_DST_INFO* table = nullptr;
    int records = 0;
    Yuv source(1280, 720);
    EXPECT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    EXPECT_EQ(records, 256);
    // The program empties an engine by deleting view 0 until none is left.
    int guard = 0;
    while (views() > 0 && guard++ < 200) ASSERT_EQ(qn_pro_DelDstImage(engine, 0), 0);
    EXPECT_EQ(views(), 0);
}

TEST_F(ViewTable, AutoColoursFollowTheViewNumber)
{
    // Closed form: intensity 255 for b = 0, else 2^(8 - d) (2 b' + 1).
    for (int n = 0; n < 768; ++n) {
        Colour c;
        ASSERT_TRUE(colour_of_view_number(n, c)) << n;
        const int b = n / 6;
        int intensity = 255;
        if (b > 0) {
            const int d = static_cast<int>(std::floor(std::log2(b))) + 1;
            intensity = (1 << (8 - d)) * (2 * (b - (1 << (d - 1))) + 1);
        }
        const int bits[6][3] = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {0, 1, 1}, {1, 1, 0}, {1, 0, 1}};
        EXPECT_EQ(c.b, bits[n % 6][0] * intensity) << n;
        EXPECT_EQ(c.g, bits[n % 6][1] * intensity) << n;
        EXPECT_EQ(c.r, bits[n % 6][2] * intensity) << n;
    }
    Colour c;
    EXPECT_FALSE(colour_of_view_number(768, c));
}

TEST_F(ViewTable, DeleteShiftsViewsAndRecolours)
{
    for (int id : {10, 11, 12}) ASSERT_EQ(add_zoom(64, 64, {}, {}, id), 0);
    EXPECT_EQ(view(2).effect.colour.b, 255) << "view 2 is blue";
    QN_PRO_DST_EFFECT red{};
    red.color_r = 200;
    ASSERT_EQ(qn_pro_SetDstEffectNo(engine, &red, 1), 0);
    ASSERT_EQ(qn_pro_DelDstImage(engine, 0), 0);
    EXPECT_EQ(qn_pro_DelDstImage(engine, 7), 0) << "out of range: nothing to do";
    QN_PRO_DST_INFO* table = nullptr;
    int n = 0;
    ASSERT_EQ(qn_pro_GetDstList(engine, &table, &n), 0);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(table[0].id, 11);
    EXPECT_EQ(table[2].id, 12);
    EXPECT_EQ(view(0).effect.colour.r, 200) << "a given colour stays";
    EXPECT_EQ(view(1).effect.colour.g, 255) << "auto-coloured view 2 became view 1: green";
    EXPECT_EQ(view(1).effect.colour.b, 0);
}

TEST_F(ViewTable, Effects)
{
    ASSERT_EQ(add_zoom(64, 64, {}, {}, 5), 0);
    ASSERT_EQ(add_zoom(640, 480, {}, {}, 5), 0);
    QN_PRO_DST_EFFECT fx{};
    fx.border = 1;
    fx.border_width = 3;
    fx.blend = 77;
    fx.remap_mode = 2;
    fx.color_g = 9;
    EXPECT_EQ(qn_pro_SetDstEffectID(engine, &fx, 5), 0);
    for (int n : {0, 1}) {
        QN_PRO_DST_EFFECT back{};
        ASSERT_EQ(qn_pro_GetDstEffectNo(engine, &back, n), 0);
        EXPECT_EQ(back.border, 1);
        EXPECT_EQ(back.border_width, 3);
        EXPECT_EQ(back.blend, 77);
        EXPECT_EQ(back.remap_mode, 2);
        EXPECT_EQ(back.color_g, 9);
    }
    EXPECT_EQ(engine->records[3]->effect.remap_mode, 2) << "the companion follows the remap mode";
    QN_PRO_DST_INFO* table = nullptr;
    int n = 0;
    qn_pro_GetDstList(engine, &table, &n);
    EXPECT_EQ(table[0].blend, 77);
    QN_PRO_DST_EFFECT back{};
    EXPECT_EQ(qn_pro_GetDstEffectID(engine, &back, 5), 0);
    EXPECT_EQ(qn_pro_GetDstEffectID(engine, &back, 6), 2) << "no view with that id";
    EXPECT_EQ(qn_pro_SetDstEffectID(engine, &fx, 6), 0);
    EXPECT_EQ(qn_pro_SetDstEffectNo(engine, &fx, 2), 2);
    EXPECT_EQ(qn_pro_GetDstEffectNo(engine, nullptr, 0), 2);
}

TEST_F(ViewTable, Companions)
{
    ASSERT_EQ(add_zoom(150, 150), 0);
    ASSERT_EQ(add_zoom(640, 480), 0);
    ASSERT_EQ(add_zoom(400, 2), 0);
    EXPECT_EQ(view(0).companion, CompanionState::Inactive);
    QN_PRO_POINT centre{0.5f, 0.5f, 1, 1};
    EXPECT_EQ(qn_pro_SetDstAimerByNo(engine, &centre, 0, 1, 0), 3);
    EXPECT_EQ(view(1).companion, CompanionState::Active);
    EXPECT_EQ(engine->records[3]->width, 182);
    EXPECT_EQ(engine->records[3]->height, 182);
    EXPECT_EQ(view(2).companion, CompanionState::Inactive) << "a 400 x 2 view has no room for one";

    // The aimer rectangle is centred on the point and pushed inside the view.
    QN_PRO_POINT corner{10, 470, 640, 480};
    ASSERT_EQ(qn_pro_SetDstAimerByNo(engine, &corner, 1, 1, 0), 0);
    const Aimer& a = view(1).aimer;
    EXPECT_TRUE(a.on);
    EXPECT_EQ(a.left, 0);
    EXPECT_EQ(a.right, 182);
    EXPECT_EQ(a.bottom, 480);
    EXPECT_EQ(a.top, 480 - 182);
    QN_PRO_POINT middle{320, 240, 640, 480};
    ASSERT_EQ(qn_pro_SetDstAimerByNo(engine, &middle, 1, 1, 0), 0);
    EXPECT_EQ(a.left, 228);
    EXPECT_EQ(a.right, 410);
    EXPECT_EQ(a.left % 2, 0);

    for (int i = 0; i < 6; ++i) qn_pro_SetDstAimerByNo(engine, nullptr, 1, 1, 1);
    EXPECT_FLOAT_EQ(view(1).companion_zoom, 4.0f);
    for (int i = 0; i < 8; ++i) qn_pro_SetDstAimerByNo(engine, nullptr, 1, 1, -1);
    EXPECT_FLOAT_EQ(view(1).companion_zoom, 1.5f);
    EXPECT_EQ(qn_pro_SetDstAimerByNo(engine, nullptr, 1, 0, 0), 0);
    EXPECT_FALSE(a.on);
    EXPECT_EQ(qn_pro_SetDstAimerByNo(engine, nullptr, 9, 1, 0), 2);
}

QN_PRO_DST_POSI zoom_posi(float exponent, float x, float y, int fw = 1280, int fh = 720)
{
    QN_PRO_DST_POSI p{};
    p.zoom.exponent = exponent;
    p.zoom.x = x;
    p.zoom.y = y;
    p.zoom.frame_width = fw;
    p.zoom.frame_height = fh;
    return p;
}

TEST(ZoomExponents, ZoomOfExponent)
{
    EXPECT_FLOAT_EQ(zoom_of_exponent(3), 2);
    EXPECT_FLOAT_EQ(zoom_of_exponent(-3), 1 / std::sqrt(3.0f));
    EXPECT_FLOAT_EQ(zoom_of_exponent(0), 1);
    EXPECT_FLOAT_EQ(exponent_of_zoom(1.5f), 1.25f);
    EXPECT_FLOAT_EQ(exponent_of_zoom(0.5f), -4);
    EXPECT_FLOAT_EQ(exponent_of_zoom(1), 0);
}

TEST_F(ViewTable, ZoomPositions)
{
    // A 360 x 180 view: the circle box is 720 x 720, so the zoom floor is 0.5
    // when adding (min) and 0.5 when positioning (max of 0.5 and 0.25).
    ASSERT_EQ(add_zoom(360, 180, zoom_posi(3, 640, 360)), 0);
    QN_PRO_DST_POSI p{};
    ASSERT_EQ(qn_pro_GetDstPosi(engine, &p, 0), 0);
    EXPECT_FLOAT_EQ(p.zoom.exponent, 3);
    EXPECT_EQ(p.zoom.frame_width, 1280);
    EXPECT_EQ(p.zoom.frame_height, 720);

    p = zoom_posi(100, 640, 360);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    qn_pro_GetDstPosi(engine, &p, 0);
    EXPECT_FLOAT_EQ(p.zoom.exponent, 16) << "clamped";

    p = zoom_posi(-3, 640, 360);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    qn_pro_GetDstPosi(engine, &p, 0);
    EXPECT_FLOAT_EQ(p.zoom.exponent, -3) << "zoom 1/sqrt(3) is above the floor";

    p = zoom_posi(-64, 640, 360);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    qn_pro_GetDstPosi(engine, &p, 0);
    EXPECT_FLOAT_EQ(p.zoom.exponent, -4) << "raised to the floor 0.5";

    // A centre outside its frame is the frame's centre; an edge centre is
    // pulled in by half the window.
    p = zoom_posi(3, 5000, 360);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    qn_pro_GetDstPosi(engine, &p, 0);
    EXPECT_FLOAT_EQ(p.zoom.x, 640);
    p = zoom_posi(3, 0, 0);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    qn_pro_GetDstPosi(engine, &p, 0);
    EXPECT_FLOAT_EQ(p.zoom.x, 90) << "half of 360 view pixels at zoom 2";
    EXPECT_FLOAT_EQ(p.zoom.y, 45);

    // A change with no reference size of its own moves only the zoom.
    p = zoom_posi(3, 640, 360);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 0), 0);
    QN_PRO_DST_POSI delta = zoom_posi(1, 50, 50, 0, 0);
    ASSERT_EQ(qn_pro_ChangeDstPosiByNo(engine, &delta, 0), 0);
    qn_pro_GetDstPosi(engine, &p, 0);
    EXPECT_FLOAT_EQ(p.zoom.exponent, 4);
    EXPECT_FLOAT_EQ(p.zoom.x, 640);
    delta = zoom_posi(0, 64, 36, 128, 72); // half a frame in a frame of its own
    ASSERT_EQ(qn_pro_ChangeDstPosiByID(engine, &delta, 1), 0);
    qn_pro_GetDstPosi(engine, &p, 0);
    EXPECT_FLOAT_EQ(p.zoom.x, 1200) << "pulled in from the edge by 180 / sqrt(5)";
    EXPECT_EQ(qn_pro_SetDstPosiByNo(engine, &p, 3), 2);
}

TEST_F(ViewTable, ZoomRegionsAndWholeMode)
{
    QN_PRO_DST_POSI p{};
    p.zoom.region = 1;
    p.zoom.left = 300;
    p.zoom.right = 700; // 400 wide in a 1000-wide frame: small
    p.zoom.top = 100;
    p.zoom.bottom = 900;
    p.zoom.region_width = 1000;
    p.zoom.region_height = 1000;
    ASSERT_EQ(add_zoom(320, 180, p), 0);
    p.zoom.left = 100;
    p.zoom.right = 900; // 800 wide: not small
    ASSERT_EQ(add_zoom(320, 180, p), 0);
    QN_PRO_DST_INFO* table = nullptr;
    int records = 0;
    Yuv source(1280, 720);
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    EXPECT_TRUE(view(0).outline.valid) << "a small window keeps its outline for others";
    EXPECT_FALSE(view(1).outline.valid);
    QN_PRO_DST_POSI back{};
    qn_pro_GetDstPosi(engine, &back, 0);
    EXPECT_FLOAT_EQ(back.zoom.x, 640);
    EXPECT_FLOAT_EQ(back.zoom.y, 360);
    // Zoom 320 / 1280 x 1000 / 400 = 0.625, read back as its exponent, so
    // that applying the position read back keeps the window.
    EXPECT_FLOAT_EQ(back.zoom.exponent, -1 / (0.625f * 0.625f));
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &back, 0), 0);
    QN_PRO_DST_POSI again{};
    qn_pro_GetDstPosi(engine, &again, 0);
    EXPECT_FLOAT_EQ(again.zoom.exponent, back.zoom.exponent);

    QN_PRO_DST_POSI whole{};
    whole.zoom.whole = 1;
    ASSERT_EQ(add_zoom(360, 360, whole), 0);
    QN_PRO_DST_POSI move = zoom_posi(5, 100, 100);
    ASSERT_EQ(qn_pro_SetDstPosiByNo(engine, &move, 2), 0);
    qn_pro_GetDstPosi(engine, &back, 2);
    EXPECT_EQ(back.zoom.whole, 1);
    EXPECT_FLOAT_EQ(back.zoom.x, 640) << "whole mode ignores positions";
}

TEST_F(ViewTable, AnglesAndConfigs)
{
    ASSERT_EQ(add_zoom(720, 720, zoom_posi(0, 640, 360)), 0);
    QN_PRO_DST_INFO* table = nullptr;
    int records = 0;
    Yuv source(1280, 720);
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    QN_PRO_POINT point{0.5f, 0.5f, 1, 1}, out{};
    ASSERT_EQ(qn_pro_GetDstAngle(engine, 0, &point, &out), 0);
    EXPECT_FLOAT_EQ(out.x, 640);
    EXPECT_FLOAT_EQ(out.y, 360);
    EXPECT_EQ(out.ref_width, 1280);
    point = {100, 0, 720, 720};
    ASSERT_EQ(qn_pro_GetDstAngle(engine, 0, &point, &out), 0);
    EXPECT_FLOAT_EQ(out.x, 640 - 260);
    EXPECT_EQ(qn_pro_GetDstAngle(engine, 1, &point, &out), 2);

    QN_PRO_DST_CONFIG config{};
    ASSERT_EQ(qn_pro_GetDstConfig(engine, &config, 0), 0);
    EXPECT_EQ(config.kind, QN_PRO_DST_ZOOM);
    EXPECT_EQ(config.screen.width, 720);
    QN_PRO_DST_CONFIG all[4];
    int count = -1;
    ASSERT_EQ(qn_pro_GetDstConfigAll(engine, all, 4, &count), 0);
    EXPECT_EQ(count, 1);
    QN_PRO_DST_POSI posis[4];
    ASSERT_EQ(qn_pro_GetDstPosiAll(engine, posis, 0, &count), 0);
    EXPECT_EQ(count, 0);
    // No other view's outline to pick: a non-zero refusal, on which callers
    // fall back to dragging.
    EXPECT_EQ(qn_pro_ControlByDst(engine, 0, &point, 0, 1, 0), 3);
    EXPECT_EQ(qn_pro_ControlByDst(engine, 0, nullptr, 0, 1, 0), 2);
}

// Pressing inside a small window's outline in a whole-mode view links the
// small window; dragging then moves it to the source point under the cursor.
TEST_F(ViewTable, ControlMovesTheLinkedZoomView)
{
    QN_PRO_DST_POSI whole{};
    whole.zoom.whole = 1;
    ASSERT_EQ(add_zoom(720, 720, whole), 0); // source columns 280..999
    QN_PRO_DST_POSI region{};
    region.zoom.region = 1;
    region.zoom.left = 500;
    region.zoom.top = 300;
    region.zoom.right = 700;
    region.zoom.bottom = 400;
    region.zoom.region_width = 1280;
    region.zoom.region_height = 720;
    ASSERT_EQ(add_zoom(160, 90, region), 0);
    QN_PRO_DST_INFO* table = nullptr;
    int records = 0;
    Yuv source(1280, 720);
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);

    QN_PRO_POINT outside{10, 10, 720, 720};
    EXPECT_EQ(qn_pro_ControlByDst(engine, 0, &outside, 0, 1, 0), 3) << "picking needs a hit";
    QN_PRO_POINT inside{320, 350, 720, 720}; // source (600, 350)
    ASSERT_EQ(qn_pro_ControlByDst(engine, 0, &inside, 0, 1, 0), 0);
    EXPECT_EQ(engine->selected_linked, 2);
    QN_PRO_DST_POSI p{};
    qn_pro_GetDstPosi(engine, &p, 1);
    EXPECT_FLOAT_EQ(p.zoom.x, 600);
    EXPECT_FLOAT_EQ(p.zoom.y, 350);
    QN_PRO_POINT dragged{340, 360, 720, 720};
    ASSERT_EQ(qn_pro_ControlByDst(engine, 0, &dragged, 0, 0, 1), 0);
    qn_pro_GetDstPosi(engine, &p, 1);
    EXPECT_FLOAT_EQ(p.zoom.x, 620);
    EXPECT_FLOAT_EQ(p.zoom.y, 360);
    const float exponent = p.zoom.exponent;
    ASSERT_EQ(qn_pro_ControlByDst(engine, 0, nullptr, 1, 0, 1), 0) << "the wheel zooms the linked view";
    qn_pro_GetDstPosi(engine, &p, 1);
    EXPECT_FLOAT_EQ(p.zoom.exponent, exponent + 1);
}

}  // namespace
