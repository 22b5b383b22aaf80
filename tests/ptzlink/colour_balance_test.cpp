// Colour balancing on sub-images cut from one synthetic world, with known
// exposure gains per picture.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "colour_balance.h"
#include "engine_context.h"
#include "engine_instance.h"
#include "engine_steps_internal.h"
#include "qn_ptzlink.h"

namespace {

namespace flag = qnpl::flag;
namespace progress = qnpl::progress;

constexpr float kPpd = 10.0f;
constexpr int kPanExtent = 40;   // degrees; columns are 24 apart, so neighbours overlap by 16
constexpr int kTiltExtent = 24;  // rows are 15 apart

// A smooth coloured world: channel value at (pan, tilt) in degrees.
float world(int ch, float pan, float tilt)
{
    return 120.0f + 40.0f * std::sin(pan * 0.11f + ch) * std::cos(tilt * 0.07f - ch) + 10.0f * std::sin(pan * 0.5f + tilt * 0.3f);
}

class ColourBalance : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(link.Create(), 1);
        ctx = qnpl::engine_instance();
        ASSERT_EQ(link.SetInfo("hon_count", "15"), 1);
        ASSERT_EQ(link.SetInfo("ver_count", "2"), 1);
        ASSERT_EQ(link.SetInfo("tilt_inter", "15"), 1);
        ASSERT_EQ(link.SetInfo("pixel_per_degree", "10"), 1);
        ASSERT_EQ(qnpl::PrepareProcess(*ctx), 1);
        ctx->flags.set(flag::kRunning);
    }
    void TearDown() override
    {
        ctx->flags.clear(flag::kRunning);
        link.Destory();
    }

    // Every cell shows its part of the world through its exposure gain.
    void shoot(const std::function<float(int cell, int ch)>& gain, bool textured = true)
    {
        for (int i = 0; i < ctx->cell_count(); ++i) {
            qnpl::PositionCell& c = ctx->cells[i];
            c.pan_extent = kPanExtent * 128;
            c.tilt_extent = kTiltExtent * 128;
            c.pan_position[0] = c.pan_position[1] = c.pan_code;
            c.width = int16_t(kPanExtent * kPpd);
            c.height = int16_t(kTiltExtent * kPpd);
            c.stride = 4 * c.width;
            c.allocation.reset(new uint8_t[size_t(c.width) * c.height * 10]);
            c.pixels = c.allocation.get();
            const float pan0 = c.pan_code / 128.0f - kPanExtent / 2.0f;
            const float tilt0 = c.tilt_code / 128.0f - 180.0f + kTiltExtent / 2.0f;
            for (int y = 0; y < c.height; ++y)
                for (int x = 0; x < c.width; ++x)
                    for (int ch = 0; ch < 3; ++ch) {
                        const float base = textured ? world(ch, pan0 + x / kPpd, tilt0 - y / kPpd) : 100.0f + 20 * ch;
                        const float v = base * gain(i, ch);
                        c.pixels[y * c.stride + 4 * x + ch] = uint8_t(std::clamp(v + 0.5f, 0.0f, 255.0f));
                    }
            c.low_cut = {50, 50, 50};
            c.high_cut = {150, 150, 150};
            c.set_ready();
        }
        ctx->progress.put(progress::kPicturesTaken, ctx->cell_count());
    }

    void balance()
    {
        for (int step = 0; step < 100 && !ctx->progress.test(progress::kUnionMatching); ++step)
            ASSERT_EQ(qnpl::BalanceColours(*ctx), 1);
        ASSERT_TRUE(ctx->progress.test(progress::kUnionMatching));
    }

    QN_PTZLINK link;
    qnpl_context* ctx = nullptr;
};

TEST(ColourBalanceRatio, EmptySumsGiveOne)
{
    EXPECT_EQ(qnpl::linear_ratio(0, 0, 5, 5), 1.0f);
    EXPECT_EQ(qnpl::linear_ratio(5, 5, 0, 3), 1.0f);
    EXPECT_FLOAT_EQ(qnpl::linear_ratio(10, 5, 40, 5), 4.0f);
}

TEST_F(ColourBalance, IdenticalNeighboursKeepUnitGainsAndIdentityTables)
{
    // Uniform sub-images: the bands compared (0.9 of each overlap, so not
    // quite the same place in a textured scene) hold the same values.
    shoot([](int, int) { return 1.0f; }, false);
    balance();
    for (int i = 0; i < ctx->cell_count(); ++i) {
        const qnpl::PositionCell& c = ctx->cells[i];
        for (int ch = 0; ch < 3; ++ch) {
            EXPECT_NEAR(c.gains[qnpl::kFinalGain + ch], 1.0f, 1e-5f) << "cell " << i;
            EXPECT_EQ(c.byte_table[ch][200], 200) << "cell " << i;
        }
    }
    // Column m = 8 is the anchor of the chain; row 0 keeps its vertical gains.
    for (int ch = 0; ch < 3; ++ch) {
        EXPECT_EQ(ctx->cells[8].gains[qnpl::kHorizontalLinear + ch], ctx->cells[8 + 15].gains[qnpl::kHorizontalLinear + ch]);
        EXPECT_EQ(ctx->cells[3].gains[qnpl::kVerticalGamma + ch], 1.0f);
    }
    ASSERT_GE(ctx->reference_cell, 0);
    EXPECT_GE(ctx->cells[ctx->reference_cell].column, 15 / 2 - 2);
    EXPECT_LE(ctx->cells[ctx->reference_cell].column, 15 / 2 + 2);
}

TEST_F(ColourBalance, WordTablesScaleTheReferenceSpread)
{
    shoot([](int, int) { return 1.0f; }, false);
    balance();
    // Gains of 1 everywhere: t = 1500 and b = (50 + 150) x 3 / 6 = 100, so s = 15.
    const qnpl::PositionCell& ref = ctx->cells[ctx->reference_cell];
    const float g = ref.gains[qnpl::kFinalGain + 1];
    EXPECT_FLOAT_EQ(g, 1.0f);
    EXPECT_EQ(ref.word_table[1][100], 1500);
    EXPECT_EQ(ref.word_table[2][255], 3825);
    EXPECT_LE(ref.word_table[1][255], 4095);
}

TEST_F(ColourBalance, FinalGainsUndoInjectedExposures)
{
    // Exposure gains between 0.8 and 1.25, different per picture and channel.
    auto injected = [](int cell, int ch) {
        return 0.8f + 0.45f * float((cell * 7 + ch * 3) % 11) / 10.0f;
    };
    shoot(injected);
    balance();
    const int ref = ctx->reference_cell;
    ASSERT_GE(ref, 0);
    double worst = 0;
    for (int i = 0; i < ctx->cell_count(); ++i)
        for (int ch = 0; ch < 3; ++ch) {
            // Final gain x injected gain is the same for every cell: the
            // reference's exposure.
            const double applied = ctx->cells[i].gains[qnpl::kFinalGain + ch] * injected(i, ch);
            const double target = ctx->cells[ref].gains[qnpl::kFinalGain + ch] * injected(ref, ch);
            worst = std::max(worst, std::fabs(applied / target - 1.0));
        }
    RecordProperty("worst_gain_error", std::to_string(worst));
    std::printf("worst relative gain error after balancing: %.3f\n", worst);
    EXPECT_LT(worst, 0.05);
}

TEST_F(ColourBalance, WaitsForCellsStillBeingSetUp)
{
    shoot([](int, int) { return 1.0f; });
    ctx->cells[3].state.store(0);
    for (int step = 0; step < 10; ++step) qnpl::BalanceColours(*ctx);
    EXPECT_EQ(ctx->progress.get(progress::kMatchProgress), 3u);
    ctx->cells[3].set_skipped();
    for (int step = 0; step < 100 && !ctx->progress.test(progress::kUnionMatching); ++step) qnpl::BalanceColours(*ctx);
    EXPECT_TRUE(ctx->progress.test(progress::kUnionMatching)) << "a skipped cell does not hold the run up";
}

}  // namespace
