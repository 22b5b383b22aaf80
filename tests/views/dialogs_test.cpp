// The QML dialogs on the offscreen platform: what the controller sets reaches
// the documents, the documents' rules, and what comes back to the controller.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QDir>
#include <QQuickItem>
#include <QSignalSpy>

#include "camera_records.h"
#include "device_card.h"
#include "info_dialogs.h"
#include "notice_dialogs.h"
#include "setting_widget.h"
#include "support/qt_test_env.h"
#include "support/temp_folder.h"
#include "user_info_widget.h"
#include "video_pwd_widget.h"

namespace {

using qt_test::ProcessUntil;

constexpr QSize kDialogSize(465, 285);

QQuickItem* Root(QmlDialog& dialog) { return dialog.quickView() ? dialog.quickView()->rootObject() : nullptr; }

// An item of the document by object name, through the visual tree.
QQuickItem* Find(QQuickItem* from, const QString& name)
{
    if (!from) return nullptr;
    if (from->objectName() == name) return from;
    for (QQuickItem* child : from->childItems())
        if (QQuickItem* found = Find(child, name)) return found;
    return nullptr;
}

QString TextOf(QmlDialog& dialog, const QString& name)
{
    QQuickItem* item = Find(Root(dialog), name);
    return item ? item->property("text").toString() : QStringLiteral("<missing %1>").arg(name);
}

TEST(QmlDialogs, SettersNotifyOnlyOnChange)
{
    UserInfoWidget dialog;
    QSignalSpy result(&dialog, SIGNAL(sig_result_changed()));
    QSignalSpy state(&dialog, SIGNAL(sig_loginstate_changed()));
    dialog.setResult("refused");
    dialog.setResult("refused");
    dialog.setLoginState(false);
    dialog.setLoginState(true);
    dialog.setLoginState(true);
    EXPECT_EQ(result.count(), 1);
    EXPECT_EQ(state.count(), 1);

    AboutWidget about;
    QSignalSpy version(&about, SIGNAL(sig_ver_changed()));
    QSignalSpy title(&about, SIGNAL(sig_title_changed()));
    about.setInfo("2.1.0", "20261211");
    about.setInfo("2.1.0", "20261211");
    EXPECT_EQ(version.count(), 1);
    EXPECT_EQ(title.count(), 1);
}

TEST(QmlDialogs, AboutShowsTheVersionAndKeepsItsDefaults)
{
    AboutWidget about;
    EXPECT_EQ(about.version(), "1.0.0");
    EXPECT_EQ(about.build(), "Build:11/02/2016");
    about.initComponent(nullptr, kDialogSize);
    ASSERT_NE(Root(about), nullptr);
    EXPECT_EQ(TextOf(about, "version"), "1.0.0");
    about.setInfo("3.2.1", "2026-12-11");
    EXPECT_EQ(about.title(), "About");
    EXPECT_EQ(TextOf(about, "version"), "3.2.1");
    EXPECT_EQ(TextOf(about, "build"), "Build:2026-12-11");
    EXPECT_FALSE(Find(Root(about), "build")->isVisible());
    // The empty link opens nothing.
    about.linkSlot();
    EXPECT_TRUE(about.linkAddress().isEmpty());
}

TEST(QmlDialogs, SecondInitialisationReusesTheViewAndTheDocumentFollowsTheSize)
{
    VideoLimitWidget tip;
    tip.initComponent(nullptr, kDialogSize);
    QQuickView* view = tip.quickView();
    ASSERT_NE(Root(tip), nullptr);
    tip.setMsg("The daily limit is reached.");
    tip.initComponent(nullptr, QSize(400, 200));
    EXPECT_EQ(tip.quickView(), view);
    EXPECT_EQ(tip.size(), QSize(400, 200));
    EXPECT_EQ(tip.getComponentSize(), QSize(400, 200));
    EXPECT_EQ(TextOf(tip, "message"), "The daily limit is reached.");
    EXPECT_EQ(tip.title(), "Video Play Limit");
}

struct card_case {
    const char* name;
    const char* model;
    std::vector<int32_t> tf; // the seven card values
    bool valid;
    int language;
    const char* text;
};

TEST(IPCInfo, CardTextFollowsTheCardValues)
{
    const card_case cases[] = {
        {"no card values", "QN-V2-HY", {1, 0, 30000, 12000, 0, 0, 0}, false, 1, "NULL"},
        {"total 0", "QN-V2-HY", {1, 0, 0, 0, 0, 0, 0}, true, 1, "NULL"},
        {"size and free", "QN-V2-HY", {1, 0, 30000, 12000, 0, 500, 50}, true, 1, "12000/30000 (MB)"},
        {"size not valid", "QN-V2-HY", {1, 1, 30000, 12000, 1, 0, 0}, true, 1, "NULL"},
        {"other maker adds the second partition",
         "AB-X1",
         {1, 0, 30000, 12000, 0, 2000, 1500},
         true,
         1,
         "13500/32000 (MB)"},
        {"other maker without a second partition",
         "AB-X1",
         {1, 0, 30000, 12000, 1, 2000, 1500},
         true,
         1,
         "12000/30000 (MB)"},
        {"Chinese with a card", "QN-V2-HY", {1, 0, 30000, 12000, 0, 0, 0}, true, 0, "系统分区运行正常"},
        {"Chinese without a card state", "QN-V2-HY", {0, 0, 30000, 12000, 0, 0, 0}, true, 0, "12000/30000 (MB)"},
    };
    for (const card_case& row : cases) {
        SCOPED_TRACE(row.name);
        QnCameraRecord record = device_test::Camera(7, "Hall", row.model);
        record.tfInfoValid = row.valid;
        std::copy(row.tf.begin(), row.tf.end(), record.tfInfo);
        EXPECT_EQ(device_card::CardCapacityText(record, row.language).toStdString(), row.text);
    }
}

TEST(IPCInfo, RowsComeFromTheCameraRecord)
{
    IPCInfoWidget info;
    info.initComponent(nullptr, kDialogSize);
    const QnCameraRecord record = device_test::InformedCamera(7, "00000QN-V2-HY", "X_V3.8.10", "B\u00fcro 5G");
    info.setDevInfo(record, 1);
    EXPECT_EQ(info.title(), "Camera Information");
    auto value = [&](const char* row) { return Find(Find(Root(info), row), "value")->property("text").toString(); };
    EXPECT_EQ(value("typeRow"), "QN-V2-HY");
    EXPECT_EQ(value("macRow"), "dev7");
    EXPECT_EQ(value("softwareRow"), "X_V3.8.10");
    EXPECT_EQ(value("wifiRow"), QString::fromUtf8("B\u00fcro 5G"));
    EXPECT_EQ(value("cardRow"), "1200/30000 (MB)");

    // Another camera whose information was not read shows none of the first one's.
    QnCameraRecord second = device_test::Camera(8, "Gate", "QN");
    info.setDevInfo(second, 1);
    EXPECT_EQ(value("typeRow"), "");
    EXPECT_EQ(value("softwareRow"), "");
    EXPECT_EQ(value("wifiRow"), "");
    EXPECT_EQ(value("cardRow"), "NULL");
}

// Runs a document function by name.
QVariant Call(QmlDialog& dialog, const char* function)
{
    QVariant result;
    EXPECT_TRUE(QMetaObject::invokeMethod(Root(dialog), function, Q_RETURN_ARG(QVariant, result)));
    return result;
}

void SetField(QmlDialog& dialog, const char* field, const QString& text)
{
    QQuickItem* item = Find(Root(dialog), field);
    ASSERT_NE(item, nullptr) << field;
    item->setProperty("text", text);
}

TEST(UserInfo, TheFormChecksAccountAndPasswordBeforeSigningIn)
{
    UserInfoWidget dialog;
    dialog.initComponent(nullptr, kDialogSize);
    ASSERT_NE(Root(dialog), nullptr);
    dialog.setInfo("saved@example.org", "secret-1", false, false);
    EXPECT_EQ(dialog.title(), "Please Login");
    EXPECT_EQ(dialog.pwd(), ""); // not remembered, not shown
    EXPECT_EQ(Find(Root(dialog), "accountField")->property("text").toString(), "saved@example.org");
    QSignalSpy login(&dialog, SIGNAL(loginSignal(QString, QString, bool)));

    const struct {
        const char* account;
        const char* password;
        const char* result; // nullptr: signs in
    } rows[] = {
        {"", "secret-1", "Please input account."},
        {"user@example.org", "12345", "Password less than six characters."},
        {"user@example.org", "123456", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.password);
        SetField(dialog, "accountField", row.account);
        SetField(dialog, "passwordField", row.password);
        Call(dialog, "login");
        EXPECT_EQ(dialog.result(), row.result ? QString(row.result) : QString());
        EXPECT_EQ(login.count(), row.result ? 0 : 1);
    }
    ASSERT_EQ(login.count(), 1);
    EXPECT_EQ(login.at(0).at(0).toString(), "user@example.org");
    EXPECT_EQ(login.at(0).at(1).toString(), "123456");
    EXPECT_EQ(login.at(0).at(2).toBool(), false);

    // A shown result goes when the account text changes.
    dialog.setResult("Sign-in failed");
    EXPECT_EQ(TextOf(dialog, "result"), "Sign-in failed");
    SetField(dialog, "accountField", "user@example.or");
    EXPECT_EQ(dialog.result(), "");

    // Signed in: "Logout", fields locked, the remembered password shown.
    dialog.setInfo("user@example.org", "123456", true, true);
    EXPECT_EQ(dialog.title(), "User Information");
    EXPECT_EQ(Find(Root(dialog), "loginButton")->property("btnText").toString(), "Logout");
    EXPECT_FALSE(Find(Root(dialog), "accountField")->isEnabled());
    EXPECT_EQ(Find(Root(dialog), "passwordField")->property("text").toString(), "123456");
    QSignalSpy logout(&dialog, SIGNAL(logoutSignal()));
    ASSERT_TRUE(QMetaObject::invokeMethod(Find(Root(dialog), "loginButton"), "imgBtnClick"));
    EXPECT_EQ(logout.count(), 1);
}

TEST(UserInfo, LoggingInHidesTheButtonAndCountsDots)
{
    UserInfoWidget dialog;
    dialog.initComponent(nullptr, kDialogSize);
    dialog.setLoginState(true);
    QQuickItem* working = Find(Root(dialog), "loggingIn");
    ASSERT_NE(working, nullptr);
    EXPECT_FALSE(Find(Root(dialog), "loginButton")->isVisible());
    EXPECT_TRUE(working->isVisible());
    EXPECT_TRUE(ProcessUntil([&] { return working->property("text").toString() == "Logging in.."; }));
    EXPECT_TRUE(ProcessUntil([&] { return working->property("text").toString() == "Logging in"; }));
}

TEST(VideoPwd, AnEmptyKeyIsRefusedAndClearForgetsEverything)
{
    VideoPwdWidget dialog;
    dialog.initComponent(nullptr, kDialogSize);
    EXPECT_EQ(TextOf(dialog, "prompt"), "Please enter the customized encryption key:");
    QSignalSpy submitted(&dialog, SIGNAL(submitSignal(QString)));
    Call(dialog, "submit");
    EXPECT_EQ(dialog.result(), "Password can not be null");
    EXPECT_EQ(submitted.count(), 0);
    SetField(dialog, "passwordField", "key-2026");
    EXPECT_EQ(dialog.result(), "");
    Call(dialog, "submit");
    ASSERT_EQ(submitted.count(), 1);
    EXPECT_EQ(submitted.at(0).at(0).toString(), "key-2026");

    dialog.setCameraId(44);
    dialog.setChkState(true);
    EXPECT_FALSE(Find(Root(dialog), "submitButton")->isVisible());
    dialog.setResult("Wrong key");
    dialog.show();
    dialog.clear();
    EXPECT_FALSE(dialog.isShown());
    EXPECT_EQ(dialog.cameraId(), 0);
    EXPECT_EQ(dialog.getPwd(), "");
    EXPECT_EQ(dialog.result(), "");
    EXPECT_FALSE(dialog.chkState());
    EXPECT_EQ(Find(Root(dialog), "passwordField")->property("text").toString(), "");
}

TEST(NoticeDialogs, ThePlacingDialogsCentreOnTheScreenAndRelayCancel)
{
    const QRect screen(0, 0, 1280, 800);
    ReLoginWidget relogin;
    relogin.initComponent(nullptr, kDialogSize);
    relogin.centerOn(screen);
    EXPECT_EQ(relogin.pos(), QPoint((1280 - 465) / 2, (800 - 285) / 2));
    EXPECT_TRUE(relogin.isModal());
    EXPECT_TRUE(relogin.windowFlags() & Qt::FramelessWindowHint);
    relogin.setMsg("Switching to the camera's server");
    EXPECT_EQ(TextOf(relogin, "message"), "Switching to the camera's server");
    QSignalSpy cancel(&relogin, SIGNAL(cancelSignal()));
    ASSERT_TRUE(QMetaObject::invokeMethod(Root(relogin), "cancelSignal"));
    EXPECT_EQ(cancel.count(), 1);
    EXPECT_FALSE(Find(Root(relogin), "closeButton")->isVisible());
}

TEST(NoticeDialogs, WaitingBoxCentresOnThePointAndHidesWhenItsTimeIsUp)
{
    WaittingWidget wait;
    wait.initComponent(nullptr, QSize(WaittingWidget::kWidth, WaittingWidget::kHeight));
    EXPECT_EQ(wait.wait(), "Loading.");
    EXPECT_EQ(TextOf(wait, "waitText"), "Loading.");
    wait.showWait(400, 300, 50);
    EXPECT_EQ(wait.geometry(), QRect(350, 275, 100, 50));
    EXPECT_TRUE(wait.isShown());
    EXPECT_TRUE(ProcessUntil([&] { return !wait.isShown(); }));
    EXPECT_FALSE(wait.timerActive());

    wait.setVisible(true, 200, 100);
    EXPECT_EQ(wait.geometry(), QRect(150, 75, 100, 50));
    // Shown already: a second request moves nothing.
    wait.setVisible(true, 600, 600);
    EXPECT_EQ(wait.geometry(), QRect(150, 75, 100, 50));
    wait.setVisible(false, 0, 0);
    EXPECT_FALSE(wait.isVisible());
}

// The settings dialog with its warnings kept instead of shown.
class QuietSettings : public SettingWidget {
public:
    QStringList warnings;
    QString picked;

protected:
    void warn(const QString& text) override { warnings << text; }
    QString chooseFolder(const QString&) override { return picked; }
};

TEST(Settings, FoldersAreCheckedBeforeTheyAreTaken)
{
    testing_support::TempFolder temp;
    const QString base = QString::fromStdString(temp.Path());
    const struct {
        const char* name;
        QString capture;
        QString record;
        QString warning; // empty: accepted
    } rows[] = {
        {"relative", "Capture", base + "/r", "Directory invalid.\n'Capture'\t\t\n"},
        {"drive letter", "D:/Capture", base + "/r", "Directory invalid.\n'D:/Capture'\t\t\n"},
        {"vertical bar", base + "/a|b", base + "/r",
         "A filename cannot contain any of the following characters:\n\\/:*?\"<>|\n"},
        {"too long to read back", base + "/" + QString(200, 'x'), base + "/r", "Directory invalid.\n'"},
        {"bad record folder", base + "/c", "rel", "Directory invalid.\n'rel'\t\t\n"},
        {"both made", base + "/c/deep", base + "/r/deep", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QuietSettings dialog;
        dialog.initComponent(nullptr, kDialogSize);
        SetField(dialog, "captureField", row.capture);
        SetField(dialog, "recordField", row.record);
        ASSERT_TRUE(QMetaObject::invokeMethod(Find(Root(dialog), "settingButton"), "imgBtnClick"));
        EXPECT_EQ(dialog.getCapture(), row.capture);
        EXPECT_EQ(dialog.getRecord(), row.record);
        if (row.warning.isEmpty()) {
            EXPECT_TRUE(dialog.warnings.isEmpty()) << dialog.warnings.join("|").toStdString();
            EXPECT_TRUE(dialog.isAccepted());
            EXPECT_TRUE(QDir(row.capture).exists());
            EXPECT_TRUE(QDir(row.record).exists());
            EXPECT_FALSE(QFile::exists(row.capture + "/test.txt"));
        } else {
            ASSERT_EQ(dialog.warnings.size(), 1);
            EXPECT_TRUE(dialog.warnings[0].startsWith(row.warning)) << dialog.warnings[0].toStdString();
            EXPECT_FALSE(dialog.isAccepted());
        }
    }
    EXPECT_FALSE(QDir(base + "/a|b").exists());
}

TEST(Settings, UnwritableFoldersAreRefused)
{
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes into any folder";
    testing_support::TempFolder temp;
    const QString locked = QString::fromStdString(temp.Path()) + "/locked";
    ASSERT_TRUE(QDir().mkpath(locked));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    QuietSettings dialog;
    dialog.initComponent(nullptr, kDialogSize);
    dialog.setInfo("Setting", locked, locked, true);
    dialog.submitSlot();
    ASSERT_EQ(dialog.warnings.size(), 1);
    EXPECT_EQ(dialog.warnings[0], "Capture path does not have write permission.");
    dialog.picked = locked;
    dialog.viewRcdSlot();
    EXPECT_EQ(dialog.warnings.last(), "We have no read and write access!");
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(Settings, PickedFoldersAndCancelReachTheController)
{
    testing_support::TempFolder temp;
    QuietSettings dialog;
    dialog.initComponent(nullptr, kDialogSize);
    dialog.setInfo("Setting", "/old/capture", "/old/record", false);
    EXPECT_FALSE(dialog.bmp());
    EXPECT_EQ(Find(Root(dialog), "captureField")->property("text").toString(), "/old/capture");
    dialog.picked = QString::fromStdString(temp.Path());
    ASSERT_TRUE(QMetaObject::invokeMethod(Find(Root(dialog), "captureView"), "imgBtnClick"));
    EXPECT_EQ(dialog.getCapture(), dialog.picked);
    EXPECT_EQ(Find(Root(dialog), "captureField")->property("text").toString(), dialog.picked);
    dialog.picked.clear(); // the picker was cancelled
    dialog.viewRcdSlot();
    EXPECT_EQ(dialog.getRecord(), "/old/record");
    dialog.show();
    dialog.cancelSlot();
    EXPECT_FALSE(dialog.isAccepted());
    EXPECT_FALSE(dialog.isVisible());
}

} // namespace
