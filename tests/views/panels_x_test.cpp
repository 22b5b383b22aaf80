// The panels on a private X server, driven by real input through xdotool.
#include <gtest/gtest.h>

#include <QQuickItem>
#include <QWidget>

#include "platform/paths.h"
#include "support/qt_test_env.h"
#include "support/run_command.h"
#include "support/x_test_support.h"
#include "title_bar.h"

namespace {

using qt_test::ProcessUntil;
using qt_test::StandInController;

class PanelsOnX : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qt_test::XDisplay().empty()) GTEST_SKIP() << "Xvfb is not available";
        if (!ddshow_test::run("command -v xdotool >/dev/null")) GTEST_SKIP() << "xdotool is not installed";
    }

    bool xdotool(const std::string& arguments)
    {
        return ddshow_test::run("DISPLAY=" + qt_test::XDisplay() + " xdotool " + arguments);
    }

    // The whole screen; with OSTRELS_SCREENSHOT_DIR set, also kept there as <name>.ppm.
    ddshow_test::Bgr24Image screenshot(const std::string& name)
    {
        ddshow_test::Bgr24Image image;
        EXPECT_TRUE(ddshow_test::grabWindow(qt_test::XDisplay(), 0, folder_.file(name + ".xwd"), image));
        if (auto keep = platform::GetEnv("OSTRELS_SCREENSHOT_DIR"))
            ddshow_test::writePpm(*keep + "/" + name + ".ppm", image);
        return image;
    }

    static QColor pixel(const ddshow_test::Bgr24Image& image, int x, int y)
    {
        const uint8_t* p = image.at(x, y);
        return QColor(p[2], p[1], p[0]);
    }

    ddshow_test::TempDir folder_;
};

// The main window as the controller builds it: frameless, title bar on top,
// moved by the drag offsets the controller receives.
struct TitleWindow {
    QWidget window;
    TitleBar bar;
    StandInController controller;

    explicit TitleWindow(const QPoint& at)
    {
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        window.setGeometry(QRect(at, QSize(800, 400)));
        bar.initComponent(&window, QRect(0, 0, 800, 60));
        QObject::connect(&bar, SIGNAL(quitSignal()), &controller, SLOT(exitAppSlot()));
        QObject::connect(&bar, SIGNAL(maxSizeSignal(bool)), &controller, SLOT(maxSizeWinSlot(bool)));
        QObject::connect(&bar, SIGNAL(minSizeSignal()), &controller, SLOT(minSizeWinSlot()));
        QObject::connect(&bar, SIGNAL(userSignal()), &controller, SLOT(userSlot()));
        QObject::connect(&bar, SIGNAL(openMenuSignal()), &controller, SLOT(openMenuSlot()));
        QObject::connect(&bar, SIGNAL(dragSignal(int,int)), &controller, SLOT(dragSlot(int,int)));
        QObject::connect(&controller, &StandInController::dragged,
                         [this](int dx, int dy) { window.move(window.pos() + QPoint(dx, dy)); });
        window.show();
    }

    bool exposed() { return bar.quickView()->isExposed() && bar.quickView()->rootObject(); }
};

TEST_F(PanelsOnX, TitleBarDrawsDragsMaximisesAndRelaysClicks)
{
    TitleWindow title(QPoint(100, 100));
    ASSERT_TRUE(ProcessUntil([&] { return title.exposed(); }));
    ASSERT_TRUE(ProcessUntil([&] { return title.window.pos() == QPoint(100, 100); }));
    // The software renderer draws after exposure; the gradient's middle shows it.
    ddshow_test::Bgr24Image shot;
    ASSERT_TRUE(ProcessUntil([&] {
        shot = screenshot("title_bar");
        return shot.width > 0 && pixel(shot, 100 + 500, 100 + 30) == QColor("#2398e9");
    }));
    // The top stop of the variant, just inside the border.
    const QColor top = pixel(shot, 100 + 500, 101);
    EXPECT_NEAR(top.red(), 0x4e, 6);
    EXPECT_NEAR(top.green(), 0xb5, 6);
    EXPECT_NEAR(top.blue(), 0xf7, 6);
    for (int y : {100 + 19, 100 + 41}) EXPECT_EQ(pixel(shot, 100 + 500, y), QColor("#2398e9")) << y;

    // A drag on the bar: the controller moves the window by the offsets.
    ASSERT_TRUE(xdotool("mousemove 400 120 mousedown 1 mousemove 430 130 mouseup 1"));
    ASSERT_TRUE(ProcessUntil([&] { return title.window.pos() == QPoint(130, 110); }));
    int dx = 0, dy = 0;
    for (const auto& call : title.controller.calls)
        if (call.slot == "dragSlot") dx += call.args[0], dy += call.args[1];
    EXPECT_EQ(dx, 30);
    EXPECT_EQ(dy, 10);

    // A double click maximises, without a drag.
    const int drags = title.controller.count("dragSlot");
    ASSERT_TRUE(xdotool("mousemove 530 130 click --repeat 2 --delay 40 1"));
    ASSERT_TRUE(ProcessUntil([&] { return title.controller.count("maxSizeWinSlot") == 1; }));
    EXPECT_EQ(title.controller.last("maxSizeWinSlot"), std::vector<int>{1});
    QQuickItem* maxButton = title.bar.quickView()->rootObject()->findChild<QQuickItem*>("maxButton");
    ASSERT_NE(maxButton, nullptr);
    EXPECT_TRUE(maxButton->property("btnImgSrc").toString().endsWith("ctrl_max.png"));
    screenshot("title_bar_maximised");

    // While maximised, pressing and moving gives no offsets.
    ASSERT_TRUE(xdotool("mousemove 430 130 mousedown 1 mousemove 470 140 mouseup 1"));
    // The window buttons, right to left: close, maximise, minimise, menu; then the user text.
    const int right = 130 + 800 - 2, buttonY = 110 + 12;
    ASSERT_TRUE(xdotool("mousemove " + std::to_string(right - 16) + " " + std::to_string(buttonY) + " click 1"));
    ASSERT_TRUE(ProcessUntil([&] { return title.controller.count("exitAppSlot") == 1; }));
    EXPECT_EQ(title.controller.count("dragSlot"), drags);

    ASSERT_TRUE(xdotool("mousemove " + std::to_string(right - 32 - 2 - 16) + " " + std::to_string(buttonY) +
                        " click 1"));
    ASSERT_TRUE(ProcessUntil([&] { return title.controller.count("maxSizeWinSlot") == 2; }));
    EXPECT_EQ(title.controller.last("maxSizeWinSlot"), std::vector<int>{0});
    ASSERT_TRUE(xdotool("mousemove " + std::to_string(right - 2 * 34 - 16) + " " + std::to_string(buttonY) +
                        " click 1"));
    ASSERT_TRUE(ProcessUntil([&] { return title.controller.count("minSizeWinSlot") == 1; }));
    ASSERT_TRUE(xdotool("mousemove " + std::to_string(right - 3 * 34 - 16) + " " + std::to_string(buttonY) +
                        " click 1"));
    ASSERT_TRUE(ProcessUntil([&] { return title.controller.count("openMenuSlot") == 1; }));
    ASSERT_TRUE(xdotool("mousemove " + std::to_string(right - 4 * 34 - 50) + " " + std::to_string(110 + 20) +
                        " click 1"));
    ASSERT_TRUE(ProcessUntil([&] { return title.controller.count("userSlot") == 1; }));
    screenshot("title_bar_after");
}

} // namespace
