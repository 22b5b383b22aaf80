// The client facade end to end through its flat calls, against the simulated
// camera service on loopback: the endpoints come from Config.ini in a fresh
// data folder, the camera-type and lens tables and the region from a local
// HTTP server, the accounts and devices from camsim's login server, live and
// TF-card play from the simulated LAN camera, drawn by a real video window
// on a private Xvfb (a screenshot shows the camera's picture); a recording of
// the live play is read by ffprobe and played back from the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "Depend/qn_folders.h"
#include "app/qn_net_api.h"
#include "app/record_file.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"
#include "support/this_process.h"
#include "support/wait_until.h"
#include "support/x_test_support.h"
#include "vqSDK/VlrNetSDK/camsim_peer.h"
#include "vqSDK/VlrNetSDK/media/media_peer.h"
#include "vqSDK/VlrRealplay/live_fixture.h"

// Qt last: its keywords would clash with the stream headers' names.
#include <QWidget>

#include "player/QNPlayer.h"
#include "support/qt_test_env.h"

namespace {

namespace fs = std::filesystem;

constexpr int32_t kOwnCamera = 7;       // the one the simulated LAN camera serves
constexpr int32_t kSharedCamera = 8000;
constexpr int32_t kUnknownCamera = 4242;
const char kRegion[] = "test";

// What the facade told the controller.
struct Heard {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int32_t> messages;
    std::map<int32_t, std::vector<uint8_t>> records; // the first bytes of each id's last record
    std::vector<int32_t> errors;
    int ticks = 0;
    uintptr_t frameTime = 0;

    static void OnMessage(void* record, int32_t id, int32_t, void* user)
    {
        auto* self = static_cast<Heard*>(user);
        std::lock_guard<std::mutex> hold(self->mutex);
        self->messages.push_back(id);
        if (id == VQ_MSG_FRAME_TIME) {
            // The frame time itself, not an address.
            self->frameTime = reinterpret_cast<uintptr_t>(record);
        } else {
            const auto* bytes = static_cast<const uint8_t*>(record);
            self->records[id] = bytes != nullptr ? std::vector<uint8_t>(bytes, bytes + 4) : std::vector<uint8_t>();
        }
        self->changed.notify_all();
    }
    static void OnError(int32_t zero, int32_t code, void* user)
    {
        auto* self = static_cast<Heard*>(user);
        std::lock_guard<std::mutex> hold(self->mutex);
        self->errors.push_back(zero * 1000 + code);
    }
    static void OnTick(int32_t, void* user)
    {
        auto* self = static_cast<Heard*>(user);
        std::lock_guard<std::mutex> hold(self->mutex);
        ++self->ticks;
    }
    bool WaitMessage(int32_t id)
    {
        std::unique_lock<std::mutex> hold(mutex);
        return changed.wait_for(hold, std::chrono::milliseconds(testing_support::kEventBoundMs), [&] {
            return std::count(messages.begin(), messages.end(), id) > 0;
        });
    }
    int Count(int32_t id)
    {
        std::lock_guard<std::mutex> hold(mutex);
        return static_cast<int>(std::count(messages.begin(), messages.end(), id));
    }
    std::vector<int32_t> TakeErrors()
    {
        std::lock_guard<std::mutex> hold(mutex);
        auto taken = errors;
        errors.clear();
        return taken;
    }
    int Ticks()
    {
        std::lock_guard<std::mutex> hold(mutex);
        return ticks;
    }
};

// Colours of a picture, up to a bound: a blank or single-colour window has one or two.
std::size_t DistinctColours(const ddshow_test::Bgr24Image& image)
{
    std::set<uint32_t> colours;
    for (std::size_t i = 0; i + 2 < image.bytes.size() && colours.size() < 1000; i += 3) {
        colours.insert(uint32_t{image.bytes[i]} | uint32_t{image.bytes[i + 1]} << 8 | uint32_t{image.bytes[i + 2]} << 16);
    }
    return colours.size();
}

class NetApiOnService : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        shared_ = new Shared;
        Shared& s = *shared_;
        s.appData = std::make_unique<testing_support::ScopedEnv>("APPDATA", s.home.Path().c_str());
        s.defined = QNDefineInit() == 1;
        wchar_t data[260] = {};
        QNGetAppDataPath(data, 260);
        for (const wchar_t* c = data; *c != 0; ++c) s.dataFolder += static_cast<char>(*c);

        // The web server's tables and the region prefix.
        const std::string files = s.web.Path() + "/files/Index";
        fs::create_directories(files);
        platform::WriteWholeFile(files + "/showCameraType", "[{\"camera_type\":\"QNP2OW12\",\"series\":1}]");
        platform::WriteWholeFile(files + "/getLensConfig", "[]");
        platform::WriteWholeFile(files + "/GetUrlPrefix", kRegion);
        s.webServer = std::make_unique<testing_support::PeerProcess>(
            "exec /usr/bin/python3 " OSTRELS_SOURCE_DIR "/tools/cloudsim/status_server.py " + s.web.Path() + " " +
                s.web.Path() + "/files",
            s.web.Path() + "/port.txt", 30);

        // The service: a LAN camera with a card, the management and the login server.
        if (!s.media.ok || !realplay_test::MakeLiveFixture(s.media, nullptr, &s.clear)) return;
        s.camera = std::make_unique<media_test::MediaPeer>("lan_camera", s.media, "--card --frame-gap 0.04");
        s.mgr = std::make_unique<netsdk_test::CamsimServer>(
            "mgr", "--card-index 0-2,59 --camera-port " + std::to_string(s.camera->Port()));
        const std::string devices = s.home.Path() + "/devices.json";
        platform::WriteWholeFile(devices,
                                 "[{\"id\":7,\"identity\":\"QN000007\",\"model\":\"QNP2OW12-360\",\"name\":\"hall\","
                                 "\"text\":\"front door\"},"
                                 "{\"id\":8000,\"identity\":\"SH000001\",\"model\":\"CAM-YT2\",\"name\":\"bob@Alice\","
                                 "\"text\":\"shared\",\"shared\":true}]");
        s.login = std::make_unique<netsdk_test::CamsimLogin>(
            "--account demo:secret --account '#K7#demo:secret' --device-file " + devices + " --mgr-port " +
            std::to_string(s.mgr->Port()));
    }
    static void TearDownTestSuite()
    {
        delete shared_;
        shared_ = nullptr;
    }

    void SetUp() override
    {
        if (qt_test::XDisplay().empty()) GTEST_SKIP() << "no private Xvfb: the window cannot be shown";
        if (!testing_support::HaveCommand("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
        Shared& s = *shared_;
        ASSERT_TRUE(s.defined) << "the data folder could not be made";
        ASSERT_TRUE(s.webServer->Ready()) << "the HTTP server did not start";
        ASSERT_TRUE(s.media.ok) << "ffmpeg could not make the test stream";
        ASSERT_TRUE(s.camera && s.camera->Port() != 0 && s.mgr->Port() != 0 && s.login->Port() != 0)
            << "the simulated service did not start";
        const int first = 30000 + (platform::CurrentProcessId() % 700) * 40;
        // A login host by name, so that it goes through the look-up.
        platform::WriteWholeFile(s.dataFolder + "/Config.ini",
                                 "[Service]\nLoginHost=localhost\nWebServer=http://127.0.0.1:" +
                                     *platform::ReadWholeFile(s.web.Path() + "/port.txt") +
                                     "/\nLoginPort=" + std::to_string(s.login->Port()) +
                                     "\nUdpPortFirst=" + std::to_string(first) +
                                     "\nUdpPortLast=" + std::to_string(first + 39) + "\n");
        threadsBefore_ = testing_support::SettledThreadCount();
    }
    void TearDown() override
    {
        if (registered_) {
            vqSignOut();
            EXPECT_EQ(vqDestroy(), 0);
        }
        if (threadsBefore_ != 0) {
            EXPECT_EQ(testing_support::ThreadCount(), threadsBefore_) << "a thread outlived the facade";
        }
    }

    // A facade brought up to message 23 with the controller's callbacks.
    void Register(const char* sdkKey = "")
    {
        vqRegisterSDK(7, sdkKey);
        registered_ = true;
        vqSetMessageCallback(&Heard::OnMessage, &heard_);
        vqSetErrorCallback(&Heard::OnError, &heard_);
        vqSetStreamTickCallback(&Heard::OnTick, &heard_);
        const std::string data = shared_->dataFolder;
        vqLoadCameraTypeFile((data + "/User/type.json.txt").c_str(), data.c_str());
        ASSERT_EQ(vqInit(""), 1);
        ASSERT_TRUE(heard_.WaitMessage(VQ_MSG_INIT_FINISH));
        EXPECT_EQ(vqIsInit(), 1);
    }
    void SignIn()
    {
        vqAccount account{};
        std::strcpy(account.account, "demo");
        std::strcpy(account.password, "secret");
        uint32_t id = 0;
        ASSERT_EQ(vqSignIn(&account, &id), 1) << vqGetLastError();
        EXPECT_NE(id, 0u);
        // Sign-in lets the daemon connect the management server.
        ASSERT_TRUE(heard_.WaitMessage(VQ_MSG_SERVER_ONLINE));
        int count = 0;
        std::vector<vqCameraEntry> cameras(kVqCameraListCapacity);
        ASSERT_EQ(vqGetCameras(cameras.data(), &count), 1);
        ASSERT_EQ(count, 2);
    }

    struct Shared {
        testing_support::TempFolder home;
        testing_support::TempFolder web;
        std::unique_ptr<testing_support::ScopedEnv> appData;
        bool defined = false;
        std::string dataFolder;
        std::unique_ptr<testing_support::PeerProcess> webServer;
        media_test::MediaFixture media;
        std::string clear;
        std::unique_ptr<media_test::MediaPeer> camera;
        std::unique_ptr<netsdk_test::CamsimServer> mgr;
        std::unique_ptr<netsdk_test::CamsimLogin> login;
    };
    static Shared* shared_;
    Heard heard_;
    bool registered_ = false;
    int threadsBefore_ = 0;
};
NetApiOnService::Shared* NetApiOnService::shared_ = nullptr;

TEST_F(NetApiOnService, StartsSignsInAndListsTheDeviceFilesCameras)
{
    // Nothing answers before the facade exists.
    EXPECT_EQ(vqInit(kRegion), 0);
    EXPECT_EQ(vqIsInit(), 0);

    vqRegisterSDK(7, "");
    registered_ = true;
    vqAccount account{};
    std::strcpy(account.account, "demo");
    std::strcpy(account.password, "secret");
    uint32_t id = 0;
    EXPECT_EQ(vqSignIn(&account, &id), 0) << "not initialised";
    EXPECT_EQ(vqGetLastError() & 0xFFFFFFFF, VQ_ERR_LOGIN_FAILURE);
    EXPECT_EQ(vqInit(nullptr), 0);

    Register();
    {
        std::lock_guard<std::mutex> hold(heard_.mutex);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(heard_.records[VQ_MSG_INIT_FINISH].data()), 4), kRegion)
            << "the region came from the web server";
    }
    // The camera-type table was fetched and cached as received.
    EXPECT_EQ(platform::ReadWholeFile(shared_->dataFolder + "/User/type.json.txt").value_or(""),
              "[{\"camera_type\":\"QNP2OW12\",\"series\":1}]");
    // A second start while initialised changes nothing and raises nothing.
    EXPECT_EQ(vqInit("other"), 1);
    EXPECT_EQ(heard_.Count(VQ_MSG_INIT_FINISH), 1);

    // Without an account every camera counts as fully featured, the list is empty.
    int count = -1;
    std::vector<vqCameraEntry> cameras(kVqCameraListCapacity);
    EXPECT_EQ(vqGetCameras(cameras.data(), &count), 1);
    EXPECT_EQ(count, 0);

    // A "#key#account" name that does not fit is refused, not cut.
    vqRegisterSDK(7, "K7");
    vqAccount longName{};
    std::memset(longName.account, 'a', 60);
    std::strcpy(longName.password, "secret");
    EXPECT_EQ(vqSignIn(&longName, &id), 0);
    EXPECT_EQ(vqGetLastError() & 0xFFFFFFFF, VQ_ERR_ILLEGAL_PARAM);
    // The SDK key goes in front of the account name.
    ASSERT_EQ(vqSignIn(&account, &id), 1) << vqGetLastError();
    EXPECT_EQ(vqSignOut(), 1);
    vqRegisterSDK(7, "");

    SignIn();
    ASSERT_EQ(vqGetCameras(cameras.data(), &count), 1);
    ASSERT_EQ(count, 2);
    struct Expected {
        int32_t id;
        const char* identity;
        const char* name;
        const char* model;
        int32_t shared;
        int32_t type;
    } expected[] = {{kOwnCamera, "QN000007", "hall", "QNP2OW12-360", 0, 1},
                    {kSharedCamera, "SH000001", "bob@Alice", "CAM-YT2", 1, 2}};
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cameras[i].cameraId, expected[i].id);
        EXPECT_STREQ(cameras[i].deviceText, expected[i].identity);
        EXPECT_STREQ(cameras[i].name, expected[i].name);
        EXPECT_STREQ(cameras[i].model, expected[i].model);
        EXPECT_EQ(cameras[i].shared, expected[i].shared);
        EXPECT_EQ(cameras[i].cameraType, expected[i].type);
    }

    // The video keys: the account's own, or for a shared camera its owner's.
    const struct {
        int32_t camera;
        bool old;
        const char* key;
    } keys[] = {{kOwnCamera, false, "demo7"},
                {kOwnCamera, true, "demoQN000007"},
                {kSharedCamera, false, "alice8000"},
                {kSharedCamera, true, "aliceSH000001"}};
    for (const auto& k : keys) {
        char name[17] = {};
        char key[32] = {};
        ASSERT_EQ(k.old ? vqGetDefaultKeyOld(k.camera, 0, name, key) : vqGetDefaultKey(k.camera, 0, name, key), 1);
        EXPECT_STREQ(name, "security_default");
        EXPECT_STREQ(key, k.key) << k.camera << (k.old ? " old" : "");
    }
    char name[17] = {};
    char key[32] = {};
    EXPECT_EQ(vqGetDefaultKey(kUnknownCamera, 0, name, key), 0);
}

TEST_F(NetApiOnService, FeatureChecksFollowTheConnectionKind)
{
    Register();
    SignIn();
    heard_.TakeErrors();
    QN_NET_REMOTE_FILE file{};
    const struct {
        const char* call;
        std::function<int()> run;
        int32_t error; // 0: none raised
    } cases[] = {
        {"record play of a shared camera", [&] { return vqStartPlayBack(kSharedCamera, &file, 1, nullptr); }, 1},
        {"seek of a shared camera", [&] { return vqRepos(kSharedCamera, 50); }, 1},
        {"record stop of a shared camera", [&] { return vqStopPlayBack(kSharedCamera); }, 1},
        {"quality of a shared camera", [&] { return vqSetQuality(kSharedCamera, 1); }, 0},
        {"talk state of a shared camera", [&] { int32_t on = 0; return vqGetTalkState(kSharedCamera, &on); }, 0},
        {"talk of an unknown camera", [&] { return vqCtrlTalk(kUnknownCamera, 1); }, 2},
        {"record play of an unknown camera", [&] { return vqStartPlayBack(kUnknownCamera, &file, 1, nullptr); }, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        const int result = c.run();
        const std::vector<int32_t> errors = heard_.TakeErrors();
        if (c.error != 0) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(errors, std::vector<int32_t>{c.error});
        } else {
            EXPECT_TRUE(errors.empty());
        }
    }
    // A record play without a start time is refused, not reported as a play that never sends.
    EXPECT_EQ(vqStartPlayBack(kOwnCamera, nullptr, 1, nullptr), 0);
    EXPECT_EQ(vqStopPlayBack(kOwnCamera), 0) << "no record play began";
    // A file that does not play leaves the play type, so a live play stays stoppable.
    EXPECT_EQ(vqStartPlayFile("/nonexistent/missing.mp4", 1, nullptr), 0);
    EXPECT_EQ(vqStopRealPlay(kOwnCamera), 1);
}

TEST_F(NetApiOnService, LiveAndCardPlayReachTheWindow)
{
    QWidget top;
    top.setGeometry(0, 0, 320, 240);
    top.show();
    QNPlayer player;
    player.createWind(0, 0, 320, 240, &top);
    player.setVisibleCached(true);
    // Showing the first window starts Qt's own threads: count from here.
    qt_test::ProcessUntil([&] { return top.isVisible(); });
    threadsBefore_ = testing_support::SettledThreadCount();
    Register();
    SignIn();

    // The window outlives every play of the facade, also when a check ends the test early.
    struct StopPlays {
        QNPlayer& player;
        ~StopPlays()
        {
            vqStopRealPlay(kOwnCamera);
            vqStopPlayBack(kOwnCamera);
            vqStopPlayFile(&player);
        }
    } stopPlays{player};

    // Live play, recorded from its start: the camera sends its frames at 25 a second.
    testing_support::TempFolder recordings;
    const std::string mp4 = recordings.Path() + "/live.mp4";
    ASSERT_EQ(vqStartRealPlay(kOwnCamera, 41, &player), 1) << vqGetLastError();
    ASSERT_EQ(vqStartRecordMP4(mp4.c_str()), 1);
    player.hold = false;
    ASSERT_TRUE(heard_.WaitMessage(VQ_MSG_RECORD_FRAME_WRITTEN));
    ASSERT_TRUE(qt_test::ProcessUntil([&] { return player.framesShown() >= 5 && heard_.Ticks() >= 60; }))
        << "live frames were not drawn";
    EXPECT_EQ(vqStopRecordMP4(), 0);
    // What the X server shows in the window is the camera's picture, not a blank.
    ddshow_test::TempDir shots;
    ddshow_test::Bgr24Image picture;
    ASSERT_TRUE(ddshow_test::grabWindow(qt_test::XDisplay(), static_cast<uint32_t>(player.winId()),
                                        shots.file("live.xwd"), picture));
    EXPECT_GT(DistinctColours(picture), 50u);
    // A capture is written from the next decoded picture, which comes through
    // the frame relay while the capture waits; ffprobe reads it as a JPEG.
    const std::string shot = recordings.Path() + "/shot.jpg";
    EXPECT_EQ(vqCapture(shot.c_str()), 1);
    EXPECT_EQ(testing_support::RunCommand("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + shot)
                  .output.substr(0, 5),
              "mjpeg");
    EXPECT_EQ(vqStopRealPlay(kOwnCamera), 1);
    // The recording is an MP4 that ffprobe reads, from a key frame on.
    const auto probed = testing_support::RunCommand("ffprobe -v error -select_streams v -count_frames "
                                                    "-show_entries stream=nb_read_frames -of csv=p=0 " + mp4);
    EXPECT_GE(std::atoi(probed.output.c_str()), 25) << probed.output;

    QN_NET_REMOTE_FILE morning{};
    const int32_t start[] = {2026, 12, 10, 8, 0, 0};
    std::copy(std::begin(start), std::end(start), morning.values + 29);
    morning.values[38] = 8;
    morning.values[39] = 1;
    ASSERT_EQ(vqStartPlayBack(kOwnCamera, &morning, 42, &player), 1) << vqGetLastError();
    player.hold = false;
    const int64_t shown = player.framesShown();
    ASSERT_TRUE(qt_test::ProcessUntil([&] { return player.framesShown() >= shown + 5; }))
        << "card frames were not drawn";
    EXPECT_EQ(vqStopRealPlay(kOwnCamera), 0) << "a live stop leaves card play alone";
    const int64_t more = player.framesShown();
    EXPECT_TRUE(qt_test::ProcessUntil([&] { return player.framesShown() >= more + 2; })) << "card play went on";
    EXPECT_EQ(vqStopPlayBack(kOwnCamera), 1);

    // The recording plays back from the file into the same window.
    const int64_t beforeFile = player.framesShown();
    ASSERT_EQ(vqStartPlayFile(mp4.c_str(), 43, &player), 1) << vqGetLastError();
    player.hold = false;
    EXPECT_TRUE(qt_test::ProcessUntil([&] { return player.framesShown() >= beforeFile + 5; }))
        << "file frames were not drawn";
    // A local file is no source of a new recording.
    EXPECT_EQ(vqStartRecordMP4((recordings.Path() + "/again.mp4").c_str()), 0);
    EXPECT_EQ(vqStopRecordMP4(), -1);
    EXPECT_EQ(vqStopPlayFile(&player), 1);
}

TEST_F(NetApiOnService, TalkVolumeNeedsOnlyASixteenByteRecord)
{
    Register();
    SignIn();
    // On the heap, so that the address sanitizer sees a write past its end.
    auto record = std::make_unique<uint8_t[]>(kVqTalkVolumeRecordBytes);
    std::memset(record.get(), 0xAA, kVqTalkVolumeRecordBytes);
    ASSERT_EQ(vqGetConfig(kOwnCamera, VQ_CONFIG_VOICE_VOLUME_TALK, reinterpret_cast<vqConfigRecord*>(record.get())), 1)
        << vqGetLastError();
    for (int i = 0; i < kVqTalkVolumeRecordBytes; ++i) {
        if (i != kVqTalkVolumeByte) {
            EXPECT_EQ(record[i], 0) << "byte " << i;
        }
    }
    EXPECT_EQ(vqSetConfig(kOwnCamera, VQ_CONFIG_VOICE_VOLUME_TALK, reinterpret_cast<vqConfigRecord*>(record.get())), 1)
        << vqGetLastError();
}

TEST_F(NetApiOnService, HubEventsReachTheControllerUnderItsIds)
{
    Register();
    SignIn();
    // The day's card index arrives as network events 17 and goes to the search.
    const QN_NET_TIME6 day{2026, 12, 10, 0, 0, 0};
    std::vector<QN_NET_REMOTE_FILE> files(kRemoteFileLimit);
    int count = 0;
    ASSERT_EQ(vqSearchRemoteIndexFile(kOwnCamera, &day, files.data(), &count, testing_support::kEventBoundMs), 1);
    ASSERT_GE(count, 1);
    EXPECT_EQ(RecordStart(files[0]).hour, 0);
    EXPECT_EQ(RecordStart(files[0]).minute, 0);
    EXPECT_EQ(RecordValid(files[0]), 1);

    // Pushed notices, in order on one connection: upgrade progress (event 10),
    // then the camera on line (event 4).
    shared_->mgr->Command("push 20313 7");
    shared_->mgr->Command("push 20207 7");
    ASSERT_TRUE(heard_.WaitMessage(VQ_MSG_CAMERA_ONLINE_MSG));
    EXPECT_EQ(heard_.Count(8), 1) << "upgrade progress is message 8";
    std::lock_guard<std::mutex> hold(heard_.mutex);
    EXPECT_EQ(heard_.records[VQ_MSG_CAMERA_ONLINE_MSG], (std::vector<uint8_t>{7, 0, 0, 0})) << "the camera first";
    for (int32_t id : heard_.messages) {
        EXPECT_TRUE(id == VQ_MSG_INIT_FINISH || id == VQ_MSG_SERVER_ONLINE || id == 8 || id == VQ_MSG_CAMERA_ONLINE_MSG)
            << "unexpected message " << id;
    }
}

} // namespace
