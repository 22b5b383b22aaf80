// The Ex family through the shared library, on a private Xvfb, checked with
// screenshots against FFmpeg's conversion of the same pictures.
#include <gtest/gtest.h>

#include <cstring>

#include "qn_ddshow.h"
#include "test_window.h"
#include "support/x_test_support.h"

using namespace ddshow_test;

namespace {

QN_DDR_EX_PARAM exRecord(uint32_t window, int width, int height, int mode)
{
    QN_DDR_EX_PARAM p{};
    p.hWnd = window;
    p.nWidth = width;
    p.nHeight = height;
    p.nMode = mode;
    return p;
}

// A picture made by FFmpeg's source filter, with the file FFmpeg reads back.
struct FfmpegPicture {
    YuvPicture picture;
    std::string path;
    FfmpegPicture(const TempDir& dir, const std::string& source, int w, int h) : picture(w, h)
    {
        path = dir.file(source.substr(0, source.find('=')) + ".yuv");
        std::vector<uint8_t> bytes;
        const bool made = run("ffmpeg -v error -y -f lavfi -i " + source + "=s=" + std::to_string(w) + "x" +
                              std::to_string(h) + " -frames:v 1 -f rawvideo -pix_fmt yuv420p " + path) &&
                          readFile(path, bytes) && picture.loadFile(bytes);
        EXPECT_TRUE(made) << "ffmpeg is needed to make " << source;
    }
};

double screenPsnr(const XvfbServer& server, const TempDir& dir, uint32_t window, const Bgr24Image& reference)
{
    Bgr24Image shot;
    if (!grabWindow(server.display(), window, dir.file("shot.xwd"), shot)) {
        ADD_FAILURE() << "xwd could not grab the window";
        return 0;
    }
    const double value = psnr(shot, reference);
    std::printf("PSNR against FFmpeg: %.2f dB\n", value);
    return value;
}

bool pixelIs(const Bgr24Image& image, int x, int y, int b, int g, int r, int tolerance = 2)
{
    const uint8_t* p = image.at(x, y);
    return std::abs(p[0] - b) <= tolerance && std::abs(p[1] - g) <= tolerance && std::abs(p[2] - r) <= tolerance;
}

} // namespace

TEST(ExApi, VersionText)
{
    QN_DDR_VERSION version;
    std::memset(&version, 0x5a, sizeof version);
    qn_ddrGetVersion(&version);
    EXPECT_EQ(18, version.nLength);
    EXPECT_STREQ("2.0.0.20140315_E_M", version.szVersion);
    EXPECT_EQ(0x5a5a5a5a, version.nReserved);
    qn_ddrGetVersion(nullptr);
}

TEST(ExApi, InitRefusesUnusableSizesAndEmptiesTheHandle)
{
    EXPECT_EQ(2, qn_ddrInit_Ex(nullptr));
    const struct {
        int w, h;
    } sizes[] = {{4, 6}, {8, 4}, {6, 6}, {8, 7}, {-8, 6}, {8, -6}, {0, 0}};
    for (auto s : sizes) {
        QN_DDR_EX_PARAM p = exRecord(1234, s.w, s.h, 1);
        p.hRender = &p;
        EXPECT_EQ(2, qn_ddrInit_Ex(&p)) << s.w << "x" << s.h;
        EXPECT_EQ(nullptr, p.hRender);
    }
}

TEST(ExApi, DrawAndUnInitWithoutRendererAreBadArguments)
{
    EXPECT_EQ(2, qn_ddrDrawImage_Ex(nullptr));
    EXPECT_EQ(2, qn_ddrUnInit_Ex(nullptr));
    YuvPicture picture(16, 16);
    QN_DDR_EX_PARAM p = exRecord(1234, 16, 16, 1);
    p.pImage = &picture.record();
    EXPECT_EQ(2, qn_ddrDrawImage_Ex(&p));
    EXPECT_EQ(2, qn_ddrUnInit_Ex(&p));
}

class ExOnXvfb : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new XvfbServer("1280x1024x24"); }
    static void TearDownTestSuite()
    {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(server_->running()) << "Xvfb is needed"; }
    static XvfbServer* server_;
    TempDir dir_;
};
XvfbServer* ExOnXvfb::server_ = nullptr;

TEST_F(ExOnXvfb, Mode1ShowsSmpteBarsAsFfmpegConvertsThem)
{
    TestWindow window(0, 0, 640, 480);
    ASSERT_TRUE(window.ok());
    FfmpegPicture bars(dir_, "smptebars", 640, 480);
    QN_DDR_EX_PARAM p = exRecord(window.id(), 640, 480, 1);
    ASSERT_EQ(0, qn_ddrInit_Ex(&p));
    ASSERT_NE(nullptr, p.hRender);
    p.pImage = &bars.picture.record();
    EXPECT_EQ(0, qn_ddrDrawImage_Ex(&p));
    Bgr24Image reference;
    ASSERT_TRUE(ffmpegToBgr24(bars.path, 640, 480, "", dir_.file("ref.bgr"), reference, 640, 480));
    EXPECT_GE(screenPsnr(*server_, dir_, window.id(), reference), 30.0);
    EXPECT_EQ(0, qn_ddrUnInit_Ex(&p));
    EXPECT_EQ(nullptr, p.hRender);
    EXPECT_EQ(2, qn_ddrUnInit_Ex(&p));
}

TEST_F(ExOnXvfb, ScalesALargePictureToTheWindowAsFfmpegDoes)
{
    TestWindow window(10, 10, 640, 360);
    ASSERT_TRUE(window.ok());
    FfmpegPicture source(dir_, "testsrc2", 1280, 720);
    QN_DDR_EX_PARAM p = exRecord(window.id(), 1280, 720, 0);
    ASSERT_EQ(0, qn_ddrInit_Ex(&p));
    p.pImage = &source.picture.record();
    EXPECT_EQ(0, qn_ddrDrawImage_Ex(&p));
    Bgr24Image reference;
    ASSERT_TRUE(ffmpegToBgr24(source.path, 1280, 720, "-vf scale=640:360", dir_.file("ref.bgr"), reference, 640, 360));
    EXPECT_GE(screenPsnr(*server_, dir_, window.id(), reference), 28.0);
    qn_ddrUnInit_Ex(&p);
}

namespace {
struct CallbackLog {
    int calls = 0;
    int dstW = 0, dstH = 0, picW = 0, picH = 0;
    void* user = nullptr;
};
void paintWhiteBlock(void* user, QN_DDR_CANVAS* canvas, int dstW, int dstH, int picW, int picH)
{
    auto* log = static_cast<CallbackLog*>(user);
    *log = {log->calls + 1, dstW, dstH, picW, picH, user};
    for (int y = 4; y < 14 && y < canvas->height; ++y)
        std::memset(canvas->bits + size_t(y) * canvas->stride + 4 * 4, 0xff, 20 * 4);
}
} // namespace

TEST_F(ExOnXvfb, DrawCallbackPaintsOnTheScaledPictureBeforeItReachesTheWindow)
{
    for (int mode : {0, 7}) {
        TestWindow window(0, 0, 640, 360);
        ASSERT_TRUE(window.ok());
        YuvPicture grey(1280, 720);
        grey.fill(126, 128, 128);
        CallbackLog log;
        QN_DDR_EX_PARAM p = exRecord(window.id(), 1280, 720, mode);
        p.pfnDraw = paintWhiteBlock;
        p.pUser = &log;
        ASSERT_EQ(0, qn_ddrInit_Ex(&p));
        p.pImage = &grey.record();
        ASSERT_EQ(0, qn_ddrDrawImage_Ex(&p));
        EXPECT_EQ(1, log.calls);
        EXPECT_EQ(&log, log.user);
        EXPECT_EQ(640, log.dstW);
        EXPECT_EQ(360, log.dstH);
        EXPECT_EQ(1280, log.picW);
        EXPECT_EQ(720, log.picH);
        Bgr24Image shot;
        ASSERT_TRUE(grabWindow(server_->display(), window.id(), dir_.file("shot.xwd"), shot));
        EXPECT_TRUE(pixelIs(shot, 4, 4, 255, 255, 255)) << "mode " << mode;
        EXPECT_TRUE(pixelIs(shot, 23, 13, 255, 255, 255)) << "mode " << mode;
        EXPECT_TRUE(pixelIs(shot, 24, 14, 128, 128, 128, 3)) << "mode " << mode;
        EXPECT_TRUE(pixelIs(shot, 3, 3, 128, 128, 128, 3)) << "mode " << mode;
        qn_ddrUnInit_Ex(&p);
    }
}

TEST_F(ExOnXvfb, RefusedPicturesLeaveTheWindowAsItWas)
{
    TestWindow window(0, 0, 64, 48);
    ASSERT_TRUE(window.ok());
    YuvPicture grey(64, 48), red(64, 48);
    grey.fill(126, 128, 128);
    red.fill(82, 90, 240);
    QN_DDR_EX_PARAM p = exRecord(window.id(), 64, 48, 1);
    ASSERT_EQ(0, qn_ddrInit_Ex(&p));
    p.pImage = &grey.record();
    ASSERT_EQ(0, qn_ddrDrawImage_Ex(&p));

    // Luma pointer two bytes past a multiple of 4.
    std::vector<uint8_t> shifted(red.y.size() + 4);
    std::memcpy(shifted.data() + 2, red.y.data(), red.y.size());
    _vm_screen misaligned = red.record();
    misaligned.planar.plane[0] = shifted.data() + 2;
    p.pImage = &misaligned;
    EXPECT_EQ(2, qn_ddrDrawImage_Ex(&p));

    _vm_screen packed{};
    packed.width = 64;
    packed.height = 48;
    packed.format = VM_FMT_BGRX32;
    packed.packed.stride = 256;
    packed.packed.pixels = red.y.data();
    p.pImage = &packed;
    EXPECT_EQ(2, qn_ddrDrawImage_Ex(&p)) << "a packed picture has no planes to read";

    _vm_screen fourTwoTwo = red.record();
    fourTwoTwo.format = VM_FMT_YUV422;
    p.pImage = &fourTwoTwo;
    EXPECT_EQ(2, qn_ddrDrawImage_Ex(&p));

    _vm_screen noChroma = red.record();
    noChroma.planar.plane[2] = nullptr;
    p.pImage = &noChroma;
    EXPECT_EQ(2, qn_ddrDrawImage_Ex(&p));

    _vm_screen oddHeight = red.record();
    oddHeight.height = 47;
    p.pImage = &oddHeight;
    EXPECT_EQ(2, qn_ddrDrawImage_Ex(&p));

    Bgr24Image shot;
    ASSERT_TRUE(grabWindow(server_->display(), window.id(), dir_.file("shot.xwd"), shot));
    EXPECT_TRUE(pixelIs(shot, 32, 24, 128, 128, 128, 3));
    qn_ddrUnInit_Ex(&p);
}

TEST_F(ExOnXvfb, SmallestSizeIsAcceptedAndAPictureLargerThanTheRecordIsDrawn)
{
    TestWindow window(0, 0, 320, 240);
    ASSERT_TRUE(window.ok());
    QN_DDR_EX_PARAM small = exRecord(window.id(), 8, 6, 1);
    ASSERT_EQ(0, qn_ddrInit_Ex(&small));
    YuvPicture tiny(8, 6);
    tiny.fill(126, 128, 128);
    small.pImage = &tiny.record();
    EXPECT_EQ(0, qn_ddrDrawImage_Ex(&small));
    qn_ddrUnInit_Ex(&small);

    QN_DDR_EX_PARAM p = exRecord(window.id(), 640, 480, 1);
    ASSERT_EQ(0, qn_ddrInit_Ex(&p));
    FfmpegPicture big(dir_, "testsrc2", 1280, 720);
    p.pImage = &big.picture.record();
    EXPECT_EQ(0, qn_ddrDrawImage_Ex(&p));
    Bgr24Image reference;
    ASSERT_TRUE(ffmpegToBgr24(big.path, 1280, 720, "-vf scale=320:240", dir_.file("ref.bgr"), reference, 320, 240));
    EXPECT_GE(screenPsnr(*server_, dir_, window.id(), reference), 25.0);
    qn_ddrUnInit_Ex(&p);
}

TEST_F(ExOnXvfb, AHiddenWindowSkipsTheFrame)
{
    for (int mode : {1, 7}) {
        TestWindow window(0, 0, 64, 48);
        ASSERT_TRUE(window.ok());
        YuvPicture grey(64, 48);
        grey.fill(126, 128, 128);
        CallbackLog log;
        QN_DDR_EX_PARAM p = exRecord(window.id(), 64, 48, mode);
        p.pfnDraw = paintWhiteBlock;
        p.pUser = &log;
        ASSERT_EQ(0, qn_ddrInit_Ex(&p));
        window.show(false);
        p.pImage = &grey.record();
        EXPECT_EQ(0, qn_ddrDrawImage_Ex(&p));
        EXPECT_EQ(0, log.calls) << "nothing is drawn into a hidden window, mode " << mode;
        window.show(true);
        EXPECT_EQ(0, qn_ddrDrawImage_Ex(&p));
        EXPECT_EQ(1, log.calls);
        qn_ddrUnInit_Ex(&p);
    }
}

TEST_F(ExOnXvfb, AWindowThatIsNoneGetsNoRenderer)
{
    for (QN_DDR_WINDOW bad : {QN_DDR_WINDOW(0), ~QN_DDR_WINDOW(0), QN_DDR_WINDOW(0x7ffffff0)}) {
        for (int mode : {0, 1}) {
            QN_DDR_EX_PARAM p = exRecord(0, 64, 48, mode);
            p.hWnd = bad;
            EXPECT_EQ(3, qn_ddrInit_Ex(&p));
            EXPECT_EQ(nullptr, p.hRender);
        }
    }
}

TEST_F(ExOnXvfb, Mode7DrawsThroughThePlainRenderer)
{
    TestWindow window(0, 0, 640, 480);
    ASSERT_TRUE(window.ok());
    FfmpegPicture bars(dir_, "smptebars", 640, 480);
    QN_DDR_EX_PARAM p = exRecord(window.id(), 640, 480, 7);
    ASSERT_EQ(0, qn_ddrInit_Ex(&p));
    p.pImage = &bars.picture.record();
    EXPECT_EQ(0, qn_ddrDrawImage_Ex(&p));
    Bgr24Image reference;
    ASSERT_TRUE(ffmpegToBgr24(bars.path, 640, 480, "", dir_.file("ref.bgr"), reference, 640, 480));
    EXPECT_GE(screenPsnr(*server_, dir_, window.id(), reference), 30.0);
    qn_ddrUnInit_Ex(&p);
}

class ExWithoutSharedMemory : public ExOnXvfb {
protected:
    static void SetUpTestSuite() { server_ = new XvfbServer("1280x1024x24", {"-extension", "MIT-SHM"}); }
};

TEST_F(ExWithoutSharedMemory, Mode0IsRefusedAndMode1FallsBackToThePlainRenderer)
{
    TestWindow window(0, 0, 640, 480);
    ASSERT_TRUE(window.ok());
    QN_DDR_EX_PARAM refused = exRecord(window.id(), 640, 480, 0);
    EXPECT_EQ(3, qn_ddrInit_Ex(&refused));
    EXPECT_EQ(nullptr, refused.hRender);

    FfmpegPicture bars(dir_, "smptebars", 640, 480);
    QN_DDR_EX_PARAM p = exRecord(window.id(), 640, 480, 1);
    ASSERT_EQ(0, qn_ddrInit_Ex(&p));
    ASSERT_NE(nullptr, p.hRender);
    p.pImage = &bars.picture.record();
    EXPECT_EQ(0, qn_ddrDrawImage_Ex(&p));
    Bgr24Image reference;
    ASSERT_TRUE(ffmpegToBgr24(bars.path, 640, 480, "", dir_.file("ref.bgr"), reference, 640, 480));
    EXPECT_GE(screenPsnr(*server_, dir_, window.id(), reference), 30.0);
    qn_ddrUnInit_Ex(&p);
}
