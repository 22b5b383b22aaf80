// The hosting pattern on the offscreen platform: load, publish, relay, reload.
#include <gtest/gtest.h>

#include <QQuickItem>
#include <QSignalSpy>
#include <QWidget>

#include "qml_host.h"
#include "support/qt_test_env.h"
#include "title_bar.h"

namespace {

using qt_test::StandInController;

// The controller side of the title bar, wired by signature as the main window does it.
void ConnectLikeTheController(TitleBar& bar, StandInController& controller)
{
    QObject::connect(&bar, SIGNAL(quitSignal()), &controller, SLOT(exitAppSlot()));
    QObject::connect(&bar, SIGNAL(maxSizeSignal(bool)), &controller, SLOT(maxSizeWinSlot(bool)));
    QObject::connect(&bar, SIGNAL(minSizeSignal()), &controller, SLOT(minSizeWinSlot()));
    QObject::connect(&bar, SIGNAL(userSignal()), &controller, SLOT(userSlot()));
    QObject::connect(&bar, SIGNAL(openMenuSignal()), &controller, SLOT(openMenuSlot()));
    QObject::connect(&bar, SIGNAL(dragSignal(int,int)), &controller, SLOT(dragSlot(int,int)));
}

TEST(QmlHost, SecondInitialisationReusesViewAndContainerAndReloads)
{
    QWidget window;
    TitleBar bar;
    bar.initComponent(&window, QRect(0, 0, 800, 60));
    QQuickView* view = bar.quickView();
    QWidget* container = bar.container();
    ASSERT_NE(view, nullptr);
    ASSERT_NE(container, nullptr);
    QQuickItem* firstRoot = view->rootObject();
    ASSERT_NE(firstRoot, nullptr);
    EXPECT_EQ(firstRoot->width(), 800);

    bar.initComponent(&window, QRect(0, 0, 640, 50));
    EXPECT_EQ(bar.quickView(), view);
    EXPECT_EQ(bar.container(), container);
    EXPECT_EQ(bar.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
    ASSERT_NE(view->rootObject(), nullptr);
    EXPECT_EQ(view->rootObject()->width(), 640);
    EXPECT_EQ(bar.getComponentSize(), QSize(640, 50));
    EXPECT_EQ(container->minimumSize(), QSize(640, 50));
    EXPECT_EQ(container->maximumSize(), QSize(640, 50));
}

TEST(QmlHost, MissingDocumentIsReportedAndLeavesNoRoot)
{
    QWidget owner;
    views::QmlHost host(&owner, views::HostKind::Dialog);
    EXPECT_FALSE(host.load(views::PanelUrl("NoSuchPanel.qml"), {}));
    EXPECT_EQ(host.root(), nullptr);
    StandInController controller;
    EXPECT_FALSE(host.connectRoot(SIGNAL(closeSignal()), &controller, SLOT(exitAppSlot())));
    host.embed(QRect(0, 0, 300, 200));
    EXPECT_EQ(owner.size(), QSize(300, 200));
}

TEST(QmlHost, DialogDocumentTakesTheViewSize)
{
    QWidget owner;
    views::QmlHost host(&owner, views::HostKind::Dialog);
    ASSERT_TRUE(host.load(views::PanelUrl("HideButton.qml"), {}));
    host.embed(QRect(0, 0, 240, 90));
    owner.show();
    ASSERT_TRUE(qt_test::ProcessUntil([&] { return host.root()->width() == 240; }));
    EXPECT_EQ(host.root()->height(), 90);
}

TEST(TitleBar, DocumentSignalsReachTheControllerThroughTheRelays)
{
    QWidget window;
    TitleBar bar;
    bar.initComponent(&window, QRect(0, 0, 800, 60));
    StandInController controller;
    ConnectLikeTheController(bar, controller);
    QQuickItem* root = bar.quickView()->rootObject();
    ASSERT_NE(root, nullptr);

    ASSERT_TRUE(QMetaObject::invokeMethod(root, "closeSignal"));
    ASSERT_TRUE(QMetaObject::invokeMethod(root, "maxSizeSignal", Q_ARG(bool, true)));
    ASSERT_TRUE(QMetaObject::invokeMethod(root, "minSizeSignal"));
    ASSERT_TRUE(QMetaObject::invokeMethod(root, "userSignal", Q_ARG(bool, false)));
    ASSERT_TRUE(QMetaObject::invokeMethod(root, "menuSignal"));
    ASSERT_TRUE(QMetaObject::invokeMethod(root, "dragSignal", Q_ARG(int, 7), Q_ARG(int, -3)));

    std::vector<QString> order;
    for (const auto& call : controller.calls) order.push_back(call.slot);
    EXPECT_EQ(order, (std::vector<QString>{"exitAppSlot", "maxSizeWinSlot", "minSizeWinSlot", "userSlot",
                                           "openMenuSlot", "dragSlot"}));
    EXPECT_EQ(controller.last("maxSizeWinSlot"), std::vector<int>{1});
    EXPECT_EQ(controller.last("dragSlot"), (std::vector<int>{7, -3}));
}

TEST(TitleBar, HostRequestsReachTheDocument)
{
    QWidget window;
    TitleBar bar;
    bar.initComponent(&window, QRect(0, 0, 800, 60));
    QQuickItem* root = bar.quickView()->rootObject();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->property("m_strUser").toString(), "Login here");

    bar.setUser(true, QString::fromUtf8("月 user"));
    EXPECT_TRUE(root->property("m_bLogin").toBool());
    EXPECT_EQ(root->property("m_strUser").toString(), QString::fromUtf8("月 user"));

    bar.setAppFocus(false);
    EXPECT_FALSE(root->property("m_bAppFocus").toBool());

    // The brand variant the program applies.
    EXPECT_EQ(root->property("color0").value<QColor>(), QColor("#4eb5f7"));
    EXPECT_EQ(root->property("color1").value<QColor>(), QColor("#2398e9"));

    bar.setComponentSize(QRect(0, 0, 900, 60));
    EXPECT_EQ(root->width(), 900);
    EXPECT_EQ(bar.container()->maximumSize(), QSize(900, 60));
}

} // namespace
