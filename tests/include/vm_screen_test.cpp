#include "vm_screen.h"

#include <gtest/gtest.h>

namespace {

struct StrideCase {
    int32_t format;
    int32_t width;
    int plane;
    int32_t stride;
};

TEST(VmScreen, StrideRulesPadRowsToFourBytesExceptThirtyTwoBit)
{
    const StrideCase cases[] = {
        {VM_FMT_GRAY8, 5, 0, 8},      {VM_FMT_GRAY8, 8, 0, 8},
        {VM_FMT_BGR24, 5, 0, 16},     {VM_FMT_BGR24_B, 4, 0, 12},
        {VM_FMT_BGRX32, 5, 0, 20},    {VM_FMT_BGRX32_B, 3, 0, 12},
        {VM_FMT_RGB16_A, 5, 0, 12},   {VM_FMT_RGB16_B, 6, 0, 12},
        {VM_FMT_YUV420, 10, 0, 12},   {VM_FMT_YUV420, 10, 1, 8},
        {VM_FMT_YVU420, 10, 2, 8},    {VM_FMT_YUV422, 1922, 1, 964},
        {VM_FMT_BGR24, 5, 1, 0},      {0x114, 16, 0, 0},
        {99, 16, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vm_stride_for(c.format, c.width, c.plane), c.stride)
            << "format " << c.format << " width " << c.width << " plane " << c.plane;
    }
}

TEST(VmScreen, ChromaRowsFollowTheSubsampling)
{
    EXPECT_EQ(vm_plane_rows(VM_FMT_YUV420, 9, 0), 9);
    EXPECT_EQ(vm_plane_rows(VM_FMT_YUV420, 9, 1), 4);
    EXPECT_EQ(vm_plane_rows(VM_FMT_YVU420, 10, 2), 5);
    EXPECT_EQ(vm_plane_rows(VM_FMT_YUV422, 10, 2), 10);
    EXPECT_EQ(vm_plane_rows(VM_FMT_BGR24, 10, 0), 10);
}

TEST(VmScreen, AccessorsReadTheFormThatTheFormatSelects)
{
    uint8_t pixels[64] = {};
    _vm_screen packed{};
    packed.format = VM_FMT_BGRX32;
    packed.packed.stride = 16;
    packed.packed.pixels = pixels;
    EXPECT_EQ(vm_stride(&packed, 0), 16);
    EXPECT_EQ(vm_plane(&packed, 0), pixels);
    EXPECT_EQ(vm_plane(&packed, 1), nullptr);
    EXPECT_EQ(vm_stride(&packed, 1), 0);

    _vm_screen planar{};
    planar.format = VM_FMT_YUV420;
    planar.planar.stride[0] = 8;
    planar.planar.stride[1] = 4;
    planar.planar.stride[2] = 4;
    planar.planar.plane[0] = pixels;
    planar.planar.plane[1] = pixels + 32;
    planar.planar.plane[2] = pixels + 40;
    EXPECT_TRUE(vm_is_planar(planar.format));
    EXPECT_FALSE(vm_is_planar(VM_FMT_BGR24));
    EXPECT_EQ(vm_stride(&planar, 0), 8);
    EXPECT_EQ(vm_stride(&planar, 2), 4);
    EXPECT_EQ(vm_plane(&planar, 1), pixels + 32);
    EXPECT_EQ(vm_plane(&planar, 3), nullptr);
    // The first stride of both forms is the same field.
    EXPECT_EQ(&planar.planar.stride[0], &planar.packed.stride);
}

} // namespace
