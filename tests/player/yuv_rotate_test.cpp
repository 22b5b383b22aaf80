// Picture turns compared byte for byte with FFmpeg's transpose, hflip and vflip.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "picture_files.h"
#include "qn_imageprocess.h"
#include "support/run_command.h"
#include "support/temp_folder.h"
#include "yuv_rotate.h"

namespace {

using player_test::RawYuv;

struct Picture {
    _vm_screen* p = nullptr;
    Picture(int w, int h, int format = VM_FMT_YUV420) { EXPECT_EQ(qnCreateImage(&p, w, h, format), QN_IMG_OK); }
    ~Picture() { qnReleaseImage(&p); }
};

RawYuv RandomFrame(int w, int h)
{
    RawYuv raw;
    raw.width = w;
    raw.height = h;
    raw.bytes.resize(raw.FrameSize());
    std::mt19937 random(unsigned(w * 131 + h));
    for (auto& b : raw.bytes) b = uint8_t(random());
    return raw;
}

TEST(YuvRotate, EveryKindEqualsFfmpegsFilter)
{
    if (!testing_support::HaveCommand("ffmpeg")) GTEST_SKIP() << "ffmpeg is missing";
    const std::pair<int, const char*> kinds[] = {{0, "transpose=2"}, {1, "transpose=1"}, {2, "transpose=0"},
                                                 {3, "transpose=3"}, {10, "hflip,vflip"}, {11, "vflip"},
                                                 {12, "hflip"}};
    testing_support::TempFolder folder;
    const std::string in = folder.Path() + "/in.yuv", out = folder.Path() + "/out.yuv";
    for (auto [w, h] : {std::pair{4, 2}, {6, 4}, {64, 36}, {640, 360}}) {
        const RawYuv frame = RandomFrame(w, h);
        ASSERT_TRUE(player_test::WriteFileBytes(in, frame.bytes));
        Picture source(w, h);
        player_test::FillFromRaw(frame, *source.p);
        for (auto [kind, filter] : kinds) {
            const bool turns = kind < 10;
            const int dw = turns ? h : w, dh = turns ? w : h;
            ASSERT_EQ(testing_support::RunCommand("ffmpeg -hide_banner -nostdin -loglevel error -y -f rawvideo "
                                                  "-pix_fmt yuv420p -s " + std::to_string(w) + "x" + std::to_string(h) +
                                                  " -i '" + in + "' -vf " + filter +
                                                  " -f rawvideo -pix_fmt yuv420p '" + out + "'")
                          .exitCode,
                      0);
            std::vector<uint8_t> expected;
            ASSERT_TRUE(player_test::ReadFileBytes(out, expected));
            Picture destination(dw, dh);
            ASSERT_EQ(RotateYuvPicture(source.p, destination.p, kind), 1);
            EXPECT_EQ(player_test::ToRaw(*destination.p).bytes, expected) << w << "x" << h << " kind " << kind;
        }
    }
}

TEST(YuvRotate, SizesThatDoNotFitChangeNothing)
{
    Picture source(4, 2), turned(2, 4), same(4, 2);
    std::memset(turned.p->planar.plane[0], 9, 2);
    EXPECT_EQ(RotateYuvPicture(source.p, same.p, 1), 0) << "a quarter turn needs a 2 x 4 destination";
    EXPECT_EQ(RotateYuvPicture(source.p, turned.p, 12), 0);
    EXPECT_EQ(RotateYuvPicture(source.p, turned.p, 4), 0);
    EXPECT_EQ(RotateYuvPicture(source.p, turned.p, 13), 0);
    EXPECT_EQ(RotateYuvPicture(nullptr, turned.p, 1), 0);
    EXPECT_EQ(turned.p->planar.plane[0][0], 9) << "a refused turn writes nothing";
    EXPECT_EQ(RotateYuvPicture(source.p, turned.p, 1), 1);
}

TEST(YuvRotate, OddSizesStayInsideTheirPlanes)
{
    // The blocks are exactly as large as their planes: a write or read past a
    // plane is caught by the address sanitizer.
    for (int kind : {0, 1, 2, 3, 10, 11, 12}) {
        for (auto [w, h] : {std::pair{5, 3}, {7, 1}, {1, 1}, {9, 6}}) {
            const bool turns = kind < 10;
            Picture source(w, h), destination(turns ? h : w, turns ? w : h);
            player_test::FillFromRaw(RandomFrame(w, h), *source.p);
            ASSERT_EQ(RotateYuvPicture(source.p, destination.p, kind), 1) << w << "x" << h << " kind " << kind;
            // The luma plane keeps every sample: the turn is a permutation.
            long sumIn = 0, sumOut = 0;
            for (int r = 0; r < h; ++r)
                for (int c = 0; c < w; ++c) sumIn += source.p->planar.plane[0][r * source.p->planar.stride[0] + c];
            for (int r = 0; r < destination.p->height; ++r)
                for (int c = 0; c < destination.p->width; ++c)
                    sumOut += destination.p->planar.plane[0][r * destination.p->planar.stride[0] + c];
            EXPECT_EQ(sumIn, sumOut);
        }
    }
}

}  // namespace
