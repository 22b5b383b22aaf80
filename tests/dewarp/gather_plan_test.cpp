// The cached bilinear gather must give exactly the bytes of the direct remap,
// whatever the map, source size, strides, plane order and blend.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "gather_plan.h"
#include "remap.h"

namespace {

using qn_dewarp::GatherPlan;
using qn_dewarp::Interpolation;
using qn_dewarp::ReferenceFrame;

// A planar 4:2:0 picture whose rows are padded past their width; the third
// plane's rows by `third_extra` more.
struct PaddedPicture {
    std::vector<uint8_t> bytes;
    _vm_screen screen{};
    PaddedPicture(int w, int h, int padding, int format = VM_FMT_YUV420, int third_extra = 0)
    {
        const int luma_stride = w + padding, chroma_stride = w / 2 + padding + 3;
        const int third_stride = chroma_stride + third_extra;
        const size_t luma = size_t(luma_stride) * h, chroma = size_t(chroma_stride) * (h / 2);
        bytes.assign(luma + chroma + size_t(third_stride) * (h / 2), 0);
        screen.width = w;
        screen.height = h;
        screen.format = format;
        screen.planar.stride[0] = luma_stride;
        screen.planar.stride[1] = chroma_stride;
        screen.planar.stride[2] = third_stride;
        screen.planar.plane[0] = bytes.data();
        screen.planar.plane[1] = bytes.data() + luma;
        screen.planar.plane[2] = bytes.data() + luma + chroma;
    }
    void fill_random(std::mt19937& random)
    {
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    }
};

// Entries spread over the reference frame and somewhat beyond it, with grey
// (128, 128) runs and entries on the frame's last row and column.
std::vector<int32_t> random_map(int w, int h, ReferenceFrame reference, std::mt19937& random)
{
    std::vector<int32_t> map(size_t(2) * w * ((h + 3) & ~3), 128);
    std::uniform_int_distribution<int32_t> x(-300, reference.width * 128 + 300);
    std::uniform_int_distribution<int32_t> y(-300, reference.height * 128 + 300);
    std::uniform_int_distribution<int> pick(0, 9);
    for (int i = 0; i < w * h; ++i) {
        const int kind = pick(random);
        if (kind == 0) continue; // grey
        if (kind == 1) {
            map[2 * i] = (reference.width - 1) * 128 + 127;
            map[2 * i + 1] = (reference.height - 1) * 128 + 127;
            continue;
        }
        map[2 * i] = x(random);
        map[2 * i + 1] = y(random);
    }
    return map;
}

struct Case {
    int source_w, source_h, padding, view_w, view_h, format;
    ReferenceFrame reference;
    uint8_t blend;
    int third_extra = 0; // source chroma planes of different strides
};

void expect_same_as_remap(const Case& c, GatherPlan& plan, uint64_t stamp, std::mt19937& random)
{
    PaddedPicture source(c.source_w, c.source_h, c.padding, c.format, c.third_extra);
    source.fill_random(random);
    const std::vector<int32_t> map = random_map(c.view_w, c.view_h, c.reference, random);
    PaddedPicture expected(c.view_w, c.view_h, 5, c.format), actual(c.view_w, c.view_h, 5, c.format);
    expected.fill_random(random);
    actual.bytes = expected.bytes; // blending reads what is there

    qn_dewarp::remap_view(source.screen, c.reference, map.data(), expected.screen, Interpolation::Bilinear, c.blend);
    ASSERT_TRUE(plan.render(source.screen, c.reference, map.data(), stamp, actual.screen, c.blend));
    ASSERT_EQ(expected.bytes, actual.bytes) << "source " << c.source_w << "x" << c.source_h << ", view " << c.view_w
                                            << "x" << c.view_h << ", blend " << int(c.blend);
}

TEST(GatherPlan, GivesTheDirectRemapsBytes)
{
    std::mt19937 random(20261210);
    const Case cases[] = {
        {64, 48, 0, 40, 30, VM_FMT_YUV420, {64, 48}, 0},
        {64, 48, 7, 37, 23, VM_FMT_YUV420, {48, 36}, 0},   // scaled source, padded rows, odd view
        {65, 47, 3, 33, 17, VM_FMT_YVU420, {96, 80}, 0},   // odd source, planes swapped
        {64, 48, 0, 40, 30, VM_FMT_YUV420, {64, 48}, 100}, // blended
        {5, 5, 1, 9, 7, VM_FMT_YUV420, {5, 5}, 255},       // chroma of 2 x 2: every tap at an edge
        {4, 4, 0, 2, 2, VM_FMT_YUV420, {4, 4}, 0},         // smallest view
        {128, 96, 2, 67, 45, VM_FMT_YUV420, {128, 96}, 1},
        {64, 48, 1, 40, 30, VM_FMT_YUV420, {64, 48}, 0, 9},  // Cr rows wider than Cb rows
        {64, 48, 1, 40, 30, VM_FMT_YVU420, {64, 48}, 0, 5},
    };
    for (const Case& c : cases) {
        GatherPlan plan;
        expect_same_as_remap(c, plan, 1, random);
    }
}

TEST(GatherPlan, FollowsANewMapAndANewSource)
{
    std::mt19937 random(7);
    GatherPlan plan;
    // One plan across writings of the map and changes of source: each render
    // must show the map and source it was given, not the cached ones.
    expect_same_as_remap({64, 48, 0, 40, 30, VM_FMT_YUV420, {64, 48}, 0}, plan, 1, random);
    expect_same_as_remap({64, 48, 0, 40, 30, VM_FMT_YUV420, {64, 48}, 0}, plan, 2, random);
    expect_same_as_remap({80, 60, 4, 40, 30, VM_FMT_YUV420, {64, 48}, 0}, plan, 2, random);
    expect_same_as_remap({80, 60, 4, 22, 14, VM_FMT_YUV420, {64, 48}, 0}, plan, 2, random);
}

TEST(GatherPlan, SameStampReusesThePlan)
{
    std::mt19937 random(11);
    PaddedPicture source(64, 48, 0);
    source.fill_random(random);
    const ReferenceFrame reference{64, 48};
    std::vector<int32_t> map = random_map(16, 12, reference, random);
    PaddedPicture first(16, 12, 0), second(16, 12, 0);
    GatherPlan plan;
    ASSERT_TRUE(plan.render(source.screen, reference, map.data(), 9, first.screen, 0));
    // The map is only read when its stamp is new: a settled view does no
    // per-entry work.
    std::fill(map.begin(), map.end(), 128);
    ASSERT_TRUE(plan.render(source.screen, reference, map.data(), 9, second.screen, 0));
    EXPECT_EQ(first.bytes, second.bytes);
}

// Bands of rows, in any order, fill a view exactly as one render does: odd
// heights end on a luma row with no chroma row under it.
TEST(GatherPlan, BandsGiveTheWholeRendersBytes)
{
    std::mt19937 random(5);
    for (const Case& c : {Case{64, 48, 3, 40, 31, VM_FMT_YUV420, {64, 48}, 0},
                          Case{64, 48, 0, 38, 30, VM_FMT_YVU420, {64, 48}, 77}}) {
        PaddedPicture source(c.source_w, c.source_h, c.padding, c.format);
        source.fill_random(random);
        const std::vector<int32_t> map = random_map(c.view_w, c.view_h, c.reference, random);
        PaddedPicture whole(c.view_w, c.view_h, 5, c.format), banded(c.view_w, c.view_h, 5, c.format);
        whole.fill_random(random);
        banded.bytes = whole.bytes;
        GatherPlan plan;
        ASSERT_TRUE(plan.render(source.screen, c.reference, map.data(), 1, whole.screen, c.blend));
        ASSERT_TRUE(plan.prepare(source.screen, c.reference, map.data(), 1, banded.screen));
        for (const auto& [first, end] : {std::pair{16, 26}, {0, 4}, {26, c.view_h}, {4, 16}})
            plan.render_rows(source.screen, banded.screen, c.blend, first, end);
        EXPECT_EQ(whole.bytes, banded.bytes) << "view " << c.view_w << "x" << c.view_h;
    }
}

TEST(GatherPlan, RefusesSourcesBelowFourByFour)
{
    PaddedPicture source(3, 8, 0), view(4, 4, 0);
    const std::vector<int32_t> map(2 * 4 * 4, 128);
    GatherPlan plan;
    EXPECT_FALSE(plan.render(source.screen, {3, 8}, map.data(), 1, view.screen, 0));
}

}  // namespace
