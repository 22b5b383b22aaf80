// The multi-picture family: selection order, composition, borders and aimers,
// checked with screenshots of a private Xvfb.
#include <gtest/gtest.h>

#include <cstring>

#include "aimer.h"
#include "muti_selection.h"
#include "qn_ddshow.h"
#include "test_window.h"
#include "support/x_test_support.h"

using namespace ddshow_test;
using ostrels::ddshow::selectItems;

namespace {

struct Solid {
    uint8_t y, u, v;
};
constexpr Solid kRed{82, 90, 240}, kGreen{145, 54, 34}, kBlue{41, 240, 110}, kGrey{126, 128, 128};

QN_DDR_MUTI_ITEM item(int priority, _vm_screen* picture, int l, int t, int r, int b, int refW = 300, int refH = 200)
{
    QN_DDR_MUTI_ITEM it{};
    it.nPriority = priority;
    it.pImage = picture;
    it.nLeft = l;
    it.nTop = t;
    it.nRight = r;
    it.nBottom = b;
    it.nRefWidth = refW;
    it.nRefHeight = refH;
    return it;
}

// Which of red, green, blue, grey a screen pixel is.
char colourAt(const Bgr24Image& image, int x, int y)
{
    const uint8_t* p = image.at(x, y);
    const int b = p[0], g = p[1], r = p[2];
    if (r > 200 && g < 60 && b < 60) return 'r';
    if (g > 200 && r < 60 && b < 60) return 'g';
    if (b > 200 && r < 60 && g < 60) return 'b';
    if (std::abs(r - 128) < 6 && std::abs(g - 128) < 6 && std::abs(b - 128) < 6) return 'k';
    if (r > 240 && g > 240 && b > 240) return 'w';
    return '?';
}

} // namespace

TEST(MutiSelection, LowestPriorityFirstEqualPrioritiesInArrayOrder)
{
    YuvPicture picture(16, 16);
    _vm_screen& s = picture.record();
    std::vector<QN_DDR_MUTI_ITEM> items = {item(5, &s, 0, 0, 10, 10), item(1, &s, 0, 0, 10, 10),
                                           item(5, &s, 0, 0, 10, 10)};
    EXPECT_EQ((std::vector<int>{1, 0, 2}), selectItems(items.data(), 3));

    items.push_back(item(0, &s, 5, 0, 5, 10)); // right equal to left
    items.push_back(item(0, nullptr, 0, 0, 10, 10));
    items.push_back(item(0, &s, 0, 0, 10, 10, 8, 200)); // reference frame too small
    EXPECT_EQ((std::vector<int>{1, 0, 2}), selectItems(items.data(), int(items.size())));
    EXPECT_TRUE(selectItems(items.data() + 3, 3).empty());
}

TEST(MutiSelection, OnlyTheLast64ItemsCount)
{
    YuvPicture picture(16, 16);
    std::vector<QN_DDR_MUTI_ITEM> items;
    for (int i = 0; i < 70; ++i) items.push_back(item(i < 6 ? 100 : 0, &picture.record(), 0, 0, 10, 10));
    const std::vector<int> list = selectItems(items.data(), 70);
    ASSERT_EQ(64u, list.size());
    EXPECT_EQ(6, list.front());
    EXPECT_EQ(69, list.back());
}

namespace {

class MutiOnXvfb : public ::testing::Test {
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
XvfbServer* MutiOnXvfb::server_ = nullptr;

struct SolidPicture {
    YuvPicture picture;
    explicit SolidPicture(Solid c, int w = 64, int h = 48) : picture(w, h) { picture.fill(c.y, c.u, c.v); }
    _vm_screen* record() { return &picture.record(); }
};

QN_DDR_MUTI_PARAM mutiRecord(uint32_t window, int mode)
{
    QN_DDR_MUTI_PARAM p{};
    p.hWnd = window;
    p.nMode = mode;
    return p;
}

} // namespace

TEST_F(MutiOnXvfb, HigherPrioritiesAndLaterEqualsLieOnTop)
{
    for (int mode : {0, 7}) {
        TestWindow window(0, 0, 300, 200);
        ASSERT_TRUE(window.ok());
        SolidPicture red(kRed), green(kGreen), blue(kBlue);
        QN_DDR_MUTI_PARAM p = mutiRecord(window.id(), mode);
        ASSERT_EQ(0, qn_ddrInit_Muti(&p));
        QN_DDR_MUTI_ITEM items[] = {item(5, red.record(), 0, 0, 200, 150), item(1, green.record(), 50, 50, 250, 200),
                                    item(5, blue.record(), 100, 0, 300, 100)};
        ASSERT_EQ(0, qn_ddrDrawImage_Muti(&p, items, 3));
        const Bgr24Image image = shot(window.id());
        EXPECT_EQ('b', colourAt(image, 150, 75)) << "mode " << mode; // all three overlap
        EXPECT_EQ('r', colourAt(image, 75, 120)) << "mode " << mode; // red over green
        EXPECT_EQ('g', colourAt(image, 225, 175)) << "mode " << mode;
        EXPECT_EQ('b', colourAt(image, 280, 20)) << "mode " << mode;
        EXPECT_EQ(0, qn_ddrUnInit_Muti(&p));
        EXPECT_EQ(2, qn_ddrUnInit_Muti(&p));
    }
}

TEST_F(MutiOnXvfb, BordersAreCappedAtTenPixels)
{
    TestWindow window(0, 0, 300, 200);
    ASSERT_TRUE(window.ok());
    SolidPicture grey(kGrey);
    QN_DDR_MUTI_PARAM p = mutiRecord(window.id(), 0);
    ASSERT_EQ(0, qn_ddrInit_Muti(&p));
    QN_DDR_MUTI_ITEM items[] = {item(0, grey.record(), 50, 50, 251, 150)}; // an odd width
    items[0].nBorderWidth = 25;
    items[0].nBorderBlue = items[0].nBorderGreen = items[0].nBorderRed = 255;
    ASSERT_EQ(0, qn_ddrDrawImage_Muti(&p, items, 1));
    EXPECT_EQ(10, items[0].nBorderWidth);
    const Bgr24Image image = shot(window.id());
    EXPECT_EQ('w', colourAt(image, 50, 100));
    EXPECT_EQ('w', colourAt(image, 59, 100));
    EXPECT_EQ('k', colourAt(image, 60, 100));
    EXPECT_EQ('w', colourAt(image, 150, 140));
    EXPECT_EQ('k', colourAt(image, 150, 139));
    EXPECT_EQ('w', colourAt(image, 250, 100));
    for (int x = 251; x < 260; ++x) EXPECT_EQ(0, image.at(x, 100)[1]) << "nothing written right of the item, x " << x;
    qn_ddrUnInit_Muti(&p);
}

TEST_F(MutiOnXvfb, OfSeventyItemsTheFirstSixNeverAppear)
{
    TestWindow window(0, 0, 300, 200);
    ASSERT_TRUE(window.ok());
    SolidPicture red(kRed), grey(kGrey);
    QN_DDR_MUTI_PARAM p = mutiRecord(window.id(), 0);
    ASSERT_EQ(0, qn_ddrInit_Muti(&p));
    std::vector<QN_DDR_MUTI_ITEM> items;
    for (int i = 0; i < 70; ++i) items.push_back(item(i < 6 ? 9 : 0, i < 6 ? red.record() : grey.record(), 0, 0, 300, 200));
    ASSERT_EQ(0, qn_ddrDrawImage_Muti(&p, items.data(), 70));
    EXPECT_EQ('k', colourAt(shot(window.id()), 150, 100));
    items.back().nRight = items.back().nLeft; // no longer valid
    for (int i = 6; i < 70; ++i) items[i].pImage = nullptr;
    EXPECT_EQ(3, qn_ddrDrawImage_Muti(&p, items.data(), 70)) << "no valid item";
    EXPECT_EQ(2, qn_ddrDrawImage_Muti(&p, nullptr, 70));
    qn_ddrUnInit_Muti(&p);
}

namespace {
struct MutiCallbackLog {
    int calls = 0, dstW = 0, dstH = 0, picW = -1, picH = -1;
};
void logMutiCallback(void* user, QN_DDR_CANVAS*, int dstW, int dstH, int picW, int picH)
{
    auto* log = static_cast<MutiCallbackLog*>(user);
    *log = {log->calls + 1, dstW, dstH, picW, picH};
}
} // namespace

TEST_F(MutiOnXvfb, ClearShowsMidGreyAndTheCallbackGetsNoPictureSize)
{
    TestWindow window(0, 0, 320, 240);
    ASSERT_TRUE(window.ok());
    MutiCallbackLog log;
    QN_DDR_MUTI_PARAM p = mutiRecord(window.id(), 1);
    p.pfnDraw = logMutiCallback;
    p.pUser = &log;
    ASSERT_EQ(0, qn_ddrInit_Muti(&p));
    EXPECT_EQ(0, qn_ddrClearImage_Muti(&p));
    EXPECT_EQ('k', colourAt(shot(window.id()), 100, 100));
    SolidPicture red(kRed);
    QN_DDR_MUTI_ITEM items[] = {item(0, red.record(), 0, 0, 150, 100)};
    ASSERT_EQ(0, qn_ddrDrawImage_Muti(&p, items, 1));
    EXPECT_EQ(1, log.calls);
    EXPECT_EQ(320, log.dstW);
    EXPECT_EQ(240, log.dstH);
    EXPECT_EQ(0, log.picW);
    EXPECT_EQ(0, log.picH);
    qn_ddrUnInit_Muti(&p);
}

TEST_F(MutiOnXvfb, AimersTurnBetweenFramesAndAreFoundAtTheirSquares)
{
    TestWindow window(0, 0, 640, 480);
    ASSERT_TRUE(window.ok());
    SolidPicture grey(kGrey, 64, 48);
    QN_DDR_MUTI_PARAM p = mutiRecord(window.id(), 0);
    ASSERT_EQ(0, qn_ddrInit_Muti(&p));
    QN_DDR_MUTI_ITEM items[] = {item(0, grey.record(), 0, 0, 300, 200)};
    const QN_DDR_FRAME_POINT centre{320.0f, 240.0f, 640, 480};
    EXPECT_EQ(0, qn_ddrSetAimer_Muti(&p, -1, &centre, 0, 0, 1));

    if (!ostrels::ddshow::aimerGlyphsReady()) {
        // Without glyphs an active aimer draws nothing (and reads nothing).
        ASSERT_EQ(0, qn_ddrDrawImage_Muti(&p, items, 1));
        EXPECT_EQ('k', colourAt(shot(window.id()), 320, 240));
    }
    EXPECT_EQ(1, qn_ddrInitAimer_Muti());
    ASSERT_EQ(0, qn_ddrDrawImage_Muti(&p, items, 1));
    const Bgr24Image first = shot(window.id());
    ASSERT_EQ(0, qn_ddrDrawImage_Muti(&p, items, 1));
    const Bgr24Image second = shot(window.id());
    // The square: side 480 / 8 = 60 around the centre.
    int inside = 0, outside = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const bool differs = std::memcmp(first.at(x, y), second.at(x, y), 3) != 0;
            const bool inSquare = x >= 290 && x < 350 && y >= 210 && y < 270;
            (inSquare ? inside : outside) += differs;
        }
    EXPECT_GT(inside, 0) << "the reticle turns by 10 degrees per frame";
    EXPECT_EQ(0, outside);

    int found = -2;
    EXPECT_EQ(0, qn_ddrFindAimer_Muti(&p, &centre, &found));
    EXPECT_EQ(0, found);
    const QN_DDR_FRAME_POINT corner{10.0f, 10.0f, 640, 480};
    EXPECT_EQ(0, qn_ddrFindAimer_Muti(&p, &corner, &found));
    EXPECT_EQ(-1, found);
    EXPECT_EQ(2, qn_ddrFindAimer_Muti(&p, &centre, nullptr));

    for (int i = 1; i < 8; ++i) EXPECT_EQ(i, qn_ddrSetAimer_Muti(&p, -1, &centre, 300, 0, 1));
    EXPECT_EQ(-1, qn_ddrSetAimer_Muti(&p, -1, &centre, 0, 0, 1)) << "all eight are active";
    EXPECT_EQ(8, qn_ddrSetAimer_Muti(&p, 8, &centre, 0, 0, 1));
    EXPECT_EQ(-1, qn_ddrSetAimer_Muti(&p, -1, &centre, 0, 0, 0)) << "switches all off";
    EXPECT_EQ(0, qn_ddrFindAimer_Muti(&p, &centre, &found));
    EXPECT_EQ(-1, found);
    qn_ddrUnInit_Muti(&p);
}

TEST_F(MutiOnXvfb, ThePlainMultiRendererHasNoAimers)
{
    TestWindow window(0, 0, 320, 240);
    ASSERT_TRUE(window.ok());
    QN_DDR_MUTI_PARAM p = mutiRecord(window.id(), 5);
    ASSERT_EQ(0, qn_ddrInit_Muti(&p));
    const QN_DDR_FRAME_POINT centre{160.0f, 120.0f, 320, 240};
    EXPECT_EQ(-1, qn_ddrSetAimer_Muti(&p, -1, &centre, 0, 0, 1));
    int found = -2;
    EXPECT_EQ(0, qn_ddrFindAimer_Muti(&p, &centre, &found));
    EXPECT_EQ(-1, found);
    qn_ddrUnInit_Muti(&p);
}
