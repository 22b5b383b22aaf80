#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>

#include "support/lens_record_builder.h"
#include "lens_table.h"
#include "qn_ptzlink.h"
#include "test_support.h"

namespace {

using ptzlink_test::build_record;
using ptzlink_test::identity_lens;
using ptzlink_test::kCoefficientOne;
using ptzlink_test::LensFields;
using ptzlink_test::pano_type_for;

class VirProjectImg : public ::testing::Test {
protected:
    void SetUp() override
    {
        qnpl::lens_table_clear();
        ASSERT_EQ(vpi.Create(), 1);
    }
    void TearDown() override { vpi.Destory(); }

    int add(const LensFields& f, uint64_t type)
    {
        const auto r = build_record(f);
        return vpi.AddCorrectPara(r.data(), int(r.size()), type);
    }

    QN_VIR_PROJECT_IMG vpi;
};

TEST(VirProjectImgCodes, ResultCodesSpellTheirLettersInMemoryOrder)
{
    const struct {
        uint32_t code;
        const char* letters;
    } cases[] = {{QN_VPI_ERR_LENGTH, "LENG"}, {QN_VPI_ERR_TYPE, "PTVE"},    {QN_VPI_ERR_RECORD, "PRID"},
                 {QN_VPI_ERR_STORE, "LSTE"},  {QN_VPI_ERR_CONTEXT, "ENGE"}, {QN_VPI_ERR_NO_LENS, "NOIN"}};
    for (const auto& c : cases) {
        char bytes[5] = {};
        std::memcpy(bytes, &c.code, 4);
        EXPECT_STREQ(bytes, c.letters);
    }
}

TEST_F(VirProjectImg, RefusesRecordsInTheOrderOfItsChecks)
{
    const LensFields good = identity_lens(77);
    const uint64_t type = pano_type_for(77);
    auto record = build_record(good);
    EXPECT_EQ(vpi.AddCorrectPara(record.data(), 95, type), QN_VPI_ERR_LENGTH);
    EXPECT_EQ(vpi.AddCorrectPara(nullptr, 96, type), QN_VPI_ERR_LENGTH);
    EXPECT_EQ(vpi.AddCorrectPara(record.data(), 96, (type & ~uint64_t(0x7f)) | 0x54), QN_VPI_ERR_TYPE);
    EXPECT_EQ(vpi.AddCorrectPara(record.data(), 96, (type & ~uint64_t(0x70)) | 0x40), QN_VPI_ERR_TYPE);
    EXPECT_EQ(vpi.AddCorrectPara(record.data(), 96, pano_type_for(78)), QN_VPI_ERR_RECORD);

    // Records that would divide by zero or run past the coefficient arrays.
    LensFields kind = good, scale = good, count = good, in_w = good, out_h = good;
    kind.kind = 1;
    scale.scale = 0;
    count.count = 11;
    in_w.input_width = 0;
    out_h.output_height = 0;
    for (const LensFields& bad : {kind, scale, count, in_w, out_h}) EXPECT_EQ(add(bad, type), QN_VPI_ERR_RECORD);
    EXPECT_EQ(vpi.LockPro(type), QN_VPI_ERR_NO_LENS) << "a refused record must not be stored";

    EXPECT_EQ(add(good, type), 0);
    EXPECT_EQ(vpi.LockPro(type), 0);
}

TEST_F(VirProjectImg, SameLensTwiceKeepsTheFirstRecordAndItsType)
{
    const uint64_t first = pano_type_for(90, 1), second = pano_type_for(90, 2);
    LensFields other = identity_lens(90);
    other.a[0] = kCoefficientOne;  // shifted lens
    EXPECT_EQ(add(identity_lens(90), first), 0);
    EXPECT_EQ(add(other, second), 0);
    EXPECT_EQ(vpi.UpdatePanoType(second), first);
    ASSERT_EQ(vpi.LockPro(second), 0);
    __tag_fpoint in{0.5f, 0.5f}, out{};
    ASSERT_EQ(vpi.TextureCordTrans(&in, &out), 1);
    EXPECT_FLOAT_EQ(out.x, 0.5f);
}

TEST_F(VirProjectImg, LockAndUpdateUnlockAndReportMissingLenses)
{
    const uint64_t known = pano_type_for(5, 7), unknown = pano_type_for(6, 7);
    ASSERT_EQ(add(identity_lens(5), known), 0);
    __tag_fpoint in{0.25f, 0.75f}, out{};

    EXPECT_EQ(vpi.LockPro(unknown), QN_VPI_ERR_NO_LENS);
    EXPECT_EQ(vpi.TextureCordTrans(&in, &out), 0);
    EXPECT_EQ(vpi.LockPro(0x12), QN_VPI_ERR_TYPE);

    ASSERT_EQ(vpi.LockPro(known), 0);
    EXPECT_EQ(vpi.TextureCordTrans(&in, &out), 1);
    EXPECT_EQ(vpi.UpdatePanoType(unknown), unknown);
    EXPECT_EQ(vpi.TextureCordTrans(&in, &out), 0) << "UpdatePanoType unlocks";
    ASSERT_EQ(vpi.LockPro(known), 0);
    EXPECT_EQ(vpi.UpdatePanoType(pano_type_for(5, 99)), known);
    EXPECT_EQ(vpi.ReleaseMap(), 0) << "unlocked again";

    QN_VIR_PROJECT_IMG bare;
    EXPECT_EQ(bare.LockPro(known), QN_VPI_ERR_CONTEXT);
    EXPECT_EQ(bare.UpdatePanoType(unknown), unknown);
    EXPECT_EQ(bare.ReleaseMap(), 0);
    EXPECT_EQ(bare.Destory(), 0);
}

TEST_F(VirProjectImg, ThirtyThirdLensReplacesTheLeastRecentlyUsedEntry)
{
    for (uint32_t id = 100; id < 132; ++id) ASSERT_EQ(add(identity_lens(id), pano_type_for(id)), 0);
    // Every lens but 107 is looked up once; 107 keeps stamp 0.
    for (uint32_t id = 100; id < 132; ++id) {
        if (id != 107) {
            ASSERT_EQ(vpi.LockPro(pano_type_for(id)), 0);
        }
    }
    ASSERT_EQ(add(identity_lens(200), pano_type_for(200)), 0);
    EXPECT_EQ(qnpl::lens_table_entry_lens_id(7), 200);
    EXPECT_EQ(vpi.LockPro(pano_type_for(107)), QN_VPI_ERR_NO_LENS);
    EXPECT_EQ(vpi.LockPro(pano_type_for(200)), 0);
    // Now 100 holds the smallest stamp.
    ASSERT_EQ(add(identity_lens(201), pano_type_for(201)), 0);
    EXPECT_EQ(qnpl::lens_table_entry_lens_id(0), 201);
}

TEST_F(VirProjectImg, IdentityLensMapsCentresOntoCentres)
{
    LensFields f = identity_lens(12);
    f.input_width = f.output_width = 320;
    f.input_height = f.output_height = 240;
    f.scale = 800;
    ASSERT_EQ(add(f, pano_type_for(12)), 0);
    ASSERT_EQ(vpi.LockPro(pano_type_for(12)), 0);

    __tag_fpoint in{0.5f, 0.5f}, out{};
    ASSERT_EQ(vpi.TextureCordTrans(&in, &out), 1);
    EXPECT_FLOAT_EQ(out.x, 0.5f);
    EXPECT_FLOAT_EQ(out.y, 0.5f);
    in = {0.1f, 0.9f};
    ASSERT_EQ(vpi.TextureCordTrans(&in, &out), 1);
    EXPECT_NEAR(out.x, 0.1f, 1e-5);
    EXPECT_NEAR(out.y, 0.9f, 1e-5);

    _qnfspinsex pin{80.0f, 60.0f, 160, 120};
    __tag_size out_size{640, 480};
    __tag_fpoint pout{};
    ASSERT_EQ(vpi.PixelCordTrans(&pin, &out_size, &pout), 1);
    EXPECT_NEAR(pout.x, 320.0f, 1e-3);
    EXPECT_NEAR(pout.y, 240.0f, 1e-3);
    pin.width = 0;
    EXPECT_EQ(vpi.PixelCordTrans(&pin, &out_size, &pout), 0);

    __tag_size src{320, 240}, dst{320, 240};
    __tag_point* map = nullptr;
    ASSERT_EQ(vpi.GenerateMap(&src, &dst, &map), 1);
    ASSERT_NE(map, nullptr);
    const __tag_point centre = map[120 * 320 + 160];
    EXPECT_EQ(centre.x >> 10, 160);
    EXPECT_EQ(centre.y >> 10, 120);
    EXPECT_EQ(map[0].x, 0);
    EXPECT_EQ(map[0].y, 0);
    EXPECT_EQ(map[240 * 320 - 1].x, -1) << "the last column lies on the source's last column: outside";
}

TEST_F(VirProjectImg, RefusesMapSizesThatCannotBeMapped)
{
    ASSERT_EQ(add(identity_lens(13), pano_type_for(13)), 0);
    __tag_size good{64, 48};
    __tag_point* map = nullptr;
    EXPECT_EQ(vpi.GenerateMap(&good, &good, &map), 0) << "not locked";
    ASSERT_EQ(vpi.LockPro(pano_type_for(13)), 0);
    for (const __tag_size bad : {__tag_size{0, 48}, __tag_size{64, -1}, __tag_size{16384, 48}}) {
        __tag_size b = bad;
        EXPECT_EQ(vpi.GenerateMap(&b, &good, &map), 0);
        EXPECT_EQ(vpi.GenerateMap(&good, &b, &map), 0);
    }
    EXPECT_EQ(vpi.GenerateMap(nullptr, &good, &map), 0);
    EXPECT_EQ(vpi.GenerateMap(&good, &good, nullptr), 1);
    EXPECT_EQ(vpi.ReleaseMap(), 1);
}

// A mild lens with every coefficient in use, for the outside models; a
// stretch above 1.1 reaches past the camera picture near the borders.
LensFields distorted_lens(uint32_t id, double stretch = 1.02)
{
    LensFields f;
    f.lens_id = id;
    f.input_width = 320;
    f.input_height = 240;
    f.output_width = 352;
    f.output_height = 288;
    f.scale = 1000;
    const double a[10] = {0.05, stretch, 0.004, 0.01, 0.003, 0.006, -0.002, 0.0015, -0.004, 0.0008};
    const double b[10] = {-0.03, 0.008, 0.002, 0.97, -0.004, 0.005, 0.003, -0.002, 0.0007, -0.003};
    for (int i = 0; i < 10; ++i) {
        f.a[i] = int32_t(std::lround(a[i] * kCoefficientOne));
        f.b[i] = int32_t(std::lround(b[i] * kCoefficientOne));
    }
    return f;
}

TEST_F(VirProjectImg, LensMapAgreesWithAnIndependentNumpyModel)
{
    ptzlink_test::TempDir dir;
    ASSERT_TRUE(dir.ok());
    const LensFields f = distorted_lens(21);
    ASSERT_EQ(add(f, pano_type_for(21)), 0);
    ASSERT_EQ(vpi.LockPro(pano_type_for(21)), 0);
    const int sw = 352, sh = 288, dw = 300, dh = 226;
    __tag_size src{sw, sh}, dst{dw, dh};
    __tag_point* map = nullptr;
    ASSERT_EQ(vpi.GenerateMap(&src, &dst, &map), 1);

    std::ostringstream params;
    params << f.input_width << ' ' << f.input_height << ' ' << f.scale << ' ' << f.output_width << ' '
           << f.output_height << ' ' << sw << ' ' << sh << ' ' << dw << ' ' << dh;
    for (int32_t v : f.a) params << ' ' << v;
    for (int32_t v : f.b) params << ' ' << v;
    {
        std::ofstream(dir.file("params.txt")) << params.str();
    }
    std::string error;
    ptzlink_test::run_python("lens_map_reference.py", dir.file("params.txt") + " " + dir.file("map.raw"), &error);
    ASSERT_TRUE(error.empty()) << error;
    const auto expected = ptzlink_test::read_raw<int32_t>(dir.file("map.raw"));
    ASSERT_EQ(expected.size(), size_t(dw) * dh * 2);

    int exact = 0, inside = 0, far = 0;
    for (int i = 0; i < dw * dh; ++i) {
        const __tag_point e{expected[2 * i], expected[2 * i + 1]};
        if (e.x == map[i].x && e.y == map[i].y) ++exact;
        if (e.x >= 0) ++inside;
        if (std::abs(e.x - map[i].x) > 2 || std::abs(e.y - map[i].y) > 2) ++far;
    }
    EXPECT_GT(inside, dw * dh / 2) << "the lens must keep most of the picture inside";
    EXPECT_EQ(far, 0) << "positions further than 2/1024 pixel from the model";
    EXPECT_GE(exact, dw * dh * 99 / 100);
}

TEST_F(VirProjectImg, YuvRemapAgreesWithOpenCvAndBlanksOutsidePixels)
{
    ptzlink_test::TempDir dir;
    ASSERT_TRUE(dir.ok());
    const LensFields f = distorted_lens(22, 1.2);
    ASSERT_EQ(add(f, pano_type_for(22)), 0);
    ASSERT_EQ(vpi.LockPro(pano_type_for(22)), 0);
    const int sw = 352, sh = 288, dw = 320, dh = 240;

    // Source: smooth luma with texture; chroma ramps. Even sizes make the
    // chroma neighbour of the last inside column fall one past the plane.
    std::vector<uint8_t> y(sw * sh), u(sw / 2 * sh / 2), v(sw / 2 * sh / 2);
    for (int r = 0; r < sh; ++r)
        for (int c = 0; c < sw; ++c)
            y[r * sw + c] = uint8_t(128 + 90 * std::sin(c * 0.07) * std::cos(r * 0.05));
    for (int r = 0; r < sh / 2; ++r)
        for (int c = 0; c < sw / 2; ++c) {
            u[r * sw / 2 + c] = uint8_t(c);
            v[r * sw / 2 + c] = uint8_t(255 - r);
        }
    std::vector<uint8_t> dy(dw * dh, 7), du(dw / 2 * dh / 2, 7), dv(dw / 2 * dh / 2, 7);
    _vm_screen source{}, destination{};
    source.width = sw;
    source.height = sh;
    source.format = VM_FMT_YUV420;
    source.planar.stride[0] = sw;
    source.planar.stride[1] = source.planar.stride[2] = sw / 2;
    source.planar.plane[0] = y.data();
    source.planar.plane[1] = u.data();
    source.planar.plane[2] = v.data();
    destination = source;
    destination.width = dw;
    destination.height = dh;
    destination.planar.stride[0] = dw;
    destination.planar.stride[1] = destination.planar.stride[2] = dw / 2;
    destination.planar.plane[0] = dy.data();
    destination.planar.plane[1] = du.data();
    destination.planar.plane[2] = dv.data();
    ASSERT_EQ(vpi.ImageTrans_YUV420P(&source, &destination), 1);

    __tag_size src{sw, sh}, dst{dw, dh};
    __tag_point* map = nullptr;
    ASSERT_EQ(vpi.GenerateMap(&src, &dst, &map), 1);
    std::vector<int32_t> map_copy(size_t(dw) * dh * 2);
    std::memcpy(map_copy.data(), map, map_copy.size() * sizeof(int32_t));
    ASSERT_TRUE(ptzlink_test::write_raw(dir.file("y.raw"), y));
    ASSERT_TRUE(ptzlink_test::write_raw(dir.file("map.raw"), map_copy));
    std::string error;
    std::ostringstream args;
    args << dir.file("y.raw") << ' ' << sw << ' ' << sh << ' ' << dir.file("map.raw") << ' ' << dw << ' ' << dh << ' '
         << dir.file("out.raw");
    ptzlink_test::run_python("remap_reference.py", args.str(), &error);
    ASSERT_TRUE(error.empty()) << error;
    const auto expected = ptzlink_test::read_raw<uint8_t>(dir.file("out.raw"));
    ASSERT_EQ(expected.size(), dy.size());

    int outside = 0, worst = 0;
    for (int i = 0; i < dw * dh; ++i) {
        if (map[i].x < 0) {
            ++outside;
            EXPECT_EQ(dy[i], 0);
            const int r = i / dw, c = i % dw;
            if ((r & 1) && (c & 1)) {
                EXPECT_EQ(du[r / 2 * dw / 2 + c / 2], 128);
                EXPECT_EQ(dv[r / 2 * dw / 2 + c / 2], 128);
            }
            continue;
        }
        worst = std::max(worst, std::abs(int(dy[i]) - int(expected[i])));
    }
    EXPECT_GT(outside, 0) << "the test lens must reach past the source somewhere";
    EXPECT_LE(worst, 2) << "OpenCV interpolates with 5-bit fractions, we with 10";
    // A chroma sample inside: the bilinear value of the U ramp stays near its column.
    const int r = 121, c = 161;
    ASSERT_GE(map[r * dw + c].x, 0);
    EXPECT_NEAR(du[r / 2 * dw / 2 + c / 2], map[r * dw + c].x / 2048.0, 1.5);
}

}  // namespace
