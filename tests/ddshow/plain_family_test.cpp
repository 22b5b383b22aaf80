// The plain family: target sizes, the bitmap path and the surface path, on a
// private Xvfb.
#include <gtest/gtest.h>

#include <cstring>

#include "plain_target.h"
#include "qn_ddshow.h"
#include "test_window.h"
#include "support/x_test_support.h"

using namespace ddshow_test;
using ostrels::ddshow::PlainTarget;
using ostrels::ddshow::plainTargetFor;

TEST(PlainTarget, FullHalfOrQuarterOfTheRecordByTheWindow)
{
    const struct {
        int winW, winH;
        int w, h, hf, vf;
    } cases[] = {
        {300, 200, 352, 288, 2, 2},   // W/2 = 352 not below 300, W/4 = 176 is
        {1000, 800, 704, 576, 1, 1},
        {100, 80, 176, 144, 4, 4},
        {1000, 100, 352, 144, 2, 4},  // 1 and 4 has no converter: the width is halved
        {100, 1000, 176, 288, 4, 2},
    };
    for (const auto& c : cases) {
        const PlainTarget t = plainTargetFor(704, 576, 704, 576, c.winW, c.winH);
        EXPECT_EQ(c.w, t.width) << c.winW << "x" << c.winH;
        EXPECT_EQ(c.h, t.height) << c.winW << "x" << c.winH;
        EXPECT_EQ(c.hf, t.horizontal) << c.winW << "x" << c.winH;
        EXPECT_EQ(c.vf, t.vertical) << c.winW << "x" << c.winH;
    }
    EXPECT_EQ(3, plainTargetFor(600, 576, 800, 576, 2000, 2000).horizontal); // target three quarters of the picture
}

namespace {

class PlainOnXvfb : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new XvfbServer("1280x1024x24"); }
    static void TearDownTestSuite() { delete server_; }
    void SetUp() override { ASSERT_TRUE(server_->running()) << "Xvfb is needed"; }
    Bgr24Image shot(uint32_t window)
    {
        Bgr24Image image;
        EXPECT_TRUE(grabWindow(server_->display(), window, dir_.file("shot.xwd"), image));
        return image;
    }
    static XvfbServer* server_;
    TempDir dir_;
};
XvfbServer* PlainOnXvfb::server_ = nullptr;

struct Yuv {
    uint8_t y, u, v;
};

// FFmpeg's full-range conversion of one colour.
void fullRangeReference(const TempDir& dir, const Yuv& c, uint8_t bgr[3])
{
    YuvPicture p(16, 16);
    p.fill(c.y, c.u, c.v);
    ASSERT_TRUE(writeFile(dir.file("c.yuv"), p.fileBytes()));
    Bgr24Image ref;
    ASSERT_TRUE(ffmpegToBgr24(dir.file("c.yuv"), 16, 16,
                              "-vf scale=in_range=full:out_range=full -sws_flags bilinear+accurate_rnd+full_chroma_int",
                              dir.file("c.bgr"), ref, 16, 16));
    std::memcpy(bgr, ref.at(8, 8), 3);
}

} // namespace

TEST_F(PlainOnXvfb, BitmapPathShowsFourQuadrantsInFfmpegsFullRangeColours)
{
    TestWindow window(0, 0, 352, 288);
    ASSERT_TRUE(window.ok());
    const Yuv quadrant[4] = {{200, 60, 90}, {90, 200, 60}, {40, 128, 128}, {150, 100, 220}};
    YuvPicture picture(704, 576);
    for (int y = 0; y < 576; ++y)
        for (int x = 0; x < 704; ++x) {
            const Yuv& c = quadrant[(y >= 288) * 2 + (x >= 352)];
            picture.y[size_t(y) * 704 + x] = c.y;
            picture.u[size_t(y / 2) * 352 + x / 2] = c.u;
            picture.v[size_t(y / 2) * 352 + x / 2] = c.v;
        }
    QN_DDR_PARAM p{};
    p.nMode = 3;
    p.hWnd = window.id();
    p.nWidth = 704;
    p.nHeight = 576;
    ASSERT_EQ(0, qn_ddrInit(&p));
    ASSERT_NE(nullptr, p.hContext);
    p.pImage = &picture.record();
    ASSERT_EQ(0, qn_ddrDrawImage(&p));
    const Bgr24Image image = shot(window.id());
    const int probe[4][2] = {{88, 72}, {264, 72}, {88, 216}, {264, 216}};
    for (int q = 0; q < 4; ++q) {
        uint8_t expected[3];
        fullRangeReference(dir_, quadrant[q], expected);
        const uint8_t* got = image.at(probe[q][0], probe[q][1]);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(expected[c], got[c], 1) << "quadrant " << q << " channel " << c;
    }
    EXPECT_EQ(0, qn_ddrUnInit(&p));
    EXPECT_EQ(nullptr, p.hContext);
    EXPECT_EQ(2, qn_ddrUnInit(&p));
}

TEST_F(PlainOnXvfb, BitmapPathCopiesA32BitPictureRowForRow)
{
    TestWindow window(0, 0, 64, 48);
    ASSERT_TRUE(window.ok());
    std::vector<uint8_t> pixels(64 * 4 * 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            uint8_t* px = &pixels[(size_t(y) * 64 + x) * 4];
            px[0] = uint8_t(x * 4);
            px[1] = uint8_t(y * 5);
            px[2] = uint8_t(255 - x * 3);
        }
    _vm_screen picture{};
    picture.width = 64;
    picture.height = 48;
    picture.format = VM_FMT_BGRX32;
    picture.packed.stride = 256;
    picture.packed.pixels = pixels.data();
    QN_DDR_PARAM p{};
    p.nMode = 3;
    p.hWnd = window.id();
    p.nWidth = 64;
    p.nHeight = 48;
    ASSERT_EQ(0, qn_ddrInit(&p));
    p.pImage = &picture;
    ASSERT_EQ(0, qn_ddrDrawImage(&p));
    const Bgr24Image image = shot(window.id());
    int differing = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            differing += std::memcmp(image.at(x, y), &pixels[(size_t(y) * 64 + x) * 4], 3) != 0;
    EXPECT_EQ(0, differing);
    qn_ddrUnInit(&p);
}

TEST_F(PlainOnXvfb, SurfacePathHandsOutACanvasAtTheDestinationAndShowsIt)
{
    TestWindow window(100, 100, 320, 240);
    ASSERT_TRUE(window.ok());
    YuvPicture picture(160, 120);
    picture.fill(126, 128, 128);
    QN_DDR_PARAM p{};
    p.nMode = 0;
    ASSERT_EQ(0, qn_ddrInit(&p));
    p.nMode = 2;
    EXPECT_EQ(2, qn_ddrSetModel(&p)) << "windowed mode needs a window";
    p.hWnd = window.id();
    EXPECT_EQ(0, qn_ddrSetModel(&p));
    p.pImage = &picture.record();
    p.bDC = 1;
    p.nLeft = 120;
    p.nTop = 110;
    p.nRight = 280;
    p.nBottom = 230; // a 160 x 120 area at (20, 10) of the window
    ASSERT_EQ(0, qn_ddrCopyImage(&p));
    ASSERT_NE(nullptr, p.hDC);
    EXPECT_EQ(160, p.hDC->width);
    EXPECT_EQ(120, p.hDC->height);
    for (int y = 0; y < 10; ++y) std::memset(p.hDC->bits + size_t(y) * p.hDC->stride, 0xff, 40);
    ASSERT_EQ(0, qn_ddrShowImage(&p));
    EXPECT_EQ(nullptr, p.hDC);
    const Bgr24Image image = shot(window.id());
    EXPECT_EQ(255, image.at(20, 10)[0]);   // the canvas's white corner
    EXPECT_NEAR(128, image.at(100, 80)[1], 3);
    EXPECT_EQ(0, image.at(5, 5)[1]);       // outside the destination: the window's black
    qn_ddrUnInit(&p);
}

TEST_F(PlainOnXvfb, LockedSurfaceTakesTheCallersPlanesInTheirOwnOrder)
{
    TestWindow window(0, 0, 64, 48);
    ASSERT_TRUE(window.ok());
    for (int format : {VM_FMT_YUV420, VM_FMT_YVU420}) {
        YuvPicture picture(64, 48);
        QN_DDR_PARAM p{};
        p.nMode = 0;
        p.hWnd = window.id();
        ASSERT_EQ(0, qn_ddrInit(&p));
        _vm_screen locked{};
        p.pImage = &picture.record(format);
        p.pLockImage = &locked;
        ASSERT_EQ(0, qn_ddrLockSurface(&p));
        ASSERT_EQ(format, locked.format);
        ASSERT_NE(nullptr, locked.planar.plane[0]);
        EXPECT_GE(locked.planar.stride[0], 64);
        EXPECT_EQ(locked.planar.stride[0] / 2, locked.planar.stride[1]);
        // Red: U 90, V 240, through the lock picture's own plane order.
        uint8_t* u = format == VM_FMT_YUV420 ? locked.planar.plane[1] : locked.planar.plane[2];
        uint8_t* v = format == VM_FMT_YUV420 ? locked.planar.plane[2] : locked.planar.plane[1];
        for (int y = 0; y < 48; ++y) std::memset(locked.planar.plane[0] + size_t(y) * locked.planar.stride[0], 82, 64);
        for (int y = 0; y < 24; ++y) {
            std::memset(u + size_t(y) * locked.planar.stride[1], 90, 32);
            std::memset(v + size_t(y) * locked.planar.stride[1], 240, 32);
        }
        ASSERT_EQ(0, qn_ddrUnLockSurface(&p));
        const Bgr24Image image = shot(window.id());
        EXPECT_GT(image.at(32, 24)[2], 200) << "format " << format;
        EXPECT_LT(image.at(32, 24)[0], 40) << "format " << format;
        EXPECT_EQ(0, qn_ddrUnLockSurface(&p)) << "not locked: nothing to do";
        qn_ddrUnInit(&p);
    }
}
