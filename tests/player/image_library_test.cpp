// The picture library: block layout, exact copies, and JPEG files that
// FFmpeg reads.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <tuple>
#include <string>

#include "picture_files.h"
#include "qn_imageprocess.h"
#include "support/run_command.h"
#include "support/temp_folder.h"

namespace {

using player_test::RawYuv;
using testing_support::HaveCommand;
using testing_support::RunCommand;

struct Picture {
    _vm_screen* p = nullptr;
    Picture(int w, int h, int format) { EXPECT_EQ(qnCreateImage(&p, w, h, format), QN_IMG_OK); }
    ~Picture()
    {
        if (p) qnReleaseImage(&p);
    }
};

TEST(ImageLibrary, PicturesAreOneBlockWithTheSharedStrides)
{
    for (auto [w, h, format] : {std::tuple{320, 240, 273}, {5, 3, 274}, {7, 1, 273}, {33, 9, 3}, {31, 7, 2}}) {
        Picture picture(w, h, format);
        ASSERT_NE(picture.p, nullptr);
        const _vm_screen& s = *picture.p;
        EXPECT_EQ(s.width, w);
        EXPECT_EQ(s.height, h);
        EXPECT_EQ(s.format, format);
        EXPECT_EQ(s.base, picture.p) << "freed through the record's base";
        const int planes = vm_is_planar(format) ? 3 : 1;
        const uint8_t* end = reinterpret_cast<const uint8_t*>(picture.p + 1);
        for (int p = 0; p < planes; ++p) {
            EXPECT_EQ(vm_stride(&s, p), vm_stride_for(format, w, p));
            EXPECT_GE(vm_plane(&s, p), end) << "planes follow each other without overlap";
            end = vm_plane(&s, p) + size_t(vm_stride(&s, p)) * vm_plane_rows(format, h, p);
        }
    }
}

TEST(ImageLibrary, BadRequestsAreRefused)
{
    _vm_screen* p = nullptr;
    EXPECT_EQ(qnCreateImage(nullptr, 4, 4, 273), QN_IMG_ERR_ARGUMENT);
    EXPECT_EQ(qnCreateImage(&p, 0, 4, 273), QN_IMG_ERR_ARGUMENT);
    EXPECT_EQ(qnCreateImage(&p, 4, -1, 273), QN_IMG_ERR_ARGUMENT);
    EXPECT_EQ(qnCreateImage(&p, 4, 4, 999), QN_IMG_ERR_ARGUMENT);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(qnReleaseImage(&p), QN_IMG_ERR_ARGUMENT);
    EXPECT_EQ(qnOpenImage("/nonexistent/picture.jpg", 273), nullptr);
}

TEST(ImageLibrary, ChangeFormatCopiesExactlyAndRefusesOtherShapes)
{
    // An odd size: the blocks are exactly as large as the planes, so a copy
    // one chroma row or column too long is caught by the address sanitizer.
    for (auto [w, h, format] : {std::tuple{64, 36, 273}, {5, 3, 273}, {7, 5, 274}, {9, 3, 2}, {3, 3, 3}}) {
        Picture from(w, h, format), to(w, h, format);
        const int planes = vm_is_planar(format) ? 3 : 1;
        std::mt19937 random(w * h);
        for (int p = 0; p < planes; ++p)
            for (int i = 0; i < vm_stride(from.p, p) * vm_plane_rows(format, h, p); ++i)
                vm_plane(from.p, p)[i] = uint8_t(random());
        ASSERT_EQ(qnChangeFormat(from.p, to.p), QN_IMG_OK);
        for (int p = 0; p < planes; ++p) {
            const int bytes = vm_is_planar(format) ? (p == 0 ? w : w / 2) : w * vm_packed_bytes_per_pixel(format);
            for (int r = 0; r < vm_plane_rows(format, h, p); ++r)
                EXPECT_EQ(0, std::memcmp(vm_plane(from.p, p) + r * vm_stride(from.p, p),
                                         vm_plane(to.p, p) + r * vm_stride(to.p, p), size_t(bytes)))
                    << w << "x" << h << " plane " << p << " row " << r;
        }
    }
    Picture a(8, 8, 273), wider(10, 8, 273), swapped(8, 8, 274);
    std::memset(wider.p->planar.plane[0], 7, 10);
    EXPECT_EQ(qnChangeFormat(a.p, wider.p), QN_IMG_ERR_ARGUMENT);
    EXPECT_EQ(wider.p->planar.plane[0][0], 7) << "a refused copy writes nothing";
    EXPECT_EQ(qnChangeFormat(a.p, swapped.p), QN_IMG_ERR_ARGUMENT);
    EXPECT_EQ(qnChangeFormat(a.p, nullptr), QN_IMG_ERR_ARGUMENT);
}

class ImageFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveCommand("ffmpeg") || !HaveCommand("ffprobe")) GTEST_SKIP() << "ffmpeg and ffprobe are missing";
    }
    std::string File(const std::string& name) const { return folder_.Path() + "/" + name; }
    testing_support::TempFolder folder_;
};

TEST_F(ImageFiles, SavedJpegIsReadByFfprobeAndMatchesThePicture)
{
    const int w = 320, h = 240;
    ASSERT_TRUE(player_test::MakeTestPattern(File("ref.yuv"), w, h, 1));
    std::vector<uint8_t> file;
    ASSERT_TRUE(player_test::ReadFileBytes(File("ref.yuv"), file));
    for (int format : {273, 274}) {
        Picture picture(w, h, format);
        player_test::FillFromRaw(player_test::FrameOf(file, w, h, 0), *picture.p);
        const int parameters[4] = {100, 0, 0, 0};
        const std::string jpeg = File("snap" + std::to_string(format) + ".JPG");
        ASSERT_EQ(qnSaveImage(jpeg.c_str(), picture.p, parameters), QN_IMG_OK);
        const auto probe = RunCommand("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height"
                                      " -of csv=p=0 '" + jpeg + "'");
        EXPECT_EQ(testing_support::Chomp(probe.output), "mjpeg,320,240");
        const double psnr = player_test::FfmpegPsnr("-f rawvideo -pix_fmt yuv420p -s 320x240 -i '" + File("ref.yuv") +
                                                    "'", "-i '" + jpeg + "'");
        EXPECT_GE(psnr, 35.0) << "format " << format;
    }
}

TEST_F(ImageFiles, SaveRefusesWhatItCannotWrite)
{
    Picture picture(16, 16, 273), packed(16, 16, 3);
    EXPECT_EQ(qnSaveImage(File("snap.bmp").c_str(), picture.p, nullptr), QN_IMG_ERR_ARGUMENT);
    EXPECT_EQ(qnSaveImage(File("snap.jpg").c_str(), packed.p, nullptr), QN_IMG_ERR_ARGUMENT);
    EXPECT_EQ(qnSaveImage(File("missing/snap.jpg").c_str(), picture.p, nullptr), QN_IMG_ERR_FILE);
    EXPECT_FALSE(std::filesystem::exists(File("snap.jpg")));
}

TEST_F(ImageFiles, OpenedJpegMatchesFfmpegsOwnDecode)
{
    const std::string jpeg = File("snap.jpg");
    ASSERT_EQ(RunCommand("ffmpeg -hide_banner -nostdin -loglevel error -f lavfi -i testsrc=size=320x240 -frames:v 1 '" +
                         jpeg + "' && ffmpeg -hide_banner -nostdin -loglevel error -i '" + jpeg +
                         "' -pix_fmt yuv420p -f rawvideo '" + File("ref.yuv") + "'")
                  .exitCode,
              0);
    std::vector<uint8_t> file;
    ASSERT_TRUE(player_test::ReadFileBytes(File("ref.yuv"), file));
    const RawYuv reference = player_test::FrameOf(file, 320, 240, 0);
    for (int format : {273, 274}) {
        _vm_screen* picture = qnOpenImage(jpeg.c_str(), format);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->format, format);
        const int worst = player_test::MaxDifference(player_test::ToRaw(*picture), reference);
        EXPECT_GE(worst, 0);
        EXPECT_LE(worst, 2);
        qnReleaseImage(&picture);
    }
}

TEST_F(ImageFiles, OddSizedJpegOpensWithoutWritingPastAPlane)
{
    const std::string jpeg = File("odd.jpg");
    ASSERT_EQ(RunCommand("ffmpeg -hide_banner -nostdin -loglevel error -f lavfi -i testsrc=size=33x17 -frames:v 1 '" +
                         jpeg + "' && ffmpeg -hide_banner -nostdin -loglevel error -i '" + jpeg +
                         "' -pix_fmt yuv420p -f rawvideo '" + File("ref.yuv") + "'")
                  .exitCode,
              0);
    std::vector<uint8_t> file;
    ASSERT_TRUE(player_test::ReadFileBytes(File("ref.yuv"), file));
    const RawYuv reference = player_test::FrameOf(file, 33, 17, 0);
    _vm_screen* picture = qnOpenImage(jpeg.c_str(), 273);
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(picture->width, 33);
    ASSERT_EQ(picture->height, 17);
    const RawYuv ours = player_test::ToRaw(*picture);
    // The picture keeps 16 x 8 chroma samples of FFmpeg's 17 x 9.
    for (int plane = 1; plane < 3; ++plane)
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 16; ++c) {
                const size_t at = reference.LumaSize() + (plane - 1) * reference.ChromaSize() + r * 17 + c;
                EXPECT_NEAR(ours.bytes[at], reference.bytes[at], 2);
            }
    qnReleaseImage(&picture);
}

}  // namespace
