// The device list: card texts, the model and the host (offscreen platform).
#include <gtest/gtest.h>

#include <fstream>

#include <QQuickItem>
#include <QSignalSpy>

#include "Depend/qn_folders.h"
#include "ListBarView.h"
#include "camera_records.h"
#include "device_card.h"
#include "device_file_name.h"
#include "support/qt_test_env.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"

namespace {

using device_test::Camera;
using device_test::Queried;

TEST(DeviceCard, MakerTest)
{
    const std::pair<const char*, bool> cases[] = {
        {"QNV200", true},  {"qnv200", true},    {"QN12", false},     {"ABC2xx", true}, {"ABC3xxx", false},
        {"00000QNV2", true}, {"01111abx2yy", true}, {"00000ABC3", false}, {"", false}, {"QNxyz", false}};
    for (const auto& [version, passes] : cases) {
        char field[64] = {};
        std::strncpy(field, version, sizeof field);
        EXPECT_EQ(device_card::PassesMakerTest(field, sizeof field), passes) << version;
    }
    char full[8];
    std::memcpy(full, "QNABCDEF", 8); // no terminator within the field
    EXPECT_TRUE(device_card::PassesMakerTest(full, sizeof full));
}

TEST(DeviceCard, InformationTexts)
{
    EXPECT_EQ(device_card::SizeText(1024), "1024MB");
    EXPECT_EQ(device_card::SizeText(1025), "1.0GB");

    QnCameraRecord shared = Camera(1, "Cam@owner");
    shared.entry.shared = 1;
    EXPECT_EQ(device_card::InfoText(shared, 1), "Share by:\nowner");
    EXPECT_EQ(device_card::DisplayName(shared.entry), "Cam");
    EXPECT_EQ(device_card::InfoText(Camera(2, "Own"), 1), "Obtaining...");

    QnCameraRecord card = Camera(3, "Own");
    Queried(card, 1025, 3);
    EXPECT_EQ(device_card::InfoText(card, 1), "IP:192.168.1.3\nCapacity:1.0GB");
    EXPECT_EQ(device_card::InfoText(card, 2), "IP:192.168.1.3\nCapacity:1.0GB");
    EXPECT_EQ(device_card::InfoText(card, 0), QString::fromUtf8("IP:192.168.1.3\n系统分区运行正常"));
    card.tfInfo[kTfSizeMb] = 0; // a card of size 0
    EXPECT_EQ(device_card::InfoText(card, 0), QString::fromUtf8("IP:192.168.1.3\n未检测到存储卡"));
    EXPECT_EQ(device_card::InfoText(card, 1), "IP:192.168.1.3\nNo memory card detected");
    EXPECT_EQ(device_card::InfoText(card, 2), "IP:192.168.1.3\nCapacity:0MB");
    card.tfInfo[kTfCardState] = 0;
    EXPECT_EQ(device_card::InfoText(card, 2), "IP:192.168.1.3\nCapacity:NULL");

    // The second partition counts only for other makers' firmware.
    QnCameraRecord other = Camera(4, "Other", "ABC3xyz");
    Queried(other, 512, 1);
    other.tfInfo[kTfSecondSizeMb] = 600;
    EXPECT_EQ(device_card::InfoText(other, 2), "IP:192.168.1.4\nCapacity:1.1GB");
    QnCameraRecord own = Camera(5, "Own", "QNV200");
    Queried(own, 512, 1);
    own.tfInfo[kTfSecondSizeMb] = 600;
    EXPECT_EQ(device_card::InfoText(own, 2), "IP:192.168.1.5\nCapacity:512MB");
}

TEST(DeviceCard, NamesFromTheServer)
{
    QnCameraRecord atFirst = Camera(1, "@owner");
    atFirst.entry.shared = 1;
    EXPECT_EQ(device_card::DisplayName(atFirst.entry), "");
    EXPECT_EQ(device_card::Sharer(atFirst.entry), "owner");
    QnCameraRecord full = Camera(2, std::string(40, 'n')); // fills the field, no terminator
    EXPECT_EQ(device_card::DisplayName(full.entry), QString(32, 'n'));

    const std::pair<const char*, const char*> files[] = {
        {"cam01", "cam01"}, {"../../etc/x", ".._.._etc_x"}, {"a\\b", "a_b"}, {"a\nb", "a_b"},
        {"..", ""},         {".", ""},                      {"", ""},       {"my cam.v2", "my cam.v2"}};
    for (const auto& [text, name] : files) EXPECT_EQ(DeviceFileName(text), name) << text;
}

TEST(DataModel, RolesAndBounds)
{
    DataModel model;
    const QHash<int, QByteArray> names = model.roleNames();
    EXPECT_EQ(names.value(258), "CameraID");
    EXPECT_EQ(names.value(271), "CLOUD_STATE");
    EXPECT_EQ(names.size(), 14);
    DevItem item;
    item.CameraID = 77;
    item.DevName = "first";
    model.append(item);
    EXPECT_EQ(model.roleValue(0, "ImagePage").toString(), "../barIcon/CAM_OFFLINE.png");
    EXPECT_EQ(model.roleValue(0, "DevState").toInt(), 255);

    QSignalSpy changed(&model, &DataModel::dataChanged);
    EXPECT_TRUE(model.setRoleValue(0, "WifiDB", 4));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FALSE(model.setRoleValue(0, "DevName", "renamed")); // not writable
    EXPECT_FALSE(model.setRoleValue(0, "CameraID", 5));
    EXPECT_FALSE(model.setRoleValue(1, "WifiDB", 4)); // no such row
    EXPECT_FALSE(model.setRoleValue(-1, "WifiDB", 4));
    EXPECT_FALSE(model.setRoleValue(0, "NoSuchRole", 4));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FALSE(model.roleValue(3, "WifiDB").isValid());
    EXPECT_FALSE(model.roleValue(0, "NoSuchRole").isValid());
    EXPECT_EQ(model.findCamera(77), 0);
    EXPECT_EQ(model.findCamera(78), -1);
}

// The list host with a data folder of its own (start-up runs once per process).
class ListBar : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static testing_support::TempFolder home;
        static testing_support::ScopedEnv appData("APPDATA", home.Path().c_str());
        ASSERT_EQ(QNDefineInit(), 1);
        images_ = home.Path() + "/OstrelS/images/";
    }
    void SetUp() override { bar_.init(&window_, QRect(0, 0, 200, 640), nullptr); }

    static inline std::string images_;
    QWidget window_;
    ListBarView bar_;
};

TEST_F(ListBar, FillUpdateAndStateChanges)
{
    std::ofstream(images_ + "dev2.jpg") << "jpeg";
    QnCameraRecord records[3] = {Camera(1, "Cam@owner"), Camera(2, "Own"), Camera(3, "Ptz")};
    records[0].entry.shared = 1;
    records[2].entry.cameraType = 2;
    records[2].storageLocation = 3;
    device_test::PutText(records[2].entry.region, sizeof records[2].entry.region, "fr");
    QSignalSpy update(&bar_, &ListBarView::updateSignal);
    bar_.setDevList(records, 3);
    ASSERT_EQ(update.count(), 1);
    EXPECT_TRUE(update.at(0).at(0).toBool());

    DataModel& model = bar_.groupModel();
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.roleValue(0, "DevName").toString(), "Cam");
    EXPECT_EQ(model.roleValue(1, "ChannelID").toInt(), 1);
    EXPECT_EQ(model.roleValue(1, "ImagePage").toString(),
              QUrl::fromLocalFile(QString::fromStdString(images_ + "dev2.jpg")).toString());
    EXPECT_EQ(model.roleValue(0, "ImagePage").toString(),
              QUrl::fromLocalFile(QString::fromStdString(images_ + "ADefault_0")).toString());
    EXPECT_EQ(model.roleValue(2, "CLOUD_STATE").toInt(), 1);
    EXPECT_TRUE(model.roleValue(2, "SERVER_CHANGE").toBool());
    EXPECT_FALSE(model.roleValue(1, "SERVER_CHANGE").toBool());
    EXPECT_EQ(model.roleValue(2, "DevType").toString(), QString(QChar(2)));
    EXPECT_EQ(model.roleValue(2, "ItemHeight").toInt(), 95);

    Queried(records[2], 1025, 3);
    bar_.updateDev(3, records[2], 1);
    EXPECT_EQ(model.roleValue(2, "NORMAL_INFO").toString(), "IP:192.168.1.3\nCapacity:1.0GB");
    EXPECT_EQ(model.roleValue(2, "WifiDB").toInt(), 3);
    EXPECT_EQ(model.roleValue(2, "CLOUD_STATE").toInt(), 1); // cloud and card still shows the cloud
    EXPECT_EQ(model.roleValue(2, "ImagePage").toString(),
              QUrl::fromLocalFile(QString::fromStdString(images_ + "ADefault_1")).toString());

    QSignalSpy changed(&model, &DataModel::dataChanged);
    bar_.updateDev(99, records[2], 1); // not in the list
    QnCameraRecord stranger = Camera(99, "x");
    bar_.updateDevState(stranger, 0);
    bar_.setProperty(7, "WifiDB", 2);
    EXPECT_EQ(changed.count(), 0);

    bar_.updateDevState(records[2], 0);
    EXPECT_EQ(model.roleValue(2, "NORMAL_INFO").toString(), "OffLine");
    EXPECT_EQ(model.roleValue(2, "WifiDB").toInt(), 0);
    EXPECT_FALSE(model.roleValue(2, "NORMAL_READY").toBool());
    EXPECT_EQ(model.roleValue(2, "DevState").toInt(), 0);

    EXPECT_EQ(bar_.getProperty(0, "DevName", 1).toString(), "Cam");
    EXPECT_FALSE(bar_.getProperty(0, "DevName", 0).isValid()); // the local model is empty
    bar_.resetModel();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(ListBar, ListHeightFollowsTheCardsThePadAndTheBar)
{
    QnCameraRecord records[3] = {Camera(1, "a"), Camera(2, "b"), Camera(3, "c")};
    bar_.setDevList(records, 3);
    QQuickItem* list = bar_.quickView()->rootObject()->findChild<QQuickItem*>("listData");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->height(), 30 + 3 * 102);
    emit bar_.updateSignal(false);
    EXPECT_EQ(list->height(), 30);
    emit bar_.updateSignal(true);
    emit bar_.setPtzVisibleSignal(true); // the closed pad keeps 35
    bar_.setComponentSize(QRect(0, 0, 200, 300));
    EXPECT_EQ(list->height(), 30 + (300 - 35 - 30 - 1));
    EXPECT_EQ(bar_.container()->maximumSize(), QSize(200, 300));
}

} // namespace
