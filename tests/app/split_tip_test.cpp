// The split-screen models and the tip window (offscreen platform).
#include <gtest/gtest.h>

#include <memory>

#include <QTextEdit>
#include <QWidget>

#include "QNSplitfunc.h"
#include "TipMessage.h"
#include "support/qt_test_env.h"

namespace {

TEST(QNSplitfunc, ModelsHaveTheirWindowCountsAndGrids)
{
    const int windows[] = {1, 4, 9, 10, 16, 25, 36};
    const int grids[] = {1, 2, 3, 4, 4, 5, 6};
    for (int model = 0; model < QNSplitfunc::kModelCount; ++model) {
        SplitModelRecord record;
        ASSERT_EQ(QNSplitfunc::getModel(model, &record), 1);
        EXPECT_EQ(record.windowCount, windows[model]);
        EXPECT_EQ(record.grid, grids[model]);
    }
    SplitModelRecord record;
    EXPECT_EQ(QNSplitfunc::getModel(7, &record), 0);
    EXPECT_EQ(QNSplitfunc::getModel(-1, &record), 0);
    EXPECT_TRUE(QNSplitfunc::layoutRects(7, QSize(800, 600)).empty());
}

TEST(QNSplitfunc, TenWindowsHaveTwoLargeOnTop)
{
    const std::vector<QRect> rects = QNSplitfunc::layoutRects(3, QSize(801, 601));
    ASSERT_EQ(rects.size(), 10u);
    EXPECT_EQ(rects[0], QRect(0, 0, 400, 300));
    EXPECT_EQ(rects[1], QRect(400, 0, 400, 300));
    EXPECT_EQ(rects[2], QRect(0, 300, 200, 150));
    EXPECT_EQ(rects[5], QRect(600, 300, 200, 150));
    EXPECT_EQ(rects[9], QRect(600, 450, 200, 150));
}

TEST(QNSplitfunc, RowByRowAndTinyAreas)
{
    const std::vector<QRect> rects = QNSplitfunc::layoutRects(2, QSize(301, 151));
    ASSERT_EQ(rects.size(), 9u);
    EXPECT_EQ(rects[4], QRect(100, 50, 100, 50));
    EXPECT_EQ(rects[5], QRect(200, 50, 100, 50));
    // A window smaller than the bars: cells of one pixel, never empty or negative.
    for (const QRect& rect : QNSplitfunc::layoutRects(6, QSize(-40, 0))) {
        EXPECT_EQ(rect.width(), 1);
        EXPECT_EQ(rect.height(), 1);
    }
}

TEST(QNSplitfunc, FitKeepsTheAspectAndCentres)
{
    EXPECT_EQ(QNSplitfunc::fitRect(QSize(1000, 1000), 1920, 1080), QRect(0, 219, 1000, 562));
    EXPECT_EQ(QNSplitfunc::fitRect(QSize(1000, 500), 1920, 1080), QRect(56, 0, 888, 500));
    EXPECT_EQ(QNSplitfunc::fitRect(QSize(640, 480), 0, 1080), QRect(0, 0, 640, 480));
    EXPECT_EQ(QNSplitfunc::windowArea(QSize(1280, 800), 200, 60), QSize(1080, 648));
}

TEST(QNSplitfunc, LayoutPlacesTheWindowsItHas)
{
    QWidget area;
    area.resize(801, 601);
    std::vector<std::unique_ptr<QWidget>> owned;
    std::vector<QWidget*> windows;
    for (int k = 0; k < 3; ++k) {
        owned.push_back(std::make_unique<QWidget>(&area));
        windows.push_back(owned.back().get());
    }
    windows[1]->move(7, 9);
    QNSplitfunc::layout(1, area.size(), windows, windows[1]);
    EXPECT_EQ(windows[0]->geometry(), QRect(0, 0, 400, 300));
    EXPECT_EQ(windows[1]->geometry(), QRect(7, 9, 400, 300)); // full size: resized only
    EXPECT_EQ(windows[2]->geometry(), QRect(0, 300, 400, 300));
    EXPECT_FALSE(windows[2]->isHidden());
}

TEST(TipMessage, IsAFixedDisabledFramelessWindowAtThePoint)
{
    TipMessage tip;
    EXPECT_EQ(tip.size(), QSize(260, 150));
    EXPECT_FALSE(tip.isEnabled());
    EXPECT_TRUE(tip.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(tip.windowFlags() & Qt::WindowStaysOnTopHint);
    auto* text = tip.findChild<QTextEdit*>("label_Msg");
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isReadOnly());
    tip.moveTo(900, 700);
    EXPECT_EQ(tip.pos(), QPoint(638, 548));
}

TEST(TipMessage, HidesOnTheFourthTickAfterTheLastShow)
{
    TipMessage tip;
    tip.showMsg("Connecting to server, Please try again latter.");
    EXPECT_TRUE(tip.isVisible());
    EXPECT_EQ(tip.text(), "Connecting to server, Please try again latter.");
    tip.disapper();
    tip.disapper();
    tip.showMsg(QString::fromUtf8("月"));
    for (int tick = 1; tick < TipMessage::kTicksShown; ++tick) {
        tip.disapper();
        EXPECT_TRUE(tip.isVisible()) << tick;
    }
    tip.disapper();
    EXPECT_FALSE(tip.isVisible());
    EXPECT_FALSE(tip.isShown());
}

TEST(TipMessage, TheTimerHidesItOnItsOwn)
{
    TipMessage tip;
    tip.showMsg("Camera Offline, Please check network connect.");
    EXPECT_TRUE(tip.isShown());
    EXPECT_TRUE(qt_test::ProcessUntil([&] { return !tip.isVisible(); }));
}

} // namespace
