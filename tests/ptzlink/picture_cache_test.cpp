// The lens-corrected picture cache against OpenCV and a numpy colour model.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "engine_context.h"
#include "engine_instance.h"
#include "engine_steps_internal.h"
#include "event_recorder.h"
#include "support/lens_record_builder.h"
#include "lens_table.h"
#include "qn_ptzlink.h"
#include "test_support.h"

namespace {

using ptzlink_test::EventRecorder;

class PictureCache : public ::testing::Test {
protected:
    void SetUp() override
    {
        qnpl::lens_table_clear();
        ASSERT_EQ(link.Create(), 1);
        ctx = qnpl::engine_instance();
        ASSERT_EQ(link.SetEventCallBack(&EventRecorder::callback, events.user()), 1);
        ctx->flags.set(qnpl::flag::kRunning);  // the cache works only during a run
    }
    void TearDown() override
    {
        ctx->flags.clear(qnpl::flag::kRunning);
        link.Destory();
    }
    std::vector<uint32_t> cached_pixels() const
    {
        const _vm_screen* c = ctx->ptz.cached.get();
        std::vector<uint32_t> out(size_t(c->width) * c->height);
        for (int y = 0; y < c->height; ++y)
            std::memcpy(&out[size_t(y) * c->width], c->packed.pixels + y * c->packed.stride, c->width * 4);
        return out;
    }

    EventRecorder events;
    QN_PTZLINK link;
    qnpl_context* ctx = nullptr;
};

TEST_F(PictureCache, LensCorrectedPictureAgreesWithOpenCvRemap)
{
    const int sw = 352, sh = 288, dw = 320, dh = 240;
    ptzlink_test::LensFields lens;
    lens.lens_id = 55;
    lens.input_width = dw;
    lens.input_height = dh;
    lens.output_width = sw;
    lens.output_height = sh;
    const double a[10] = {0.05, 1.2, 0.004, 0.01, 0.003, 0.006, -0.002, 0.0015, -0.004, 0.0008};
    const double b[10] = {-0.03, 0.008, 0.002, 0.97, -0.004, 0.005, 0.003, -0.002, 0.0007, -0.003};
    for (int i = 0; i < 10; ++i) {
        lens.a[i] = int32_t(std::lround(a[i] * ptzlink_test::kCoefficientOne));
        lens.b[i] = int32_t(std::lround(b[i] * ptzlink_test::kCoefficientOne));
    }
    const uint64_t type = ptzlink_test::pano_type_for(55);
    const auto record = ptzlink_test::build_record(lens);
    ASSERT_EQ(link.AddCorrectPara(record.data(), 96, type), 0);
    ctx->pano_type = type;
    ctx->def_width = dw;
    ctx->def_height = dh;

    std::vector<uint8_t> bgr(size_t(sw) * sh * 3);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x)
            for (int c = 0; c < 3; ++c)
                bgr[(size_t(y) * sw + x) * 3 + c] = uint8_t(128 + 100 * std::sin(x * 0.05 * (c + 1) + y * 0.03));
    _vm_screen pic{};
    pic.width = sw;
    pic.height = sh;
    pic.format = VM_FMT_BGR24;
    pic.packed.stride = sw * 3;
    pic.packed.pixels = bgr.data();
    ASSERT_EQ(qnpl::CachePTZImage(*ctx, &pic), 1);
    EXPECT_TRUE(events.contains("Lens correct ready"));
    ASSERT_NE(ctx->lens_map, nullptr);

    ptzlink_test::TempDir dir;
    std::vector<int32_t> map(size_t(dw) * dh * 2);
    std::memcpy(map.data(), ctx->lens_map, map.size() * 4);
    ASSERT_TRUE(ptzlink_test::write_raw(dir.file("src.raw"), bgr));
    ASSERT_TRUE(ptzlink_test::write_raw(dir.file("map.raw"), map));
    std::ostringstream args;
    args << "remap " << dir.file("src.raw") << ' ' << sw << ' ' << sh << ' ' << dir.file("map.raw") << ' ' << dw << ' '
         << dh << ' ' << dir.file("out.raw");
    std::string error;
    ptzlink_test::run_python("cache_reference.py", args.str(), &error);
    ASSERT_TRUE(error.empty()) << error;
    const auto expected = ptzlink_test::read_raw<uint8_t>(dir.file("out.raw"));
    const auto ours = cached_pixels();
    int worst = 0, outside = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
        if (map[2 * i] < 0) {
            ++outside;
            EXPECT_EQ(ours[i], 0u);
            continue;
        }
        for (int c = 0; c < 3; ++c)
            worst = std::max(worst, std::abs(int((ours[i] >> (8 * c)) & 0xff) - int(expected[3 * i + c])));
    }
    EXPECT_GT(outside, 0);
    EXPECT_LE(worst, 2);

    // A picture of another size builds its own map: no tap may fall outside it.
    std::vector<uint8_t> small(size_t(100) * 80 * 4, 200);
    _vm_screen smaller{};
    smaller.width = 100;
    smaller.height = 80;
    smaller.format = VM_FMT_BGRX32;
    smaller.packed.stride = 400;
    smaller.packed.pixels = small.data();
    ASSERT_EQ(qnpl::CachePTZImage(*ctx, &smaller), 1);
    EXPECT_EQ(ctx->lens_map_source.width, 100);
    for (uint32_t px : cached_pixels()) EXPECT_TRUE(px == 0 || px == 0x00c8c8c8u);
}

TEST_F(PictureCache, PlanarPicturesConvertWithTheFullRangeMatrix)
{
    const int w = 64, h = 48;
    ctx->def_width = w;
    ctx->def_height = h;
    std::vector<uint8_t> Y(w * h), U(w / 2 * h / 2), V(w / 2 * h / 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) Y[y * w + x] = uint8_t(16 + 3 * x + y);
    for (int y = 0; y < h / 2; ++y)
        for (int x = 0; x < w / 2; ++x) {
            U[y * w / 2 + x] = uint8_t(40 + 6 * x);
            V[y * w / 2 + x] = uint8_t(220 - 7 * y);
        }
    _vm_screen pic{};
    pic.width = w;
    pic.height = h;
    pic.format = VM_FMT_YUV420;
    pic.planar.stride[0] = w;
    pic.planar.stride[1] = pic.planar.stride[2] = w / 2;
    pic.planar.plane[0] = Y.data();
    pic.planar.plane[1] = U.data();
    pic.planar.plane[2] = V.data();
    ASSERT_EQ(qnpl::CachePTZImage(*ctx, &pic), 1) << "no lens record: the picture is only scaled";
    EXPECT_FALSE(events.contains("Lens correct ready"));

    ptzlink_test::TempDir dir;
    ASSERT_TRUE(ptzlink_test::write_raw(dir.file("y.raw"), Y));
    ASSERT_TRUE(ptzlink_test::write_raw(dir.file("u.raw"), U));
    ASSERT_TRUE(ptzlink_test::write_raw(dir.file("v.raw"), V));
    std::ostringstream args;
    args << "yuv " << dir.file("y.raw") << ' ' << dir.file("u.raw") << ' ' << dir.file("v.raw") << ' ' << w << ' ' << h
         << ' ' << dir.file("out.raw");
    std::string error;
    ptzlink_test::run_python("cache_reference.py", args.str(), &error);
    ASSERT_TRUE(error.empty()) << error;
    const auto expected = ptzlink_test::read_raw<uint8_t>(dir.file("out.raw"));
    const auto ours = cached_pixels();
    int worst = 0;
    for (size_t i = 0; i < ours.size(); ++i)
        for (int c = 0; c < 3; ++c)
            worst = std::max(worst, std::abs(int((ours[i] >> (8 * c)) & 0xff) - int(expected[3 * i + c])));
    EXPECT_LE(worst, 1);
}

TEST_F(PictureCache, RefusesPicturesItCannotRead)
{
    ctx->def_width = 16;
    ctx->def_height = 16;
    std::vector<uint8_t> bytes(16 * 16 * 4);
    _vm_screen pic{};
    pic.width = 16;
    pic.height = 16;
    pic.format = VM_FMT_BGR24;
    pic.packed.stride = 16 * 3;
    pic.packed.pixels = bytes.data();
    _vm_screen short_rows = pic, no_pixels = pic, planar = pic, unknown = pic;
    short_rows.packed.stride = 40;
    no_pixels.packed.pixels = nullptr;
    planar.format = VM_FMT_YUV420;
    planar.planar.plane[1] = nullptr;
    unknown.format = VM_FMT_RGB16_A;
    for (const _vm_screen* bad : {&short_rows, &no_pixels, &planar, &unknown})
        EXPECT_EQ(qnpl::CachePTZImage(*ctx, bad), 0);
    EXPECT_EQ(qnpl::CachePTZImage(*ctx, nullptr), 0);
    EXPECT_EQ(qnpl::CachePTZImage(*ctx, &pic), 1);
    ctx->flags.clear(qnpl::flag::kRunning);
    EXPECT_EQ(qnpl::CachePTZImage(*ctx, &pic), 0) << "not during a run";
    ctx->flags.set(qnpl::flag::kRunning);
}

}  // namespace
