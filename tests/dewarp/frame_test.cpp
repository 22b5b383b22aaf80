// Rendering frames: remaps against FFmpeg, borders, blending, sharpening,
// outlines, aimers and stored sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <numeric>

#include "dewarp_test_support.h"
#include "drawing.h"
#include "engine.h"
#include "remap.h"

using namespace dewarp_test;
using namespace qn_dewarp;

namespace {

constexpr const char* kTestPattern = "testsrc2=s=1280x720";
constexpr const char* kBlurredPattern = "testsrc2=s=1280x720,gblur=sigma=2";

struct Frame : testing::Test {
    QN_PRO_ENGINE* engine = nullptr;
    QN_PRO_DST_INFO* table = nullptr;
    int records = 0;
    // Views outlive the engine, which writes into them until destroyed.
    std::vector<std::unique_ptr<Yuv>> pictures;

    Yuv& picture(int w, int h)
    {
        pictures.push_back(std::make_unique<Yuv>(w, h));
        return *pictures.back();
    }

    void make_engine(int keep_source = 0)
    {
        QN_PRO_ENGINE_PARA p = engine_para(0x10000, 1280, 720, 640, 360, 360);
        p.keep_source = keep_source;
        ASSERT_EQ(qn_pro_CreateEngine(&engine, &p), 0);
    }
    void SetUp() override { make_engine(); }
    void TearDown() override
    {
        if (engine) qn_pro_DestroyEngine(engine);
    }

    int add(Yuv& view, QN_PRO_DST_POSI posi, int remap = 0, uint8_t blend = 0)
    {
        QN_PRO_DST_CONFIG c = zoom_config(view.width, view.height, &view);
        c.posi = posi;
        c.effect.remap_mode = static_cast<int8_t>(remap);
        c.effect.blend = blend;
        return qn_pro_AddDstImage(engine, &c, nullptr);
    }
};

QN_PRO_DST_POSI whole_view()
{
    QN_PRO_DST_POSI p{};
    p.zoom.whole = 1;
    return p;
}

QN_PRO_DST_POSI zoom_at(float exponent, float x, float y)
{
    QN_PRO_DST_POSI p{};
    p.zoom.exponent = exponent;
    p.zoom.x = x;
    p.zoom.y = y;
    p.zoom.frame_width = 1280;
    p.zoom.frame_height = 720;
    return p;
}

// At zoom 1 the whole-mode window is the circle's 720 x 720 box, columns 280
// to 999 of the source: every remap copies it sample for sample.
TEST_F(Frame, ZoomOneReproducesTheSource)
{
    Yuv source(1280, 720);
    ASSERT_TRUE(ffmpeg_frame(kTestPattern, "yuv420p", source)) << "ffmpeg with lavfi testsrc2 is needed";
    const std::vector<uint8_t> untouched = source.y;
    Yuv &nearest = picture(720, 720), &bilinear = picture(720, 720), &cubic = picture(720, 720);
    ASSERT_EQ(add(nearest, whole_view()), 0);
    ASSERT_EQ(add(bilinear, whole_view(), 0), 0);
    ASSERT_EQ(add(cubic, whole_view(), 1), 0);
    ASSERT_EQ(qn_pro_ProcessVideo(engine, &source.screen, &table, &records), 0); // dirty: nearest
    for (int y = 2; y < 718; ++y)
        for (int x = 2; x < 718; ++x) ASSERT_EQ(nearest.Y(x, y), source.Y(280 + x, y)) << x << "," << y;
    ASSERT_EQ(qn_pro_ProcessVideo(engine, &source.screen, &table, &records), 0); // clean: effect's mode
    for (const Yuv* view : {&bilinear, &cubic})
        for (int y = 2; y < 718; ++y)
            for (int x = 2; x < 718; ++x) ASSERT_EQ(view->Y(x, y), source.Y(280 + x, y)) << x << "," << y;
    // Rows without a source (the frame's first and last two) are grey.
    EXPECT_EQ(cubic.Y(100, 0), 128);
    EXPECT_EQ(cubic.Y(100, 719), 128);
    EXPECT_EQ(records, 6);
    EXPECT_EQ(source.y, untouched) << "the source is only read";
}

// Settled views are not cleared before their render, which must then write
// every sample: whatever a picture held before the frame, the frame's result
// is the same.
TEST_F(Frame, SettledViewsAreWrittenWhole)
{
    Yuv source(1280, 720);
    ASSERT_TRUE(ffmpeg_frame(kTestPattern, "yuv420p", source)) << "ffmpeg with lavfi testsrc2 is needed";
    Yuv &bilinear = picture(640, 360), &cubic = picture(320, 240), &odd = picture(71, 45);
    ASSERT_EQ(add(bilinear, zoom_at(3, 200, 300)), 0);
    ASSERT_EQ(add(cubic, zoom_at(1, 900, 400), 1), 0);
    ASSERT_EQ(add(odd, whole_view()), 0);
    for (int i = 0; i < 2; ++i) ASSERT_EQ(qn_pro_ProcessVideo(engine, &source.screen, &table, &records), 0);
    std::vector<std::vector<uint8_t>> settled;
    for (Yuv* view : {&bilinear, &cubic, &odd}) {
        for (const auto* plane : {&view->y, &view->u, &view->v}) settled.push_back(*plane);
        for (auto* plane : {&view->y, &view->u, &view->v}) std::fill(plane->begin(), plane->end(), 0x55);
    }
    ASSERT_EQ(qn_pro_ProcessVideo(engine, &source.screen, &table, &records), 0);
    size_t i = 0;
    for (Yuv* view : {&bilinear, &cubic, &odd})
        for (const auto* plane : {&view->y, &view->u, &view->v}) EXPECT_EQ(*plane, settled[i++]) << "plane " << i;
}

// Twice magnified, blurred content: our bilinear and cubic remaps against
// FFmpeg's scaler on the same window. FFmpeg samples pixel centres, we
// sample pixel corners: a quarter-pixel shift that blurred content hides.
TEST_F(Frame, ZoomTwoAgreesWithFfmpegScaler)
{
    Yuv source(1280, 720);
    ASSERT_TRUE(ffmpeg_frame(kBlurredPattern, "yuv420p", source));
    Yuv &bilinear = picture(720, 720), &cubic = picture(720, 720);
    ASSERT_EQ(add(bilinear, zoom_at(3, 640, 360), 0), 0);
    ASSERT_EQ(add(cubic, zoom_at(3, 640, 360), 1), 0);
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    struct Case {
        const Yuv* ours;
        const char* flags;
    };
    for (const Case c : {Case{&bilinear, "bilinear"}, Case{&cubic, "bicubic"}}) {
        Yuv reference(720, 720);
        const std::string graph = std::string(kBlurredPattern) + ",crop=360:360:460:180,scale=720:720:flags=" + c.flags;
        ASSERT_TRUE(ffmpeg_frame(graph, "yuv420p", reference)) << c.flags;
        std::vector<uint8_t> a, b;
        for (int y = 8; y < 712; ++y)
            for (int x = 8; x < 712; ++x) {
                a.push_back(c.ours->Y(x, y));
                b.push_back(reference.Y(x, y));
            }
        const double db = psnr(a, b);
        EXPECT_GE(db, 35.0) << c.flags;
        RecordProperty(std::string("psnr_") + c.flags, std::to_string(db));
    }
}

TEST(Colours, AgreeWithFfmpegFullRangeBt601)
{
    for (uint32_t rgb : {0xff0000u, 0x00ff00u, 0x0000ffu, 0xffffffu, 0x123456u, 0x80c040u}) {
        char graph[64];
        std::snprintf(graph, sizeof graph, "color=c=0x%06X:s=16x16", rgb);
        Yuv reference(16, 16);
        ASSERT_TRUE(ffmpeg_frame(graph, "yuvj420p", reference));
        const YCbCr ours = ycbcr_of_word(rgb);
        EXPECT_NEAR(ours.y, reference.y[0], 1) << std::hex << rgb;
        EXPECT_NEAR(ours.cb, reference.u[0], 1) << std::hex << rgb;
        EXPECT_NEAR(ours.cr, reference.v[0], 1) << std::hex << rgb;
    }
    const YCbCr red = ycbcr_of(0, 0, 255);
    EXPECT_EQ(red.y, 76);
    EXPECT_EQ(red.cb, 85);
    EXPECT_EQ(red.cr, 255);
}

TEST_F(Frame, BordersBlendAndDirtyFrames)
{
    Yuv source(1280, 720); // black: Y 0, chroma 128
    std::fill(source.y.begin(), source.y.end(), 0);
    Yuv &framed = picture(64, 64), &plain = picture(64, 64), &blended = picture(64, 64);
    ASSERT_EQ(add(framed, zoom_at(3, 640, 360)), 0);
    ASSERT_EQ(add(plain, zoom_at(3, 640, 360)), 0);
    ASSERT_EQ(add(blended, zoom_at(3, 640, 360), 0, 128), 0);
    QN_PRO_DST_EFFECT fx{};
    fx.border = 1;
    fx.border_width = 3;
    fx.color_r = 255;
    ASSERT_EQ(qn_pro_SetDstEffectNo(engine, &fx, 0), 0);

    // A dirty view is shown with a border whatever its flag.
    ASSERT_EQ(qn_pro_ProcessVideo(engine, &source.screen, &table, &records), 0);
    EXPECT_NE(plain.Y(0, 30), 0);
    ASSERT_EQ(qn_pro_ProcessVideo(engine, &source.screen, &table, &records), 0);
    EXPECT_EQ(plain.Y(0, 30), 0) << "clean and without a border flag";
    for (int row = 0; row < 4; ++row) EXPECT_EQ(framed.Y(30, row), 76) << "width 3 draws 4 rows";
    EXPECT_EQ(framed.Y(30, 4), 0);
    EXPECT_EQ(framed.Y(63, 30), 76);
    EXPECT_EQ(framed.u[1 * 32 + 16], 85);
    EXPECT_EQ(framed.u[2 * 32 + 16], 128);
    fx.border_width = 0;
    ASSERT_EQ(qn_pro_SetDstEffectNo(engine, &fx, 0), 0);
    ASSERT_EQ(qn_pro_ProcessVideo(engine, &source.screen, &table, &records), 0);
    EXPECT_EQ(framed.Y(30, 1), 76);
    EXPECT_EQ(framed.Y(30, 2), 0) << "width 0 draws the default 2 rows";

    // Half of the grey the frame was cleared to stays under the picture.
    EXPECT_EQ(blended.Y(30, 30), 64);
    // A still with a blend weight clears to grey; without, to black.
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    EXPECT_EQ(blended.Y(30, 30), 64);
    EXPECT_EQ(plain.Y(30, 30), 0);
}

TEST(Sharpening, SettingsAndFilter)
{
    struct Case {
        int mode, w, h, kernel, amount;
    };
    for (const Case c : {Case{2, 1280, 720, 3, 1}, Case{8, 1280, 720, 3, 5}, Case{1, 1280, 720, 3, 1},
                         Case{8, 4000, 3000, 9, 4}}) {
        const SharpenSettings s = sharpen_settings(c.mode, c.w, c.h);
        EXPECT_EQ(s.kernel, c.kernel) << c.mode << " " << c.w;
        EXPECT_EQ(s.amount, c.amount) << c.mode << " " << c.w;
    }
    // A flat picture stays flat, but for the truncated 4096 / n^2 of the
    // filter's fixed point (100 x 32760 / 32768); a step gains contrast on
    // both sides.
    Yuv flat(16, 16);
    std::fill(flat.y.begin(), flat.y.end(), 100);
    std::vector<int32_t> scratch;
    sharpen_luma(flat.screen, {3, 5}, scratch);
    EXPECT_EQ(flat.Y(0, 0), 100);
    EXPECT_EQ(flat.Y(8, 8), 99);
    EXPECT_EQ(flat.Y(14, 14), 99);
    EXPECT_EQ(flat.Y(15, 14), 100);
    Yuv step(17, 15);
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 17; ++x) step.y[y * 17 + x] = x < 8 ? 50 : 150;
    sharpen_luma(step.screen, {3, 5}, scratch);
    EXPECT_LT(step.Y(7, 7), 50);
    EXPECT_GT(step.Y(8, 7), 150);
    EXPECT_EQ(step.Y(0, 7), 50) << "the edge of the picture is left alone";
    EXPECT_EQ(step.Y(3, 7), 49);
}

// Odd view sizes and a source half the reference frame's size: every map
// entry is scaled, and nothing is written outside a view.
TEST_F(Frame, OddViewsAndScaledSources)
{
    Yuv full(1280, 720), half(640, 360);
    ASSERT_TRUE(ffmpeg_frame(kBlurredPattern, "yuv420p", full));
    ASSERT_TRUE(ffmpeg_frame(std::string(kBlurredPattern) + ",scale=640:360", "yuv420p", half));
    const int sizes[][2] = {{97, 55}, {3, 3}, {2, 2}, {201, 7}, {721, 719}};
    Yuv* last = nullptr;
    for (int remap : {0, 1, 3}) {
        for (const auto& s : sizes) {
            last = &picture(s[0], s[1]);
            ASSERT_EQ(add(*last, zoom_at(1.5f, 600, 300), remap), 0);
        }
    }
    ASSERT_EQ(qn_pro_ProcessVideo(engine, &half.screen, &table, &records), 0);
    ASSERT_EQ(qn_pro_ProcessVideo(engine, &half.screen, &table, &records), 0);
    std::vector<uint8_t> from_half = last->y;
    ASSERT_EQ(qn_pro_ProcessVideo(engine, &full.screen, &table, &records), 0);
    EXPECT_GE(psnr(from_half, last->y), 28.0) << "a half-size source shows the same window";
}

TEST_F(Frame, RefusalsAndClosing)
{
    Yuv source(1280, 720);
    Yuv& view = picture(64, 64);
    ASSERT_EQ(add(view, zoom_at(3, 640, 360)), 0);
    EXPECT_EQ(qn_pro_ProcessVideo(nullptr, &source.screen, &table, &records), 2);
    EXPECT_EQ(qn_pro_ProcessVideo(engine, nullptr, &table, &records), 2);
    EXPECT_EQ(qn_pro_ProcessVideo(engine, &source.screen, nullptr, &records), 2);
    Yuv packed(64, 64);
    packed.screen.format = VM_FMT_BGR24;
    EXPECT_EQ(qn_pro_ProcessVideo(engine, &packed.screen, &table, &records), 3);
    Yuv empty(0, 0);
    EXPECT_EQ(qn_pro_ProcessImage(engine, &empty.screen, &table, &records), 2);
    EXPECT_EQ(qn_pro_GetFrameWide(nullptr), 2);

    engine->closing = true;
    table = reinterpret_cast<QN_PRO_DST_INFO*>(8);
    records = -5;
    std::fill(view.y.begin(), view.y.end(), 7);
    EXPECT_EQ(qn_pro_ProcessVideo(engine, &source.screen, &table, &records), 0);
    EXPECT_EQ(records, -5);
    EXPECT_EQ(view.Y(10, 10), 7) << "nothing rendered while closing";
}

TEST_F(Frame, StoredSources)
{
    qn_pro_DestroyEngine(engine);
    engine = nullptr;
    make_engine(1);
    Yuv source(1280, 720);
    Yuv& view = picture(128, 128);
    ASSERT_TRUE(ffmpeg_frame(kTestPattern, "yuv420p", source));
    ASSERT_EQ(add(view, whole_view()), 0);
    EXPECT_EQ(qn_pro_GetDstImage(engine, &table, &records), 2) << "nothing stored yet";
    ASSERT_EQ(qn_pro_InputSrcImage(engine, &source.screen), 0);
    std::fill(source.y.begin(), source.y.end(), 0);
    ASSERT_EQ(qn_pro_GetDstImage(engine, &table, &records), 0);
    EXPECT_EQ(records, 2);
    const uint64_t sum = std::accumulate(view.y.begin(), view.y.end(), uint64_t{0});
    EXPECT_GT(sum, 128u * 128u * 20) << "rendered from the stored copy, not the caller's buffer";
    EXPECT_EQ(qn_pro_GetDstImage(engine, &table, &records), 2) << "the slot is free again";
}

TEST_F(Frame, OutlinesAndAimers)
{
    Yuv source(1280, 720);
    std::fill(source.y.begin(), source.y.end(), 0);
    Yuv &big = picture(720, 720), &small = picture(160, 90);
    ASSERT_EQ(add(big, whole_view()), 0);
    QN_PRO_DST_POSI region{};
    region.zoom.region = 1;
    region.zoom.left = 500;
    region.zoom.top = 300;
    region.zoom.right = 700;
    region.zoom.bottom = 400;
    region.zoom.region_width = 1280;
    region.zoom.region_height = 720;
    ASSERT_EQ(add(small, region), 0);
    QN_PRO_DST_EFFECT fx{};
    fx.show_on_others = 1;
    ASSERT_EQ(qn_pro_SetDstEffectNo(engine, &fx, 0), 0);
    ASSERT_EQ(qn_pro_ProcessImage(engine, &source.screen, &table, &records), 0);
    // The small view (auto colour green, Y 150) is outlined in the big one
    // around columns 220..420 and rows 300..400 of the big view's frame.
    const int green_y = ycbcr_of(0, 255, 0).y;
    int outline_pixels = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 720; ++x)
            if (big.Y(x, y) == green_y) {
                ++outline_pixels;
                EXPECT_TRUE(x >= 215 && x <= 425 && y >= 295 && y <= 405) << x << "," << y;
            }
    EXPECT_GT(outline_pixels, 400);

    // The aimer shows the companion's picture inside the rotating ring.
    Yuv& aimed = picture(640, 480);
    ASSERT_EQ(add(aimed, zoom_at(3, 640, 360)), 0);
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x) source.y[y * 1280 + x] = static_cast<uint8_t>(x / 8);
    QN_PRO_POINT at{320, 240, 640, 480};
    ASSERT_EQ(qn_pro_SetDstAimerByNo(engine, &at, 2, 1, 0), 0);
    ASSERT_EQ(qn_pro_ProcessVideo(engine, &source.screen, &table, &records), 0);
    ASSERT_EQ(qn_pro_ProcessVideo(engine, &source.screen, &table, &records), 0);
    const ViewRecord& v = *engine->view(2);
    const ViewRecord& companion = *engine->records[5];
    EXPECT_EQ(v.aimer.angle, 20);
    const uint8_t* c = companion.screen.planar.plane[0];
    const int cs = companion.screen.planar.stride[0];
    const int mid = companion.width / 2;
    EXPECT_EQ(aimed.Y(v.aimer.left + mid, v.aimer.top + mid), c[mid * cs + mid]);
    EXPECT_EQ(aimed.Y(v.aimer.left + mid - 40, v.aimer.top + mid), c[mid * cs + mid - 40]);
    // The companion magnifies the view twice: its gradient is half as steep.
    EXPECT_NEAR(c[mid * cs + mid + 64] - c[mid * cs + mid - 64], (aimed.Y(320 + 64, 240) - aimed.Y(320 - 64, 240)) / 2.0,
                2.0);
}

}  // namespace
