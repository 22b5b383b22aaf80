// Edge planes, pair matching, placement and the union frame on small,
// hand-made cells.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "edge_planes.h"
#include "engine_context.h"
#include "engine_instance.h"
#include "engine_steps_internal.h"
#include "matching.h"
#include "placement.h"
#include "qn_ptzlink.h"
#include "union_result.h"

namespace {

namespace flag = qnpl::flag;
namespace progress = qnpl::progress;
using qnpl::PyramidPlane;

PyramidPlane plane(std::vector<uint8_t>& data, int w, int h)
{
    data.assign(size_t((w + 3) & ~3) * h, 0);
    PyramidPlane p;
    p.plane = data.data();
    p.width = uint16_t(w);
    p.height = uint16_t(h);
    p.row_length = uint16_t((w + 3) & ~3);
    return p;
}

TEST(Matching, ComparePlanesFindsTheTrueOffset)
{
    std::vector<uint8_t> da, db;
    PyramidPlane a = plane(da, 40, 30), b = plane(db, 40, 30);
    // One scene seen by two cells whose centres lie 12 columns apart.
    auto scene = [](int x, int y) { return uint8_t((x * 37 + y * 11) % 7 == 0 ? 200 : 0); };
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            da[y * a.row_length + x] = scene(x, y);
            db[y * b.row_length + x] = scene(x + 12, y);
        }
    const qnpl::PlaneMatch at_truth = qnpl::ComparePlanes(a, b, 12, 0, true);
    EXPECT_EQ(at_truth.error, 0.0f);
    EXPECT_GT(at_truth.weight, 0.0f);
    EXPECT_GT(qnpl::ComparePlanes(a, b, 11, 0, true).error, 0.0f);

    std::vector<uint8_t> dz1, dz2;
    PyramidPlane z1 = plane(dz1, 40, 30), z2 = plane(dz2, 40, 30);
    const qnpl::PlaneMatch empty = qnpl::ComparePlanes(z1, z2, 0, 0, true);
    EXPECT_EQ(empty.error, 99999.0f);
    EXPECT_EQ(empty.weight, 0.0f);
    EXPECT_EQ(qnpl::ComparePlanes(a, b, 39, 0, true).weight, 0.0f) << "a window under 2 columns";
}

TEST(Matching, CoarseSearchRadius)
{
    EXPECT_EQ(qnpl::coarse_search_radius(30, 320), 7);
    EXPECT_EQ(qnpl::coarse_search_radius(5, 320), 1);
}

class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(link.Create(), 1);
        ctx = qnpl::engine_instance();
        for (auto [k, v] : {std::pair{"hon_count", "15"}, {"ver_count", "2"}, {"tilt_inter", "15"},
                            {"pixel_per_degree", "10"}, {"hon_view_angle", "60"}})
            ASSERT_EQ(link.SetInfo(k, v), 1) << k;
        ASSERT_EQ(qnpl::PrepareProcess(*ctx), 1);
    }
    void TearDown() override { link.Destory(); }
    QN_PTZLINK link;
    qnpl_context* ctx = nullptr;
};

TEST_F(EngineFixture, EdgePlanesOfFlatAndSteppedSubImages)
{
    ctx->flags.put(flag::kPyramidLevels, 3);
    ctx->flags.put(flag::kPyramidFirstLevel, 0);
    qnpl::PositionCell& cell = ctx->cells[0];
    cell.width = 64;
    cell.height = 48;
    cell.stride = 256;
    cell.allocation.reset(new uint8_t[64 * 48 * 10]);
    cell.pixels = cell.allocation.get();
    cell.work = cell.pixels + 48 * 256;
    std::vector<uint8_t> pyramid(2 * (64 * 48 + 32 * 24 + 16 * 12), 77);
    uint8_t* next = pyramid.data();
    for (int L = 0; L < 3; ++L)
        for (int k = 0; k < 2; ++k) {
            PyramidPlane& p = cell.levels[k][L];
            p.width = uint16_t(64 >> L);
            p.height = uint16_t(48 >> L);
            p.row_length = p.width;
            p.plane = next;
            std::fill(next, next + p.width * p.height, 0);
            next += p.width * p.height;
        }
    auto fill = [&](bool step) {
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                for (int c = 0; c < 3; ++c) cell.pixels[y * 256 + 4 * x + c] = uint8_t(step && x >= 32 ? 220 : 40);
    };
    fill(false);
    qnpl::PrepareEdgePlanes(*ctx, cell);
    for (int L = 0; L < 3; ++L)
        for (int k = 0; k < 2; ++k)
            for (int i = 0; i < cell.levels[k][L].width * cell.levels[k][L].height; ++i)
                ASSERT_EQ(cell.levels[k][L].plane[i], 0) << "flat: level " << L;

    for (int L = 0; L < 3; ++L)
        for (int k = 0; k < 2; ++k)
            std::fill(cell.levels[k][L].plane, cell.levels[k][L].plane + cell.levels[k][L].width * cell.levels[k][L].height, 0);
    fill(true);
    qnpl::PrepareEdgePlanes(*ctx, cell);
    int x_values = 0, y_values = 0;
    for (int i = 0; i < 64 * 48; ++i) {
        x_values += cell.levels[0][0].plane[i] != 0;
        y_values += cell.levels[1][0].plane[i] != 0;
    }
    EXPECT_GT(x_values, 40) << "a vertical step: x plane along it";
    EXPECT_EQ(y_values, 0);
    const PyramidPlane& fine = cell.levels[0][0];
    const PyramidPlane& coarse = cell.levels[0][1];
    for (int y = 0; y < coarse.height; ++y)
        for (int x = 0; x < coarse.width; ++x) {
            const int m = std::max({fine.plane[2 * y * 64 + 2 * x], fine.plane[2 * y * 64 + 2 * x + 1],
                                    fine.plane[(2 * y + 1) * 64 + 2 * x], fine.plane[(2 * y + 1) * 64 + 2 * x + 1]});
            if (m) {
                EXPECT_GE(coarse.plane[y * 32 + x], m) << x << "," << y;
            }
        }
    cell.pixels = cell.work = nullptr;
}

TEST_F(EngineFixture, PlacementSpreadsFromColumnSevenOfRowZero)
{
    // Links that say every neighbour sits exactly where it was planned,
    // except a 64-code shift to the right of column 9 in both rows.
    const int K = 15;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < K; ++c) {
            qnpl::PositionCell& q = ctx->cells[r * K + c];
            const int shift = c == 10 ? 64 : 0;
            if (c > 0) q.links[qnpl::kLeftLink] = {int16_t(24 * 128 + shift), 0, 0, 0, 5, 5};
            if (c + 1 < K) q.links[qnpl::kRightLink] = {int16_t(-24 * 128 - (c == 9 ? 64 : 0)), 0, 0, 0, 5, 5};
            if (r == 1) q.links[qnpl::kUpperLink] = {0, -15 * 128, 0, 0, 9, 9};
        }
    qnpl::PlaceCells(*ctx);
    const qnpl::PositionCell& ref = ctx->cells[7];
    EXPECT_EQ(ref.pan_position[0], ref.pan_code);
    EXPECT_EQ(ref.tilt_position[0], ref.tilt_code);
    EXPECT_EQ(ctx->cells[10].pan_position[0], ctx->cells[10].pan_code + 64);
    EXPECT_EQ(ctx->cells[0].pan_position[0], ctx->cells[0].pan_code);
    for (int c = 0; c < K; ++c) {
        EXPECT_EQ(ctx->cells[K + c].pan_position[0], ctx->cells[c].pan_position[0]) << "row 1 from above, column " << c;
        EXPECT_EQ(ctx->cells[K + c].tilt_position[0], ctx->cells[c].tilt_position[0] - 15 * 128);
    }
    // Weak upper links: one cell from above, the rest along the row.
    for (int c = 0; c < K; ++c) ctx->cells[K + c].links[qnpl::kUpperLink].x_weight = c == 3 ? 4 : 1;
    qnpl::PlaceRowX(*ctx, 0, 1);
    for (int c = 0; c < K; ++c) {
        EXPECT_TRUE(ctx->cells[K + c].x_placed) << c;
        EXPECT_EQ(ctx->cells[K + c].pan_position[0], ctx->cells[c].pan_position[0]) << c;
    }
}

TEST_F(EngineFixture, ResultFrameBandsAndRows)
{
    // Rows at tilt 0 and 15 seen 32 degrees high: the union covers -16 ... 31.
    for (int c = 0; c < 30; ++c) {
        ctx->cells[c].tilt_position[0] = ctx->cells[c].tilt_code;
        ctx->cells[c].tilt_extent = 32 * 128;
    }
    ASSERT_EQ(qnpl::CreateResult(*ctx), 1);
    const qnpl::PositionCell& result = ctx->spare;
    EXPECT_EQ(result.width, 3600);
    EXPECT_EQ(result.height, 480) << "47 degrees: 470 rounded up to 16";
    EXPECT_EQ(result.tilt_extent, 47 * 128);
    EXPECT_EQ(result.pan_extent, 46080);

    int lower, upper;
    qnpl::FindRowForTilt(*ctx, 5 * 128, &lower, &upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 1);
    qnpl::FindRowForTilt(*ctx, -20 * 128, &lower, &upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 0);
    qnpl::FindRowForTilt(*ctx, 40 * 128, &lower, &upper);
    EXPECT_EQ(lower, 1);
    EXPECT_EQ(upper, 1);

    std::fill(ctx->spare.pixels, ctx->spare.pixels + 3600 * 4 * 480, 0x80);
    ASSERT_EQ(qnpl::DrawEdgeBands(*ctx), 1);
    const uint32_t* row = reinterpret_cast<const uint32_t*>(ctx->spare.pixels + 100 * ctx->spare.stride);
    EXPECT_EQ(row[25], 0x80808080u) << "the bands are 20 pixels wide";
    EXPECT_EQ(row[3575], 0x80808080u);
    EXPECT_NE(row[5], 0x80808080u);
    EXPECT_EQ(row[0] >> 24, 255u) << "the edge ramp";

    ctx->progress.put(progress::kPanOverlap, 28);
    EXPECT_EQ(qnpl::blend_half_width(*ctx), int32_t(280 * 12.8f + 0.5f));
    ctx->progress.put(progress::kPanOverlap, 0);
    EXPECT_EQ(qnpl::blend_half_width(*ctx), 64) << "never zero: it divides";
}

TEST_F(EngineFixture, GenerateProgressPointsAtTheProgressRecord)
{
    struct Seen {
        uint64_t code = 0;
        std::string text;
        static void cb(uint64_t code, const char* text, uint64_t user)
        {
            auto* s = reinterpret_cast<Seen*>(user);
            s->code = code;
            s->text = text;
        }
    } seen;
    ASSERT_EQ(link.SetEventCallBack(&Seen::cb, reinterpret_cast<uint64_t>(&seen)), 1);
    qnpl::GenerateProgress(500, "Generate result", reinterpret_cast<uint64_t>(ctx));
    ASSERT_EQ(seen.code, reinterpret_cast<uint64_t>(ctx->matching_words));
    const uint32_t* record = reinterpret_cast<const uint32_t*>(seen.code);
    EXPECT_EQ(record[0], 625u);
    EXPECT_EQ(record[2], 775u);
    qnpl::GenerateProgress(0, "HD static OK", reinterpret_cast<uint64_t>(ctx));
    EXPECT_EQ(seen.code, 0u);
    EXPECT_EQ(seen.text, "HD static OK");
}

}  // namespace
