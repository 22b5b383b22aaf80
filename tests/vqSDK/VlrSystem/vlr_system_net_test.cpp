// The hub against the simulated camera service: start-up steps, sign-in
// state, the paged device list and card search, and the event relay.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Depend/qn_time.h"
#include "support/wait_until.h"
#include "support/moto_store_fixture.h"
#include "vqSDK/VlrNetSDK/camsim_peer.h"
#include "vqSDK/VlrSystem/hub_on_service.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

using hub_test::HubOnService;
using hub_test::NetEvents;
using hub_test::Reports;

constexpr int32_t kCamera = 77;

TEST_F(HubOnService, StartUpStepsAndSignInStateAreReportedOnceWithTheirNames)
{
    Start("", "");
    reports_.Taken();
    QN_NET_LOGIN_INFO info{};
    std::strcpy(info.account, "demo");
    std::strcpy(info.password, "secret");
    std::strcpy(info.terminal, "hub-test");
    uint32_t address = 0, user = 0;
    EXPECT_EQ(hub_->Login(&info, &address, &user), 0);
    EXPECT_EQ(hub_->Init("no_such_step", nullptr), 0);
    EXPECT_EQ(hub_->GetSourcePack("no_such_model"), nullptr);
    const auto texts = reports_.Taken();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].second, "stateIllegal :: login");
    EXPECT_EQ(texts[1].second, "NetSdkErr :: sys init err");
    EXPECT_EQ(texts[2].second, "stateIllegal :: GetSourcePack");
    // "data_base" again keeps the pack it built.
    void* pack = hub_->GetSourcePack("file_play");
    EXPECT_EQ(hub_->Init("data_base", nullptr), 1);
    EXPECT_EQ(hub_->GetSourcePack("file_play"), pack);
    EXPECT_EQ(ResPackUsable(static_cast<RESPACK*>(pack)), 1);
}

TEST_F(HubOnService, CameraListHasOwnDevicesFirstTaggedWithTheirKindAndStopsBeforeTheCapacity)
{
    Start("", "--devices 73 --shared 12");
    std::vector<VLR_CAMERA_ENTRY> entries(100);
    int count = -1;
    ASSERT_EQ(hub_->GetCameraList("all", entries.data(), 100, &count, 0), 1);
    ASSERT_EQ(count, 85);
    for (int i = 0; i < count; ++i) EXPECT_EQ(entries[i].listKind, i < 73 ? VLR_CAMERA_OWN : VLR_CAMERA_SHARED) << i;

    // Each record as the login server serves it.
    QN_NET_DEVICE_LIST_REQUEST request{1, 1, 0, QN_NET_DEVICE_PAGE, 2, 0};
    QN_NET_DEVICE_LIST shared{};
    ASSERT_EQ(QN_NET_GetDeviceList(&request, &shared), 1);
    ASSERT_EQ(shared.count, 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(std::memcmp(&entries[73 + i].device, &shared.devices[i], sizeof(QN_NET_DEVICE_INFO)), 0) << i;
    }

    std::vector<VLR_CAMERA_ENTRY> few(60);
    few[59].listKind = 0x5EA1;
    ASSERT_EQ(hub_->GetCameraList("all", few.data(), 60, &count, 0), 1);
    EXPECT_EQ(count, 59);
    EXPECT_EQ(few[59].listKind, 0x5EA1);
    ASSERT_EQ(hub_->GetCameraList("share", few.data(), 60, &count, 0), 1);
    EXPECT_EQ(count, 12);
    EXPECT_EQ(few[0].listKind, VLR_CAMERA_SHARED);
}

TEST_F(HubOnService, CardSearchPagesToTheEndWithoutCopiesAndNeverPastTheCapacity)
{
    Start("--card-files 37", "");
    const QN_NET_TIME6 from{2026, 12, 10, 0, 0, 0};
    const QN_NET_TIME6 to{2026, 12, 10, 23, 59, 59};
    std::vector<QN_NET_REMOTE_FILE> files(100);
    int count = -1;
    ASSERT_EQ(hub_->SearchRemoteFile(files.data(), &count, kCamera, 100, from, to), 1);
    ASSERT_EQ(count, 37);
    for (int i = 0; i < count; ++i) EXPECT_EQ(files[i].values[0], i);

    std::vector<QN_NET_REMOTE_FILE> room(21);
    room[20].values[0] = 0x5EA1;
    ASSERT_EQ(hub_->SearchRemoteFile(room.data(), &count, kCamera, 20, from, to), 1);
    EXPECT_EQ(count, 20);
    EXPECT_EQ(room[19].values[0], 19);
    EXPECT_EQ(room[20].values[0], 0x5EA1);
}

TEST_F(HubOnService, PushedNoticesReachTheFacadeAsNetworkEvents)
{
    Start("", "");
    QN_NET_TF_INFO card{};
    ASSERT_EQ(hub_->GetTfinfo(kCamera, &card), 1);  // the server now knows the connection
    mgr_->Command("push 20313 77");
    mgr_->Command("push 20374 77");
    mgr_->Command("push 20207 77");

    const auto upgrade = events_.Wait(VLR_NET_UPGRADE_PROGRESS);
    ASSERT_EQ(upgrade.size(), 32u);
    uint32_t words[8];
    std::memcpy(words, upgrade.data(), sizeof words);
    EXPECT_EQ(words[0], 77u);
    EXPECT_EQ(words[1], 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(upgrade.data() + 8), 16), "FW-2026.12.10-16");
    EXPECT_EQ(words[6], 0u);
    EXPECT_EQ(words[7], 0x7Du);

    const auto notice = events_.Wait(VLR_NET_NOTICE_20374);
    ASSERT_EQ(notice.size(), static_cast<std::size_t>(VLR_NOTICE_20374_BYTES));
    for (std::size_t i = 0; i < notice.size(); ++i) {
        ASSERT_EQ(notice[i], static_cast<uint8_t>(((i + 16) * 7 + 3) & 0xFF)) << i;
    }
    const auto online = events_.Wait(VLR_NET_CAMERA_ONLINE);
    ASSERT_FALSE(online.empty());
    EXPECT_EQ(online[0], 77);
}

// A day index of two recorded slots, a segment starting in the first.
std::string TwoSlotDayIndex()
{
    std::string index = "V1610";
    index.resize(16, '0');
    index[15] = '1';
    std::string slots(8640, '\0');
    slots[6] = static_cast<char>(0x81);
    slots[7] = 0x01;
    return index + slots;
}

TEST_F(HubOnService, TodaysCloudDayIndexComesFromTheObjectStoreWithTheServicesCredentials)
{
    if (!cloud_test::MotoServer::Installed()) GTEST_SKIP() << "moto is not installed (bash scripts/oracles.sh)";
    const cloud_test::Store* store = cloud_test::MotoServer::Get();
    ASSERT_NE(store, nullptr) << "the moto_server fixture did not come up";
    cloud_test::TempFolder folder;
    char date[24] = {};
    ASSERT_EQ(QNGetDateText(date, sizeof date), 1);
    const std::string source = folder.File("source.index");
    cloud_test::WriteFile(source, TwoSlotDayIndex());
    const std::string name = std::string(date) + "/corvul_day_" + date + ".index";
    ASSERT_EQ(QN_NET_Clond_Storage_Upload_Aws(store->endpoint.c_str(), store->region.c_str(), "s3", source.c_str(),
                                              (store->bucket + "/" + store->prefix).c_str(), name.c_str(),
                                              store->accessKey.c_str(), store->secretKey.c_str(),
                                              store->token.c_str(), 0, 10),
              0);

    Start("--cloud-store " + store->stateFile, "");
    const std::string into = folder.Folder() + "hub/";
    ASSERT_TRUE(std::filesystem::create_directories(into));
    ASSERT_EQ(hub_->vqCloudDownIndexEx(kCamera, into.c_str()), 0);
    EXPECT_TRUE(cloud_test::ReadFile(into + "corvul_day_" + date + ".index") == TwoSlotDayIndex())
        << "the day index arrived changed";
    const auto slots = hub_->CloudDayIndex();
    ASSERT_EQ(slots.size(), 2u);
    EXPECT_EQ(slots[0].sum, 101);
    EXPECT_NE(slots[0].name[0], '\0');
    EXPECT_EQ(slots[1].sum, 1);
    EXPECT_EQ(slots[1].start - slots[0].start, 10);

    // The credentials hold for an hour: a second fetch asks the service nothing.
    ASSERT_EQ(hub_->vqCloudDownIndexEx(kCamera, into.c_str()), 0);
    int asked = 0;
    for (const auto& line : mgr_->Frames()) {
        if (line.find("\"sub\": 90001") != std::string::npos) ++asked;
    }
    EXPECT_EQ(asked, 1);
}

} // namespace

namespace {

// One thin wrapper: how the hub is called, and for a wrapper with a reply the
// same SDK call made directly, whose reply the hub's must equal byte for byte.
struct WrapperCase {
    const char* reportName;
    std::function<int(VLR_SYSTEM&, int32_t camera, std::vector<uint8_t>& reply)> hub;
    std::function<int(int32_t camera, std::vector<uint8_t>& reply)> direct;
};

template <class T>
std::vector<uint8_t> BytesOf(const T& value)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
    return std::vector<uint8_t>(bytes, bytes + sizeof value);
}

// Replies of camera calls: a typed record read by the hub and directly.
template <class T>
WrapperCase Read(const char* name, int (VLR_SYSTEM::*wrapper)(int32_t, T*), int (*sdk)(int32_t, T*))
{
    return {name,
            [=](VLR_SYSTEM& hub, int32_t camera, std::vector<uint8_t>& reply) {
                T record{};
                const int result = (hub.*wrapper)(camera, &record);
                reply = BytesOf(record);
                return result;
            },
            [=](int32_t camera, std::vector<uint8_t>& reply) {
                T record{};
                const int result = sdk(camera, &record);
                reply = BytesOf(record);
                return result;
            }};
}

WrapperCase Plain(const char* name, std::function<int(VLR_SYSTEM&, int32_t)> call)
{
    return {name, [=](VLR_SYSTEM& hub, int32_t camera, std::vector<uint8_t>&) { return call(hub, camera); }, nullptr};
}

std::vector<WrapperCase> CameraWrappers()
{
    static const QN_NET_VOLUME volume{{1, 2, 3, 4}};
    static const QN_NET_MOTION_DETECTION motion{{7}, 3};
    static const QN_NET_PTZ_POSITION position{1, {10, 20, 30, 40}};
    static const QN_NET_SEARCH_FILE search{0, {2026, 12, 10, 0, 0, 0}, {2026, 12, 10, 23, 59, 59}};
    static const QN_NET_UPGRADE upgrade{{1}};
    static const QN_NET_TF_INFO card{{1, 2, 3, 4, 5, 6, 7}};
    return {
        Read<QN_NET_VOLUME>("QN_NET_GetVolume", &VLR_SYSTEM::GetVolume, &QN_NET_GetVolume),
        Read<QN_NET_WIFI>("QN_NET_GetWifiValue", &VLR_SYSTEM::GetWifiValue, &QN_NET_GetWifiValue),
        Read<QN_NET_MOTION_DETECTION>("QN_NET_GetMotionDT", &VLR_SYSTEM::GetMotionDT, &QN_NET_GetMotionDT),
        Read<QN_NET_CONFIG>("GetAllConfig", &VLR_SYSTEM::GetAllConfig,
                            [](int32_t camera, QN_NET_CONFIG* config) { return QN_NET_GetConfigMsg(camera, 125, config); }),
        Read<QN_NET_CONFIG>("GetEncryption", &VLR_SYSTEM::GetEncryption,
                            [](int32_t camera, QN_NET_CONFIG* config) { return QN_NET_GetConfigMsg(camera, 64, config); }),
        {"QN_NET_PTZ_GetDevStatus",
         [](VLR_SYSTEM& hub, int32_t camera, std::vector<uint8_t>& reply) {
             QN_NET_PTZ_STATUS status{};
             const int result = hub.PTZ_GetDevStatus(camera, 1, &status, 0);
             reply = BytesOf(status);
             return result;
         },
         [](int32_t camera, std::vector<uint8_t>& reply) {
             QN_NET_PTZ_STATUS status{};
             const int result = QN_NET_PTZ_GetDevStatus(camera, 1, &status, 0);
             reply = BytesOf(status);
             return result;
         }},
        {"QN_NET_Brightness",
         [](VLR_SYSTEM& hub, int32_t camera, std::vector<uint8_t>& reply) {
             int32_t values[2] = {};
             const int result = hub.Brightness(camera, &values[0], &values[1]);
             reply = BytesOf(values);
             return result;
         },
         [](int32_t camera, std::vector<uint8_t>& reply) {
             int32_t values[2] = {};
             const int result = QN_NET_Brightness(camera, &values[0], &values[1]);
             reply = BytesOf(values);
             return result;
         }},
        {"QN_NET_GetInstallState",
         [](VLR_SYSTEM& hub, int32_t camera, std::vector<uint8_t>& reply) {
             int32_t state = 0;
             const int result = hub.GetInstallState(camera, &state);
             reply = BytesOf(state);
             return result;
         },
         [](int32_t camera, std::vector<uint8_t>& reply) {
             const int32_t state = QN_NET_GetInstallState(camera);
             reply = BytesOf(state);
             return state == -1 ? 0 : 1;
         }},
        Plain("QN_NET_SetVolume", [](VLR_SYSTEM& hub, int32_t camera) { return hub.SetVolume(camera, &volume); }),
        Plain("QN_NET_SetMotionDT", [](VLR_SYSTEM& hub, int32_t camera) { return hub.SetMotionDT(camera, &motion); }),
        Plain("QN_NET_GetTalkState", [](VLR_SYSTEM& hub, int32_t camera) {
            int32_t talking = -1;
            return hub.GetTalkState(camera, &talking) == 1 && (talking == 0 || talking == 1) ? 1 : 0;
        }),
        Plain("QN_NET_PTZ_SetPosition",
              [](VLR_SYSTEM& hub, int32_t camera) { return hub.PTZ_SetPosition(camera, &position, 0); }),
        Plain("SearchRemoteIndexFile",
              [](VLR_SYSTEM& hub, int32_t camera) { return hub.SearchRemoteIndexFile(camera, &search); }),
        Plain("QN_NET_BrightCtrl", [](VLR_SYSTEM& hub, int32_t camera) { return hub.BrightCtrl(camera, 40, 1); }),
        Plain("QN_NET_SetInstallState", [](VLR_SYSTEM& hub, int32_t camera) { return hub.SetInstallState(camera, 1); }),
        Plain("QN_NET_GetLanType", [](VLR_SYSTEM& hub, int32_t camera) {
            int32_t type = -7;
            return hub.GetLanType(camera, &type) == 1 && type != -7 ? 1 : 0;
        }),
        Plain("QN_NET_SetLanType", [](VLR_SYSTEM& hub, int32_t camera) { return hub.SetLanType(camera, 1); }),
        Plain("QN_NET_GetZoneType", [](VLR_SYSTEM& hub, int32_t camera) {
            int32_t zone = -7;
            return hub.GetZoneType(camera, &zone) == 1 && zone != -7 ? 1 : 0;
        }),
        Plain("QN_NET_SetZoneType", [](VLR_SYSTEM& hub, int32_t camera) { return hub.SetZoneType(camera, 8, 0); }),
        Plain("QN_NET_RebootCamera", [](VLR_SYSTEM& hub, int32_t camera) { return hub.RebootCamera(camera); }),
        Plain("QN_NET_Upgrade", [](VLR_SYSTEM& hub, int32_t camera) { return hub.Upgrade(2, camera, &upgrade); }),
        Plain("QN_NET_StopUpgrade", [](VLR_SYSTEM& hub, int32_t camera) { return hub.StopUpgrade(camera); }),
        Plain("SetTfCard", [](VLR_SYSTEM& hub, int32_t camera) { return hub.SetTfCard(camera, &card); }),
    };
}

TEST_F(HubOnService, ThinCameraWrappersCopyTheCamerasReplyAndReportAFailureOnceByName)
{
    Start("", "");
    reports_.Taken();  // the start-up's own refusal
    for (const WrapperCase& wrapper : CameraWrappers()) {
        SCOPED_TRACE(wrapper.reportName);
        std::vector<uint8_t> viaHub, direct;
        EXPECT_EQ(wrapper.hub(*hub_, kCamera, viaHub), 1);
        if (wrapper.direct) {
            ASSERT_EQ(wrapper.direct(kCamera, direct), 1);
            EXPECT_EQ(viaHub, direct) << "the reply reached the caller changed";
            EXPECT_NE(viaHub, std::vector<uint8_t>(viaHub.size(), 0)) << "the camera's reply was never copied";
        }
        EXPECT_TRUE(reports_.Taken().empty());
        // A camera the service does not know: one report, nothing copied.
        std::vector<uint8_t> refused;
        EXPECT_EQ(wrapper.hub(*hub_, -1, refused), 0);
        if (wrapper.direct) EXPECT_EQ(refused, std::vector<uint8_t>(refused.size(), 0));
        const auto texts = reports_.Taken();
        ASSERT_EQ(texts.size(), 1u);
        const bool checkedFirst = std::string(wrapper.reportName).find("Get") == 0 &&
                                  std::string(wrapper.reportName).find("QN_NET") == std::string::npos;
        EXPECT_EQ(texts[0].second, std::string(checkedFirst ? "paramerr :: " : "NetSdkErr :: ") + wrapper.reportName);
    }
}

} // namespace

namespace {

// The account wrappers go to the login server; their records are the
// service's, only their length matters to the hub.
std::vector<WrapperCase> AccountWrappers()
{
    static uint8_t record[256] = {'d', 'e', 'm', 'o'};
    static const char text[64] = "demo";
    const auto plain = [](const char* name, std::function<int(VLR_SYSTEM&)> call) {
        return Plain(name, [=](VLR_SYSTEM& hub, int32_t) { return call(hub); });
    };
    const auto bytes = [](const char* name, std::size_t size, std::function<int(VLR_SYSTEM&, uint8_t*)> call) {
        return WrapperCase{name,
                           [=](VLR_SYSTEM& hub, int32_t, std::vector<uint8_t>& reply) {
                               reply.assign(size, 0);
                               return call(hub, reply.data());
                           },
                           nullptr};
    };
    return {
        plain("QN_NET_VerityAccount", [](VLR_SYSTEM& hub) {
            int32_t known = -1;
            return hub.VerityAccount(record, &known) == 1 && (known == 0 || known == 1) ? 1 : 0;
        }),
        plain("QN_NET_CheckVerifyCode", [](VLR_SYSTEM& hub) {
            int32_t answer = -1;
            return hub.CheckVerifyCode(text, text, &answer) == 1 && answer != -1 ? 1 : 0;
        }),
        plain("QN_NET_DeleteApplyAccount", [](VLR_SYSTEM& hub) { return hub.DeleteApplyAccount(record); }),
        plain("QN_NET_DeleteDevice", [](VLR_SYSTEM& hub) { return hub.DeleteDevice(record); }),
        plain("QN_NET_DelShareDevice", [](VLR_SYSTEM& hub) { return hub.DelShareDevice(77, 1); }),
        plain("QN_NET_GetDeviceid", [](VLR_SYSTEM& hub) {
            int32_t device = -1;
            return hub.GetDeviceid(record, &device) == 1 && device != -1 ? 1 : 0;
        }),
        plain("QN_NET_ModifyDevName", [](VLR_SYSTEM& hub) { return hub.ModifyDevName(77, "porch"); }),
        plain("QN_NET_SignUp", [](VLR_SYSTEM& hub) { return hub.SignUp(record, 1); }),
        plain("QN_NET_ResetPassword", [](VLR_SYSTEM& hub) { return hub.ResetPassword(record); }),
        plain("QN_NET_ResetPasswordEx", [](VLR_SYSTEM& hub) { return hub.ResetPasswordEx(record); }),
        plain("QN_NET_GetVerifyCode", [](VLR_SYSTEM& hub) { return hub.GetVerifyCode(record); }),
        plain("QN_NET_ShareDevice", [](VLR_SYSTEM& hub) {
            int32_t result = -1;
            return hub.ShareDevice(77, record, &result);
        }),
        plain("QN_NET_GetShareDeviceInfo", [](VLR_SYSTEM& hub) {
            QN_NET_SHARE_INFO shares[4];
            int32_t count = -1;
            return hub.GetShareDeviceInfo(77, shares, 4, &count) == 1 && count >= 0 && count <= 4 ? 1 : 0;
        }),
        bytes("QN_NET_GetAppVersion", 288, [](VLR_SYSTEM& hub, uint8_t* r) { return hub.GetAppVersion(1, r); }),
        bytes("QN_NET_BindState", 64, [](VLR_SYSTEM& hub, uint8_t* r) {
            int32_t state = -1;
            return hub.BindState(text, r, &state) == 1 && state != -1 ? 1 : 0;
        }),
        bytes("QN_NET_ApplyTestAccount", 66, [](VLR_SYSTEM& hub, uint8_t* r) { return hub.ApplyTestAccount(1, r); }),
        bytes("QN_NET_GetDeviceVersion", 152, [](VLR_SYSTEM& hub, uint8_t* r) { return hub.GetDeviceVersion(77, r); }),
        bytes("QN_NET_GetSSID", 64, [](VLR_SYSTEM& hub, uint8_t* r) { return hub.GetSSID(record, r); }),
    };
}

TEST_F(HubOnService, ThinAccountWrappersAnswerWhileSignedInAndReportByNameAfterwards)
{
    Start("", "");
    reports_.Taken();  // the start-up's own refusal
    const auto wrappers = AccountWrappers();
    for (const WrapperCase& wrapper : wrappers) {
        SCOPED_TRACE(wrapper.reportName);
        std::vector<uint8_t> reply;
        EXPECT_EQ(wrapper.hub(*hub_, kCamera, reply), 1);
        EXPECT_TRUE(reports_.Taken().empty());
    }
    ASSERT_EQ(hub_->Logout(user_), 1);
    login_.reset();
    for (const WrapperCase& wrapper : wrappers) {
        SCOPED_TRACE(wrapper.reportName);
        std::vector<uint8_t> reply;
        EXPECT_EQ(wrapper.hub(*hub_, kCamera, reply), 0);
        EXPECT_EQ(reply, std::vector<uint8_t>(reply.size(), 0)) << "a failed call copied a reply";
        const auto texts = reports_.Taken();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].second, std::string("NetSdkErr :: ") + wrapper.reportName);
    }
}

} // namespace

namespace {

TEST_F(HubOnService, EncryptionWriteSetsTheHubsKeyOnlyOnceTheCameraTookIt)
{
    Start("", "");
    reports_.Taken();  // the start-up's own refusal
    QN_NET_CONFIG config{};
    config.sections[0] = {64, 28};
    EXPECT_EQ(hub_->SetEncryption(kCamera, &config, "custom", "secret1"), 0);
    EXPECT_EQ(hub_->SetEncryption(-1, &config, "default", "secret1"), 0);
    EXPECT_EQ(hub_->EncryptionKeyText("default"), "");
    ASSERT_EQ(hub_->SetEncryption(kCamera, &config, "default", "secret1"), 1);
    EXPECT_NE(hub_->EncryptionKeyText("default"), "");
    const auto texts = reports_.Taken();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].second, "paramerr :: SetEncryption");
    EXPECT_EQ(texts[1].second, "NetSdkErr :: SetEncryption");

    // The storage location and the cloud order: the SDK's own answers.
    int32_t location = -7;
    QN_NET_STORAGE_LOCATION direct{};
    ASSERT_EQ(QN_NET_GetRecordStorageLocation(kCamera, &direct), 1);
    EXPECT_EQ(hub_->GetRecordStorageLocation(kCamera, &location), 1);
    EXPECT_EQ(location, direct.values[0]);
    QN_NET_CLOUD_TIME order{};
    EXPECT_EQ(hub_->vqCloudOrder(kCamera, &order), 1);
    EXPECT_NE(BytesOf(order), std::vector<uint8_t>(sizeof order, 0));
    // The alarm picture's status, never a report: a camera without pictures
    // answers 0, an unknown one gives -1.
    EXPECT_EQ(hub_->GetAlarmPic(kCamera, 1, 2, 3, 4, 5), QN_NET_GetAlarmPic(kCamera, 1, 2, 3, 4, 5));
    EXPECT_EQ(hub_->GetAlarmPic(-1, 1, 2, 3, 4, 5), -1);
    EXPECT_TRUE(reports_.Taken().empty());

    // The cloud test without the program's folders: the credentials still
    // come, the day index has nowhere to go.
    EXPECT_EQ(hub_->vqCloudTest(kCamera), 1);
    const auto cloud = reports_.Taken();
    ASSERT_EQ(cloud.size(), 1u);
    EXPECT_EQ(cloud[0].second, "stateIllegal :: vqCloudTest");
}

} // namespace
