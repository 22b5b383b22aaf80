#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "stream_fixture.h"
#include "streams/tf_pictures.h"
#include "support/temp_folder.h"

namespace {

using namespace streams;

// The planes of a picture, row by row without padding, as ffmpeg's rawvideo.
std::vector<uint8_t> Planes(const _vm_screen* p)
{
    std::vector<uint8_t> out;
    for (int plane = 0; plane < 3; ++plane) {
        const int width = plane == 0 ? p->width : p->width / 2;
        for (int row = 0; row < vm_plane_rows(p->format, p->height, plane); ++row) {
            const uint8_t* at = p->planar.plane[plane] + static_cast<std::size_t>(row) * p->planar.stride[plane];
            out.insert(out.end(), at, at + width);
        }
    }
    return out;
}

TEST(TfPictures, CreatedBlackOrZeroed)
{
    _vm_screen* yuv = tfCreatePicture(33, 17, VM_FMT_YUV420);
    ASSERT_NE(yuv, nullptr);
    auto planes = Planes(yuv);
    EXPECT_EQ(planes.size(), 33u * 17 + 2u * 16 * 8);
    EXPECT_EQ(planes[0], 0);
    EXPECT_EQ(planes.back(), 128);
    tfReleasePicture(yuv);
    _vm_screen* bgr = tfCreatePicture(5, 3, VM_FMT_BGR24);
    ASSERT_NE(bgr, nullptr);
    EXPECT_EQ(bgr->packed.pixels[bgr->packed.stride * 3 - 1], 0);
    tfReleasePicture(bgr);
    tfReleasePicture(nullptr);
}

TEST(TfPictures, RotationsAreFfmpegsTransposesAndFlips)
{
    testing_support::TempFolder temp;
    const std::string in = temp.Path() + "/in.yuv";
    auto made = testing_support::RunCommand("ffmpeg -v error -f lavfi -i testsrc2=size=640x480 -frames:v 1 -pix_fmt yuv420p "
                                            "-f rawvideo " + in + " 2>&1");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const auto raw = streams_test::ReadFile(in);
    _vm_screen* source = tfCreatePicture(640, 480, VM_FMT_YUV420);
    ASSERT_NE(source, nullptr);
    std::size_t at = 0;
    for (int plane = 0; plane < 3; ++plane) {
        const int width = plane == 0 ? 640 : 320;
        for (int row = 0; row < (plane == 0 ? 480 : 240); ++row, at += width) {
            std::memcpy(source->planar.plane[plane] + row * source->planar.stride[plane], &raw[at], width);
        }
    }
    const struct {
        int kind;
        const char* filter;
    } cases[] = {{1, "transpose=clock"}, {0, "transpose=cclock"}, {2, "transpose=cclock_flip"},
                 {3, "transpose=clock_flip"}, {10, "hflip,vflip"}, {11, "vflip"}, {12, "hflip"}};
    for (const auto& c : cases) {
        const bool turned = c.kind < 10;
        _vm_screen* destination = tfCreatePicture(turned ? 480 : 640, turned ? 640 : 480, VM_FMT_YUV420);
        ASSERT_NE(destination, nullptr);
        ASSERT_EQ(tfRotatePicture(source, destination, c.kind), 1) << c.kind;
        const std::string out = temp.Path() + "/out.yuv";
        auto done = testing_support::RunCommand("ffmpeg -v error -y -f rawvideo -pix_fmt yuv420p -s 640x480 -i " + in +
                                                " -vf " + c.filter + " -f rawvideo " + out + " 2>&1");
        ASSERT_EQ(done.exitCode, 0) << done.output;
        EXPECT_TRUE(Planes(destination) == streams_test::ReadFile(out)) << c.filter;
        if (c.kind == 1) {
            EXPECT_EQ(destination->planar.plane[0][479], raw[0]); // top-left lands top-right
        }
        EXPECT_EQ(tfRotatePicture(source, destination, turned ? 10 : 1), 0); // sizes do not fit
        tfReleasePicture(destination);
    }
    _vm_screen* same = tfCreatePicture(640, 480, VM_FMT_YUV420);
    EXPECT_EQ(tfRotatePicture(source, same, 4), 0);
    tfReleasePicture(same);
    tfReleasePicture(source);
}

} // namespace
