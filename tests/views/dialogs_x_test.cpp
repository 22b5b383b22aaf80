// The dialogs on a private X server: each one drawn (screenshots kept with
// OSTRELS_SCREENSHOT_DIR), and the sign-in form driven by real keys and clicks.
#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QProgressBar>
#include <QSignalSpy>
#include <QWindow>

#include "camera_records.h"
#include "device_card.h"
#include "info_dialogs.h"
#include "loading_widget.h"
#include "mp4_convert_widget.h"
#include "notice_dialogs.h"
#include "select_date_widget.h"
#include "setting_widget.h"
#include "user_info_widget.h"
#include "video_pwd_widget.h"
#include "x_panel_fixture.h"

namespace {

using qt_test::ProcessUntil;
using views_x_test::FindVisibleItem;

constexpr QSize kDialogSize(465, 285);
const QRect kScreen(0, 0, 1280, 800);

class DialogsOnX : public views_x_test::PanelsOnX {
protected:
    // Shows the dialog at `at`, waits until its document is drawn and keeps a screenshot.
    ddshow_test::Bgr24Image showAndShoot(QmlDialog& dialog, const QPoint& at, const std::string& name)
    {
        dialog.move(at);
        dialog.show();
        EXPECT_TRUE(ProcessUntil([&] { return dialog.quickView()->isExposed(); })) << name;
        EXPECT_TRUE(nextFrame(dialog.quickView())) << name;
        // The title strip's grey is on the screen once the window is drawn.
        ddshow_test::Bgr24Image shot;
        EXPECT_TRUE(ProcessUntil([&] {
            shot = screenshot(name);
            const QPoint probe = dialog.mapToGlobal(QPoint(dialog.width() / 2, 4));
            return shot.width > 0 && pixel(shot, probe.x(), probe.y()) == QColor("lightgray");
        })) << name;
        return shot;
    }

    // Waits until the widget's colour shows at `probe` (widget coordinates) and keeps a screenshot.
    void shootWidget(QWidget& widget, const QPoint& probe, const QColor& colour, const std::string& name)
    {
        ASSERT_TRUE(ProcessUntil([&] { return widget.windowHandle() && widget.windowHandle()->isExposed(); }));
        const QPoint at = widget.mapToGlobal(probe);
        EXPECT_TRUE(ProcessUntil([&] {
            const ddshow_test::Bgr24Image shot = screenshot(name);
            return shot.width > 0 && pixel(shot, at.x(), at.y()) == colour;
        })) << name;
    }
};

TEST_F(DialogsOnX, EachDialogDrawsItsFrameAndRows)
{
    AboutWidget about;
    about.initComponent(nullptr, kDialogSize);
    about.setInfo("3.2.1", "2026-12-11");
    const auto aboutShot = showAndShoot(about, QPoint(20, 20), "dialog_about");
    // The face under the title strip and the bottom strip.
    const QPoint face = about.mapToGlobal(QPoint(20, 50));
    EXPECT_EQ(pixel(aboutShot, face.x(), face.y()), QColor("#EAEAEA"));
    const QPoint bottom = about.mapToGlobal(QPoint(20, 285 - 10));
    EXPECT_EQ(pixel(aboutShot, bottom.x(), bottom.y()), QColor("lightgray"));
    about.close();

    IPCInfoWidget info;
    info.initComponent(nullptr, kDialogSize);
    const QnCameraRecord record = device_test::InformedCamera(7, "00000QN-V2-HY", "X_V3.8.10", "HomeNet");
    info.setDevInfo(record, 1);
    showAndShoot(info, QPoint(500, 20), "dialog_camera_information");
    info.close();

    ReLoginWidget relogin;
    relogin.initComponent(nullptr, kDialogSize);
    relogin.setMsg("Switching to the camera's server, please wait.");
    relogin.centerOn(kScreen);
    showAndShoot(relogin, relogin.pos(), "dialog_server_switch");
    relogin.hide();

    SettingWidget setting;
    setting.initComponent(nullptr, kDialogSize);
    setting.setInfo("Setting", "/home/user/Capture", "/home/user/Record", true);
    showAndShoot(setting, QPoint(20, 400), "dialog_settings");
    setting.close();

    VideoLimitWidget limit;
    limit.initComponent(nullptr, kDialogSize);
    limit.setMsg("Today's play time is used up.");
    showAndShoot(limit, QPoint(500, 400), "dialog_play_limit");
    limit.hide();

    VideoPwdWidget password;
    password.initComponent(nullptr, kDialogSize);
    password.setChkState(true);
    showAndShoot(password, QPoint(20, 20), "dialog_video_password");
    password.clear();
}

TEST_F(DialogsOnX, SignInByKeysAndClicks)
{
    UserInfoWidget dialog;
    dialog.initComponent(nullptr, kDialogSize);
    dialog.setInfo("", "", false, false);
    dialog.centerOn(kScreen);
    showAndShoot(dialog, dialog.pos(), "dialog_sign_in_empty");
    QSignalSpy login(&dialog, SIGNAL(loginSignal(QString, QString, bool)));
    QQuickView* view = dialog.quickView();

    // "Login" with an empty account: the form answers.
    ASSERT_TRUE(clickItem(FindVisibleItem(view, "loginButton")));
    ASSERT_TRUE(ProcessUntil([&] { return dialog.result() == "Please input account."; }));

    ASSERT_TRUE(clickItem(FindVisibleItem(view, "accountField")));
    ASSERT_TRUE(xdotool("type --delay 20 user@example.org"));
    ASSERT_TRUE(ProcessUntil(
        [&] { return FindVisibleItem(view, "accountField")->property("text").toString() == "user@example.org"; }));
    EXPECT_TRUE(dialog.result().isEmpty());
    QQuickItem* passwordField = FindVisibleItem(view, "passwordField");
    ASSERT_TRUE(clickItem(passwordField));
    ASSERT_TRUE(ProcessUntil([&] { return passwordField->hasActiveFocus(); }));
    ASSERT_TRUE(xdotool("type --delay 20 secret7"));
    ASSERT_TRUE(ProcessUntil([&] { return passwordField->property("text").toString() == "secret7"; }));
    QQuickItem* remember = FindVisibleItem(view, "rememberBox");
    ASSERT_TRUE(clickItem(remember));
    ASSERT_TRUE(ProcessUntil([&] { return remember->property("checked").toBool(); }));
    ASSERT_TRUE(nextFrame(view));
    screenshot("dialog_sign_in_filled");
    ASSERT_TRUE(xdotool("key Return"));
    ASSERT_TRUE(ProcessUntil([&] { return login.count() == 1; }));
    EXPECT_EQ(login.at(0).at(0).toString(), "user@example.org");
    EXPECT_EQ(login.at(0).at(1).toString(), "secret7");
    EXPECT_TRUE(login.at(0).at(2).toBool());

    dialog.setLoginState(true);
    ASSERT_TRUE(nextFrame(view));
    screenshot("dialog_sign_in_running");

    // Closed with its "X", then shown again: the document keeps its state.
    QSignalSpy cancel(&dialog, SIGNAL(cancelSignal()));
    ASSERT_TRUE(clickItem(FindVisibleItem(view, "closeButton")));
    ASSERT_TRUE(ProcessUntil([&] { return cancel.count() == 1; }));
    dialog.close();
    ASSERT_TRUE(ProcessUntil([&] { return !dialog.isVisible(); }));
    dialog.show();
    ASSERT_TRUE(ProcessUntil([&] { return view->isExposed(); }));
    EXPECT_EQ(FindVisibleItem(view, "accountField")->property("text").toString(), "user@example.org");
    EXPECT_TRUE(FindVisibleItem(view, "loggingIn") != nullptr);
}

TEST_F(DialogsOnX, WaitingBoxAndWidgetFormsDraw)
{
    WaittingWidget wait;
    wait.initComponent(nullptr, QSize(WaittingWidget::kWidth, WaittingWidget::kHeight));
    wait.showWait(640, 400, 60000);
    ASSERT_TRUE(ProcessUntil([&] { return wait.quickView()->isExposed(); }));
    ddshow_test::Bgr24Image shot;
    ASSERT_TRUE(ProcessUntil([&] {
        shot = screenshot("dialog_waiting");
        return shot.width > 0 && pixel(shot, 640 + 45, 400 + 22) == QColor("#100D15");
    }));
    wait.delaySlot();

    LoadingWidget loading;
    loading.centerIn(1280, 800);
    loading.show();
    loading.setStep(40);
    loading.startProgress();
    ASSERT_TRUE(ProcessUntil([&] { return loading.progressBar()->value() == 40; }));
    shootWidget(loading, QPoint(330, 200), loading.palette().color(QPalette::Window), "form_loading");
    loading.stopProgress();
    loading.close();

    MP4ConvertWidget convert;
    convert.init(1280, 800);
    convert.setOutput("/home/user/Record", streams::PackTfSpan({2024, 2, 29, 0, 0, 0, 0, 0, 0}));
    convert.show();
    shootWidget(convert, QPoint(2, 2), convert.palette().color(QPalette::Window), "form_mp4_convert");
    convert.close();

    SelectDateWidget picker;
    picker.setLanguage(true);
    picker.calendar()->setSelectedDate(QDate(2026, 12, 10));
    picker.move(300, 200);
    picker.show();
    shootWidget(picker, QPoint(2, 2), QColor(220, 220, 220), "form_select_date");
}

} // namespace
