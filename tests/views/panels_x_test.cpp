// The panels on a private X server, driven by real input through xdotool.
#include <gtest/gtest.h>

#include <QQuickItem>
#include <QWidget>

#include "platform/paths.h"
#include "support/qt_test_env.h"
#include "support/run_command.h"
#include "support/x_test_support.h"
#include "x_panel_fixture.h"
#include "ListBarView.h"
#include "camera_records.h"
#include "title_bar.h"

namespace {

using qt_test::ProcessUntil;
using qt_test::StandInController;
using views_x_test::FindVisibleItem;
using views_x_test::PanelsOnX;

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
    ASSERT_TRUE(nextFrame(title.bar.quickView()));
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

TEST_F(PanelsOnX, DeviceListShowsCardsAndRelaysClicks)
{
    QWidget window;
    window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window.setGeometry(0, 0, 200, 640);
    StandInController controller;
    ListBarView list;
    list.init(&window, QRect(0, 0, 200, 640), &controller);
    QObject::connect(&list, SIGNAL(playSignal(int,int)), &controller, SLOT(itemDBClickSlot(int,int)));
    QObject::connect(&list, SIGNAL(settingSignal(int)), &controller, SLOT(itemSettingSlot(int)));
    QObject::connect(&list, SIGNAL(serverChangeSignal(int)), &controller, SLOT(serverChangeSlot(int)));
    QObject::connect(&list, SIGNAL(ptzCtrlClickSignal(int,int)), &controller, SLOT(ptzCtrlClickSlot(int,int)));

    // Shared; on line with a 1025 MB card and three bars; off line PTZ camera with cloud.
    QnCameraRecord records[3] = {device_test::Camera(11, "Cam@owner"), device_test::Camera(12, "Hall"),
                                 device_test::Camera(13, "Gate")};
    records[0].entry.shared = 1;
    device_test::Queried(records[1], 1025, 3);
    records[2].entry.cameraType = 2;
    records[2].storageLocation = 1;
    records[2].online = 0;
    device_test::PutText(records[2].entry.region, sizeof records[2].entry.region, "fr");
    list.setDevList(records, 3);
    for (const QnCameraRecord& record : records) list.updateDev(record.entry.cameraId, record, 1);
    emit list.setPtzVisibleSignal(true);
    window.show();
    ASSERT_TRUE(ProcessUntil([&] { return list.quickView()->isExposed(); }));
    QQuickItem* root = list.quickView()->rootObject();
    ASSERT_NE(root, nullptr);
    QQuickItem* view = root->findChild<QQuickItem*>("deviceView");
    ASSERT_NE(view, nullptr);

    // A double click on the second card's picture row plays it.
    ASSERT_TRUE(xdotool("mousemove 100 194 click --repeat 2 --delay 40 1"));
    ASSERT_TRUE(ProcessUntil([&] { return controller.count("itemDBClickSlot") == 1; }));
    EXPECT_EQ(controller.last("itemDBClickSlot"), (std::vector<int>{12, 1}));
    // The current card shows the variant's highlight once the spring settles.
    ddshow_test::Bgr24Image shot;
    EXPECT_TRUE(ProcessUntil([&] {
        shot = screenshot("device_list");
        return shot.width > 0 && pixel(shot, 185, 133 + 17) == QColor("#4eb5f7");
    }));

    // The right button's menu asks for the camera's information.
    ASSERT_TRUE(xdotool("mousemove 100 92 click 3"));
    QQuickItem* entry = nullptr;
    ASSERT_TRUE(ProcessUntil([&] {
        entry = FindVisibleItem(list.quickView(), "cameraInformation");
        return entry != nullptr;
    }));
    ASSERT_TRUE(nextFrame(list.quickView()));
    screenshot("device_list_menu");
    ASSERT_TRUE(clickItem(entry));
    ASSERT_TRUE(ProcessUntil([&] { return controller.count("itemSettingSlot") == 1; }));
    EXPECT_EQ(controller.last("itemSettingSlot"), std::vector<int>{11});

    // The third camera's region differs: its "!" asks for the server change.
    QQuickItem* third = FindVisibleItem(list.quickView(), "serverButton");
    ASSERT_TRUE(clickItem(third));
    ASSERT_TRUE(ProcessUntil([&] { return controller.count("serverChangeSlot") == 1; }));
    EXPECT_EQ(controller.last("serverChangeSlot"), std::vector<int>{13});

    // The PTZ pad opens from its title; "up" sends command 1 at speed 5.
    ASSERT_TRUE(xdotool("mousemove 60 620 click 1"));
    QQuickItem* up = root->findChild<QQuickItem*>("ptzUp");
    ASSERT_NE(up, nullptr);
    ASSERT_TRUE(ProcessUntil([&] { return up->isVisible(); }));
    ASSERT_TRUE(clickItem(up));
    ASSERT_TRUE(ProcessUntil([&] { return controller.count("ptzCtrlClickSlot") == 1; }));
    EXPECT_EQ(controller.last("ptzCtrlClickSlot"), (std::vector<int>{1, 5}));
    ASSERT_TRUE(clickItem(root->findChild<QQuickItem*>("ptzRight")));
    ASSERT_TRUE(ProcessUntil([&] { return controller.count("ptzCtrlClickSlot") == 2; }));
    EXPECT_EQ(controller.last("ptzCtrlClickSlot"), (std::vector<int>{4, 5}));
    screenshot("device_list_ptz");
}

} // namespace
