// A live stream from the simulated LAN camera enters the stream platform
// through the hub's live model table and comes out frame for frame; then the
// TF-card model table plays the camera's card recording into its callback.
#include <gtest/gtest.h>
#include <atomic>

#include <condition_variable>
#include <cstring>
#include <fstream>
#include <iterator>
#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "streams/montage.h"
#include "streams/stream_fixture.h"
#include "platform/processes.h"
#include "support/card_files.h"
#include "support/this_process.h"
#include "support/wait_until.h"
#include "vqSDK/VlrNetSDK/camsim_peer.h"
#include "vqSDK/VlrNetSDK/media/media_peer.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

constexpr int kFrames = 100;  // four seconds at 25 a second

// The live play module reaches the hub only through the table's entries.
template <typename Function>
Function LiveEntry(void* table, int position)
{
    return reinterpret_cast<Function>(static_cast<void**>(table)[position]);
}

void OnRecordEnd(int32_t, int32_t, void*, int32_t) {}

// Frames of TF-card playback as the TF-card play module receives them.
struct CardFrames {
    std::mutex mutex;
    std::condition_variable changed;
    int video = 0;
    int64_t lastValue = 0;
    static int OnData(char* data, int64_t type, int64_t, int64_t length, void* owner, int32_t value)
    {
        auto* self = static_cast<CardFrames*>(owner);
        if (data == nullptr || length <= 0 || (type != 0 && type != 1)) return 1;
        std::lock_guard<std::mutex> lock(self->mutex);
        ++self->video;
        self->lastValue = value;
        self->changed.notify_all();
        return 1;
    }
};

using testing_support::MorningFile;

struct Delivered {
    std::mutex mutex;
    std::condition_variable changed;
    std::string video;
    int frames = 0;
    int notices = 0;
    std::vector<std::string> kinds;  // of the video frames, in order
    std::atomic<VLR_MODEL_WRITE_FRAME> recorder{nullptr};
    static uint32_t RecordType(const char* kind)
    {
        const std::pair<const char*, uint32_t> kinds[] = {
            {"h264_I", VLR_RECORD_KEY_MARK}, {"h264_P", 0}, {"h264_SPS", 4}, {"h264_PPS", 5},
            {"h264_SEI", 6}, {"h264_SEI_QN", 7}, {"h264_SEI_QN_P", 8}};
        for (const auto& k : kinds) {
            if (std::strcmp(kind, k.first) == 0) return k.second;
        }
        return 15;
    }
    static void OnFrame(const uint8_t* data, int length, const streams::MontOutputFrame* frame, void* user, int)
    {
        auto* self = static_cast<Delivered*>(user);
        if (std::strncmp(frame->kind, "h264", 4) != 0) return;
        if (VLR_MODEL_WRITE_FRAME write = self->recorder.load()) {
            const VLR_RECORD_FRAME record{RecordType(frame->kind), 25, frame->frameNumber,
                                          static_cast<uint32_t>(length), data, frame->width, frame->height};
            write(1, &record);
        }
        std::lock_guard<std::mutex> lock(self->mutex);
        self->video.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
        if (std::strcmp(frame->kind, "h264_I") == 0 || std::strcmp(frame->kind, "h264_P") == 0) {
            ++self->frames;
            self->kinds.emplace_back(frame->kind);
        }
        self->changed.notify_all();
    }
    static void OnEvent(int32_t kind, void* data, int32_t, void* user, int32_t)
    {
        auto* self = static_cast<Delivered*>(user);
        if (kind != 1111 || std::strcmp(static_cast<const char*>(data), "StreamFromNet ") != 0) return;
        std::lock_guard<std::mutex> lock(self->mutex);
        ++self->notices;
    }
};

// The simulated LAN camera (with its card), its management and login
// servers, and a hub signed in to them whose platform hands every frame of
// the "single" source to `Delivered`.
struct LiveService {
    media_test::MediaPeer camera;
    netsdk_test::CamsimServer mgr;
    netsdk_test::CamsimLogin login;
    VLR_SYSTEM hub;
    uint32_t user = 0;
    RESPACK* pack = nullptr;

    explicit LiveService(media_test::MediaFixture& media)
        : camera("lan_camera", media, "--card"), mgr("mgr", "--camera-port " + std::to_string(camera.Port())),
          login("--account demo:secret --mgr-port " + std::to_string(mgr.Port()))
    {
    }
    ~LiveService()
    {
        if (user != 0) hub.Logout(user);
        hub.Init("clean_up", nullptr);
    }
    void Start(Delivered& delivered)
    {
        ASSERT_NE(camera.Port(), 0) << "the simulated LAN camera did not start";
        ASSERT_NE(mgr.Port(), 0);
        ASSERT_NE(login.Port(), 0);
        const int first = 30000 + (platform::CurrentProcessId() % 700) * 40;
        ASSERT_EQ(QN_NET_SetServicePorts(login.Port(), static_cast<uint16_t>(first), static_cast<uint16_t>(first + 39)),
                  1);
        hub.SetNetEventCallBack(&Delivered::OnEvent, &delivered, 0);
        for (const char* step : {"data_base", "init_netsdk", "net_event_reg"}) ASSERT_EQ(hub.Init(step, "127.0.0.1"), 1);
        QN_NET_LOGIN_INFO info{};
        std::strcpy(info.account, "demo");
        std::strcpy(info.password, "secret");
        std::strcpy(info.terminal, "hub-live");
        uint32_t address = 0;
        ASSERT_EQ(hub.Login(&info, &address, &user), 1);
        ASSERT_EQ(hub.MgrConnect(), 1);
        pack = static_cast<RESPACK*>(hub.GetSourcePack("file_play"));
        ASSERT_NE(pack, nullptr);
        ASSERT_EQ(pack->platform->qn_mp_SetStreamCallBack(pack->source, &Delivered::OnFrame, &delivered, 0), 1);
        ASSERT_EQ(pack->platform->qn_mp_Play(pack->source), 1);
    }
};

// The live stream fixture: ffmpeg's stream with 4-byte start codes.
bool FourByteMedia(media_test::MediaFixture& media)
{
    if (!media.ok) return false;
    const std::string fourByte = media.folder.Path() + "/live4.264";
    if (streams_test::RunFixture("four-byte " + media.h264 + " " + fourByte).exitCode != 0) return false;
    media.h264 = fourByte;
    return true;
}

TEST(HubLive, ALiveStreamReachesTheSingleSourceFrameForFrameAndTheCardReachesTheTfModel)
{
    media_test::MediaFixture media;
    ASSERT_TRUE(FourByteMedia(media)) << "ffmpeg could not make the test stream";
    const std::string fourByte = media.h264;

    const int threadsBefore = testing_support::SettledThreadCount();
    Delivered delivered;
    {
        LiveService service(media);
        service.Start(delivered);
        if (::testing::Test::HasFatalFailure()) return;
        VLR_SYSTEM& hub = service.hub;
        RESPACK* pack = service.pack;

        void* live = hub.GetSourcePack("realplay");
        ASSERT_NE(live, nullptr);
        EXPECT_EQ(static_cast<void**>(live)[0], pack);
        const auto setCamera = LiveEntry<VLR_MODEL_SET_CAMERA>(live, 34);
        const auto release = LiveEntry<VLR_MODEL_PLAIN>(live, 35);
        const auto start = LiveEntry<VLR_MODEL_START>(live, 36);
        const auto stop = LiveEntry<VLR_MODEL_PLAIN>(live, 38);
        const auto recordControl = LiveEntry<VLR_MODEL_RECORD_CONTROL>(live, 39);
        const auto setRecordEnd = LiveEntry<VLR_MODEL_SET_RECORD_END>(live, 41);
        const auto setWords = LiveEntry<VLR_MODEL_SET_WORDS>(live, 42);
        EXPECT_EQ(setCamera(2, "7"), 0) << "another module's id";
        EXPECT_EQ(setRecordEnd(2, &OnRecordEnd, nullptr, 0), 0);
        EXPECT_EQ(setWords(2, 1, 2, 3), 0);
        ASSERT_EQ(setCamera(1, "7"), 1);
        EXPECT_EQ(setRecordEnd(1, &OnRecordEnd, &delivered, 5), 1);
        EXPECT_EQ(setWords(1, 1, 2, 3), 1);
        // Recorded as the live module records: every frame the platform hands out.
        const std::string mp4 = media.folder.Path() + "/live.mp4";
        ASSERT_EQ(recordControl(1, mp4.c_str(), 1, nullptr), 1);
        delivered.recorder = LiveEntry<VLR_MODEL_WRITE_FRAME>(live, 40);
        int32_t route = -1;
        ASSERT_EQ(start(1, &route), 1);
        EXPECT_EQ(route, 1);  // the local route
        {
            std::unique_lock<std::mutex> lock(delivered.mutex);
            delivered.changed.wait_for(lock, std::chrono::seconds(30), [&] { return delivered.frames >= kFrames; });
        }
        EXPECT_EQ(stop(1), 1);
        EXPECT_EQ(release(1), 1);
        pack->platform->qn_mp_Stop(pack->source);
        delivered.recorder = nullptr;
        int64_t written = -1;
        EXPECT_EQ(recordControl(1, nullptr, 0, &written), 1);
        EXPECT_EQ(written, kFrames);
        const auto probed = testing_support::RunCommand("ffprobe -v error -select_streams v -count_frames "
                                                        "-show_entries stream=nb_read_frames -of csv=p=0 " + mp4);
        EXPECT_EQ(probed.output, std::to_string(kFrames) + "\n");

        // The TF-card model plays the card's recording of the same camera
        // into the TF-card play module's callback.
        void* card = hub.GetSourcePack("ipc_rcd");
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(static_cast<void**>(card)[0], pack);
        const auto setCardCamera = LiveEntry<VLR_MODEL_SET_CAMERA>(card, 2);
        const auto playBack = LiveEntry<VLR_MODEL_PLAYBACK>(card, 4);
        const auto stopCard = LiveEntry<VLR_MODEL_PLAIN>(card, 6);
        const auto setCardData = LiveEntry<VLR_MODEL_SET_PLAYBACK_DATA>(card, 12);
        EXPECT_EQ(setCardCamera(1, "7"), 0) << "the live module's id";
        ASSERT_EQ(setCardCamera(2, "7"), 1);
        CardFrames cardFrames;
        ASSERT_EQ(setCardData(2, &CardFrames::OnData, &cardFrames, 9), 1);
        EXPECT_EQ(playBack(2, nullptr), 1) << "no request does nothing";
        const QN_NET_REMOTE_FILE file = MorningFile();
        ASSERT_EQ(playBack(2, &file), 1);
        {
            std::unique_lock<std::mutex> lock(cardFrames.mutex);
            cardFrames.changed.wait_for(lock, std::chrono::seconds(30), [&] { return cardFrames.video >= kFrames; });
            EXPECT_EQ(cardFrames.video, kFrames);
            EXPECT_EQ(cardFrames.lastValue, 9);
        }
        // Speed and position of the running playback.
        const auto setSpeed = LiveEntry<VLR_MODEL_SET_SPEED>(card, 7);
        const auto seek = LiveEntry<VLR_MODEL_SEEK>(card, 10);
        EXPECT_EQ(setSpeed(1, 2.0f), 0) << "the live module's id";
        EXPECT_EQ(seek(1, "50"), 0);
        EXPECT_EQ(setSpeed(2, 2.7f), 1);
        EXPECT_EQ(seek(2, "50"), 1);
        EXPECT_EQ(stopCard(2), 1);
    }
    std::lock_guard<std::mutex> lock(delivered.mutex);
    ASSERT_EQ(delivered.frames, kFrames);
    EXPECT_EQ(delivered.notices, 4) << "one notice after each key frame";
    const std::string out = media.folder.Path() + "/delivered.264";
    std::ofstream(out, std::ios::binary) << delivered.video;
    EXPECT_EQ(streams_test::FrameMd5(out), streams_test::FrameMd5(fourByte));
    EXPECT_EQ(testing_support::ThreadCount(), threadsBefore);
}

TEST(HubLive, AQualitySwitchMidStreamGoesOnFromTheNextKeyFrame)
{
    media_test::MediaFixture media;
    ASSERT_TRUE(FourByteMedia(media)) << "ffmpeg could not make the test stream";
    Delivered delivered;
    LiveService service(media);
    service.Start(delivered);
    if (::testing::Test::HasFatalFailure()) return;
    void* live = service.hub.GetSourcePack("realplay");
    ASSERT_NE(live, nullptr);
    const auto start = LiveEntry<VLR_MODEL_START>(live, 36);
    const auto setQuality = LiveEntry<VLR_MODEL_SET_QUALITY>(live, 37);
    const auto stop = LiveEntry<VLR_MODEL_PLAIN>(live, 38);
    ASSERT_EQ(LiveEntry<VLR_MODEL_SET_CAMERA>(live, 34)(1, "7"), 1);
    EXPECT_EQ(setQuality(2, "fluency"), 0) << "another module's id";
    int32_t route = -1;
    ASSERT_EQ(start(1, &route), 1);
    const auto waitFrames = [&](std::size_t count) {
        std::unique_lock<std::mutex> lock(delivered.mutex);
        return delivered.changed.wait_for(lock, std::chrono::seconds(30),
                                          [&] { return delivered.kinds.size() >= count; });
    };
    // Halfway through the first group of pictures (a key frame every 25).
    ASSERT_TRUE(waitFrames(10));
    std::size_t switched = 0;
    {
        std::lock_guard<std::mutex> lock(delivered.mutex);
        switched = delivered.kinds.size();
    }
    ASSERT_EQ(setQuality(1, "fluency"), 1);
    // The stream's key frames come every 25 frames, the last at frame 75.
    bool keyAfter = false;
    {
        std::unique_lock<std::mutex> lock(delivered.mutex);
        keyAfter = delivered.changed.wait_for(lock, std::chrono::seconds(30), [&] {
            return std::find(delivered.kinds.begin() + static_cast<long>(switched), delivered.kinds.end(),
                             "h264_I") != delivered.kinds.end();
        });
    }
    if (!keyAfter && switched >= 75) GTEST_SKIP() << "the machine was too slow: the switch came after the last key frame";
    ASSERT_TRUE(keyAfter) << "no key frame after the switch";
    EXPECT_EQ(setQuality(1, "no such quality"), 1) << "any other text asks for high definition";
    EXPECT_EQ(stop(1), 1);
    std::lock_guard<std::mutex> lock(delivered.mutex);
    // A frame the worker was already feeding, and one that came out while the
    // switch was being asked for, may still be of the old stream; after them
    // the stream goes on only from a key frame.
    const auto next = std::find(delivered.kinds.begin() + static_cast<long>(switched), delivered.kinds.end(), "h264_I");
    ASSERT_NE(next, delivered.kinds.end());
    EXPECT_LE(next - (delivered.kinds.begin() + static_cast<long>(switched)), 2)
        << "frames of the old stream went on after the switch";
}

TEST(HubLive, TalkThroughTheHubReachesTheCameraByteForByte)
{
    media_test::MediaFixture media;
    ASSERT_TRUE(FourByteMedia(media)) << "ffmpeg could not make the test stream";
    Delivered delivered;
    LiveService service(media);
    service.Start(delivered);
    if (::testing::Test::HasFatalFailure()) return;
    VLR_SYSTEM& hub = service.hub;
    void* live = hub.GetSourcePack("realplay");
    ASSERT_NE(live, nullptr);
    ASSERT_EQ(LiveEntry<VLR_MODEL_SET_CAMERA>(live, 34)(1, "7"), 1);
    int32_t route = -1;
    ASSERT_EQ(LiveEntry<VLR_MODEL_START>(live, 36)(1, &route), 1);

    const std::string alaw = media_test::ReadFile(media.alaw);
    ASSERT_FALSE(alaw.empty());
    ASSERT_EQ(hub.TalkCtrl(7, true), 1);
    int32_t talking = -1;
    EXPECT_EQ(hub.GetTalkState(7, &talking), 1);
    EXPECT_TRUE(talking == 0 || talking == 1);
    for (std::size_t at = 0; at < alaw.size(); at += 1000) {
        const auto length = static_cast<int32_t>(std::min<std::size_t>(1000, alaw.size() - at));
        ASSERT_EQ(hub.SendTalkData(7, alaw.data() + at, length), 1);
    }
    EXPECT_EQ(hub.TalkCtrl(7, false), 1);
    EXPECT_TRUE(testing_support::WaitUntil(
        [&] { return media_test::ReadFile(service.camera.TalkFile()).size() >= alaw.size(); }));
    EXPECT_EQ(testing_support::RunCommand("cmp " + media.alaw + " " + service.camera.TalkFile()).exitCode, 0)
        << "the talk audio the camera received differs from what was sent";
    EXPECT_EQ(hub.GetPTZConnectType(7), 1) << "the camera is on the local network";
    EXPECT_EQ(LiveEntry<VLR_MODEL_PLAIN>(live, 38)(1), 1);
}

} // namespace
