// Settings by name: what each key writes into the engine context.
#include <gtest/gtest.h>

#include <string>

#include "engine_context.h"
#include "engine_instance.h"
#include "support/lens_record_builder.h"
#include "lens_table.h"
#include "qn_ptzlink.h"

namespace {

namespace flag = qnpl::flag;
namespace progress = qnpl::progress;

class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(link.Create(), 1);
        ctx = qnpl::engine_instance();
        ASSERT_NE(ctx, nullptr);
    }
    void TearDown() override { link.Destory(); }

    int set(const char* key, const char* value) { return link.SetInfo(key, value); }

    QN_PTZLINK link;
    qnpl_context* ctx = nullptr;
};

TEST_F(Settings, CreateStartsFromTheDefaults)
{
    EXPECT_FLOAT_EQ(ctx->pixel_per_degree, 6.0f);
    EXPECT_FLOAT_EQ(ctx->trust_rate, 1.4f);
    EXPECT_FLOAT_EQ(ctx->res_range_enlarge, 0.0f);
    for (uint8_t r : ctx->correct_range) EXPECT_EQ(r, 10);
    EXPECT_EQ(ctx->progress.get(progress::kPixelMoveRegis), 1u);
    EXPECT_EQ(ctx->flags.load(), uint64_t(1) << flag::kCreated);
}

TEST_F(Settings, CountsAndRangesFollowTheirFields)
{
    struct Case {
        const char* key;
        const char* value;
        int result;
        qnpl::BitField field;
        uint64_t stored;
    };
    const Case cases[] = {
        {"hon_count", "15", 1, flag::kColumns, 15},   {"row_count", "16", 1, flag::kColumns, 16},
        {"hon_count", "70", 1, flag::kColumns, 6},    {"ver_count", "3", 1, flag::kRows, 3},
        {"line_count", "5", 1, flag::kRows, 5},       {"line_count", "9", 1, flag::kRows, 1},
        {"hon_count", "-1", 0, flag::kColumns, 6},    {"tilt_inter", "0", 1, flag::kTiltInterval, 1},
        {"tilt_inter", "99", 1, flag::kTiltInterval, 63}, {"tilt_inter", "15", 1, flag::kTiltInterval, 15},
        {"tilt_inter", "", 1, flag::kTiltInterval, 0}, {"tilt_inter", "x", 0, flag::kTiltInterval, 0},
        {"trust_start", "", 1, flag::kTiltInterval, 0}, {"hon_view_angle", "62.04", 1, flag::kViewAngle, 620},
        {"hon_view_angle", "-5", 0, flag::kViewAngle, 620},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(set(c.key, c.value), c.result) << c.key << " " << c.value;
        EXPECT_EQ(ctx->flags.get(c.field), c.stored) << c.key << " " << c.value;
    }
    EXPECT_EQ(set("pixel_move_regis", "8"), 0);
    EXPECT_EQ(set("pixel_move_regis", "7"), 1);
    EXPECT_EQ(ctx->progress.get(progress::kPixelMoveRegis), 7u);

    EXPECT_EQ(set("correct_range_pan_line", "250"), 1);
    EXPECT_EQ(set("correct_range_tilt_line", "5"), 1);
    EXPECT_EQ(set("correct_range_pan_row", "20"), 1);
    EXPECT_EQ(set("correct_range_tilt_row", "-3"), 0);
    EXPECT_EQ(ctx->correct_range[qnpl::kPanLine], 100);
    EXPECT_EQ(ctx->correct_range[qnpl::kTiltLine], 5);
    EXPECT_EQ(ctx->correct_range[qnpl::kPanRow], 20);
    EXPECT_EQ(ctx->correct_range[qnpl::kTiltRow], 10);

    EXPECT_EQ(set("def_width", "70000"), 1);
    EXPECT_EQ(ctx->def_width, 70000 & 0xffff);
    EXPECT_EQ(set("def_height", "576"), 1);
    EXPECT_EQ(ctx->def_height, 576);
}

TEST_F(Settings, FloatsSignedStartAndRates)
{
    EXPECT_EQ(set("trust_rate", "1"), 1);
    EXPECT_FLOAT_EQ(ctx->trust_rate, 2.0f);
    EXPECT_EQ(set("trust_rate", "0"), 1);
    EXPECT_FLOAT_EQ(ctx->trust_rate, 1.0f);
    EXPECT_EQ(set("trust_rate", "-3"), 1);
    EXPECT_FLOAT_EQ(ctx->trust_rate, 1.0f);
    EXPECT_EQ(set("res_range_enlarge", "365"), 1);
    EXPECT_FLOAT_EQ(ctx->res_range_enlarge, 365.0f);

    EXPECT_EQ(set("pixel_per_degree", "10"), 1);
    EXPECT_FLOAT_EQ(ctx->pixel_per_degree, 10.0f);
    EXPECT_EQ(set("pixel_per_degree", "-1"), 0);
    EXPECT_EQ(set("pixel_per_degree", "40.5"), 0) << "sizes of a run would overflow";
    EXPECT_EQ(set("pixel_per_degree", "40"), 1);
    EXPECT_FLOAT_EQ(ctx->pixel_per_degree, 40.0f);

    EXPECT_EQ(set("trust_start", "-20"), 1);
    EXPECT_EQ(ctx->start_tilt, -20);
    EXPECT_EQ(set("trust_start", "40000"), 0);
    EXPECT_EQ(ctx->start_tilt, -20);
}

TEST_F(Settings, FlagsAreSetOnlyByLowerCaseY)
{
    const struct {
        const char* key;
        int bit;
    } flags[] = {{"tilt_down", flag::kTiltDown},           {"trust_pan", flag::kTrustPan},
                 {"trust_tilt", flag::kTrustTilt},         {"last_error_enlarge", flag::kLastErrorEnlarge},
                 {"end_error_enlarge", flag::kLastErrorEnlarge}, {"start_error_enlarge", flag::kStartErrorEnlarge}};
    for (const auto& f : flags) {
        EXPECT_EQ(set(f.key, "y"), 1);
        EXPECT_TRUE(ctx->flags.test(f.bit)) << f.key;
        EXPECT_EQ(set(f.key, "Y"), 1);
        EXPECT_FALSE(ctx->flags.test(f.bit)) << f.key << ": only y sets it";
    }
    const struct {
        const char* value;
        bool plain, full;
    } hd[] = {{"y", true, true}, {"h", true, false}, {"n", false, false}, {"", false, false}};
    for (const auto& h : hd) {
        EXPECT_EQ(set("high_dynamic", h.value), 1);
        EXPECT_EQ(ctx->flags.test(flag::kHighDynamic), h.plain) << h.value;
        EXPECT_EQ(ctx->flags.test(flag::kHighDynamicFull), h.full) << h.value;
    }
}

TEST_F(Settings, UnknownKeysAndMissingTextsChangeNothing)
{
    const uint64_t before = ctx->flags.load();
    EXPECT_EQ(set("Hon_count", "15"), 0) << "keys are compared exactly";
    EXPECT_EQ(set("nothing", "1"), 0);
    EXPECT_EQ(set(nullptr, "1"), 0);
    EXPECT_EQ(set("hon_count", nullptr), 0);
    EXPECT_EQ(ctx->flags.load(), before);
}

// Layout 3: view angle bits 44-54, width / 8 bits 33-43, aspect 28-32 / 23-27.
uint64_t layout3(uint64_t angle, uint64_t width8, uint64_t num, uint64_t den)
{
    return 3 | angle << 44 | width8 << 33 | num << 28 | den << 23;
}
// Layout 4: view angle bits 34-44, width / 8 bits 23-33, aspect 18-22 / 13-17.
uint64_t layout4(uint64_t angle, uint64_t width8, uint64_t num, uint64_t den)
{
    return 4 | angle << 34 | width8 << 23 | num << 18 | den << 13;
}

TEST_F(Settings, PanoramaTypeSetsViewAngleAndPictureSize)
{
    const uint64_t t3 = layout3(620, 88, 9, 11);  // 704 x 576
    EXPECT_EQ(set("panotype_ex", std::to_string(t3).c_str()), 1);
    EXPECT_EQ(ctx->flags.get(flag::kViewAngle), 620u);
    EXPECT_EQ(ctx->def_width, 704);
    EXPECT_EQ(ctx->def_height, 576);
    EXPECT_EQ(ctx->pano_type, t3);

    const uint64_t t4 = layout4(550, 240, 9, 16);  // 1920 x 1080
    EXPECT_EQ(set("panotype_ex", std::to_string(t4).c_str()), 1);
    EXPECT_EQ(ctx->flags.get(flag::kViewAngle), 550u);
    EXPECT_EQ(ctx->def_width, 1920);
    EXPECT_EQ(ctx->def_height, 1080);

    for (uint64_t refused : {(t4 & ~uint64_t(0xf)) | 5, layout3(620, 88, 9, 0), layout4(550, 240, 9, 0)}) {
        EXPECT_EQ(set("panotype_ex", std::to_string(refused).c_str()), 0);
        EXPECT_EQ(ctx->pano_type, t4);
        EXPECT_EQ(ctx->def_width, 1920);
    }
    EXPECT_EQ(set("panotype_ex", "184467440737095516150"), 0) << "21 digits overflow 64 bits";
}

TEST_F(Settings, PanoramaTypeOfAStoredLensDecodesTheStoredType)
{
    // The lens table answers with the type stored beside the record; the
    // given value is what the engine keeps.
    qnpl::lens_table_clear();
    const uint32_t lens = 321;
    const uint64_t given = ptzlink_test::pano_type_for(lens);
    const uint64_t stored = given | (uint64_t(88) << 33) | (uint64_t(9) << 28) | (uint64_t(11) << 23) |
                            (uint64_t(620) << 44);
    const auto record = ptzlink_test::build_record(ptzlink_test::identity_lens(lens));
    ASSERT_EQ(link.AddCorrectPara(record.data(), 96, stored), 0);
    EXPECT_EQ(set("panotype_ex", std::to_string(given).c_str()), 1);
    EXPECT_EQ(ctx->def_width, 704);
    EXPECT_EQ(ctx->def_height, 576);
    EXPECT_EQ(ctx->pano_type, given);
}

TEST(PyramidPlan, LevelsHalveDownTo320)
{
    std::array<uint16_t, qnpl::kMaxPyramidLevels> sizes{};
    EXPECT_EQ(qnpl::plan_pyramid(10.0f, &sizes), 3);
    EXPECT_EQ(sizes[0], 1280);
    EXPECT_EQ(sizes[1], 640);
    EXPECT_EQ(sizes[2], 320);
    EXPECT_EQ(qnpl::first_pyramid_level(3), 0);
    sizes.fill(0);
    EXPECT_EQ(qnpl::plan_pyramid(40.0f, &sizes), 5);
    EXPECT_EQ(sizes[0], 5120);
    EXPECT_EQ(sizes[4], 320);
    EXPECT_EQ(qnpl::first_pyramid_level(5), 2);
    EXPECT_EQ(qnpl::plan_pyramid(2.0f, nullptr), 0);
    EXPECT_EQ(qnpl::first_pyramid_level(0), 0);
}

TEST_F(Settings, LaunchWritesThePyramidIntoTheFlagWord)
{
    ASSERT_EQ(set("def_width", "704"), 1);
    ASSERT_EQ(set("def_height", "576"), 1);
    ASSERT_EQ(set("pixel_per_degree", "40"), 1);
    ASSERT_EQ(link.LaunchProcess(), 1);
    EXPECT_EQ(ctx->flags.get(flag::kPyramidLevels), 5u);
    EXPECT_EQ(ctx->flags.get(flag::kPyramidFirstLevel), 2u);
    EXPECT_EQ(ctx->pyramid[1], 2560);
    EXPECT_TRUE(ctx->flags.test(flag::kRunning));
    EXPECT_TRUE(ctx->flags.test(flag::kReadyForInput));
    ASSERT_EQ(link.ShutDownProcess(), 1);
    EXPECT_FALSE(ctx->flags.test(flag::kRunning));
    EXPECT_TRUE(ctx->flags.test(flag::kStopRequested));
}

}  // namespace
