// The live play module over the hub's live model against the simulated LAN
// camera: the frames its owner receives decode (ffmpeg framemd5) to the
// source's pictures, one for one; a protected stream decrypts with the right
// custom password and holds audio back with a wrong one; a recording started
// with "start_record" is read by ffprobe with every frame fed to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/processes.h"
#include "streams/frame_decrypt.h"
#include "streams/montage.h"
#include "streams/stream_fixture.h"
#include "support/stream_encryptor.h"
#include "support/this_process.h"
#include "vqSDK/VlrNetSDK/camsim_peer.h"
#include "vqSDK/VlrNetSDK/media/media_peer.h"
#include "vqSDK/VlrRealplay/live_fixture.h"
#include "vqSDK/VlrRealplay/vlr_realplay.h"

namespace {

constexpr int kFrames = 100; // four seconds at 25 a second, a key frame every 25
constexpr uint32_t kAudioFrame = 320;
const char kPassword[] = "north gate camera";

using realplay_test::Bytes;
using realplay_test::MakeLiveFixture;

// What the module's owner receives, written out as a decoder would be fed:
// each key frame behind the stream head that precedes it.
struct Received {
    std::mutex mutex;
    std::condition_variable changed;
    VLR_REALPLAY* module = nullptr;
    std::string video;
    std::string audio;
    int frames = 0;
    int decrypted = 0;
    int protectedFrames = 0;
    int headless = 0;
    std::vector<std::pair<int32_t, uint32_t>> states;
    std::vector<int32_t> events;
    std::vector<std::thread::id> threads; // every thread a frame came on

    static int OnFrame(uint8_t* data, int32_t length, const MontFrameInfo* info, void* user, int32_t)
    {
        auto* self = static_cast<Received*>(user);
        std::string head;
        if (std::strcmp(info->kind, "h264_I") == 0) {
            // The facade's way: the head is read on the frame's own thread.
            const MontStreamHead* current = self->module->GetStreamHead();
            if (current != nullptr) head.assign(reinterpret_cast<const char*>(current->store), realplay::HeadUsed(*current));
        }
        std::lock_guard<std::mutex> lock(self->mutex);
        if (std::find(self->threads.begin(), self->threads.end(), std::this_thread::get_id()) == self->threads.end())
            self->threads.push_back(std::this_thread::get_id());
        if (std::strcmp(info->kind, "g711a") == 0) {
            self->audio.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
        } else {
            if (std::strcmp(info->kind, "h264_I") == 0 && head.empty()) ++self->headless;
            self->video += head;
            self->video.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
            ++self->frames;
            if (info->flags & realplay::kFrameDecrypted) ++self->decrypted;
            if (info->flags & realplay::kFrameProtected) ++self->protectedFrames;
        }
        self->changed.notify_all();
        return 1;
    }
    static void OnState(int32_t state, int32_t, const uint32_t* keyType, void* user, int32_t)
    {
        auto* self = static_cast<Received*>(user);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->states.emplace_back(state, *keyType);
    }
    static void OnEvent(int32_t event, int32_t, const char*, void* user, int32_t)
    {
        auto* self = static_cast<Received*>(user);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->events.push_back(event);
    }
    int Count(int32_t event)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }
};

struct LiveRun {
    std::string password;    // "security_custom"; empty sends none
    bool record = true;
    std::string mp4;         // where the recording went
    int64_t recorded = -1;   // the recorder's frame count
};

// One live session: the simulated camera behind the management server, the
// hub signed in, the module locked, started and (with a recording) stopped
// after every frame of the fixture reached the owner.
void RunLive(media_test::MediaFixture& media, LiveRun& run, Received& received)
{
    media_test::MediaPeer camera("lan_camera", media, "");
    ASSERT_NE(camera.Port(), 0) << "the simulated LAN camera did not start";
    netsdk_test::CamsimServer mgr("mgr", "--camera-port " + std::to_string(camera.Port()));
    ASSERT_NE(mgr.Port(), 0);
    netsdk_test::CamsimLogin login("--account demo:secret --mgr-port " + std::to_string(mgr.Port()));
    ASSERT_NE(login.Port(), 0);
    const int first = 30000 + (platform::CurrentProcessId() % 700) * 40;
    ASSERT_EQ(QN_NET_SetServicePorts(login.Port(), static_cast<uint16_t>(first), static_cast<uint16_t>(first + 39)), 1);

    VLR_SYSTEM hub;
    for (const char* step : {"data_base", "init_netsdk", "net_event_reg"}) ASSERT_EQ(hub.Init(step, "127.0.0.1"), 1);
    QN_NET_LOGIN_INFO info{};
    std::strcpy(info.account, "demo");
    std::strcpy(info.password, "secret");
    std::strcpy(info.terminal, "realplay-live");
    uint32_t address = 0, user = 0;
    ASSERT_EQ(hub.Login(&info, &address, &user), 1);
    ASSERT_EQ(hub.MgrConnect(), 1);
    {
        VLR_REALPLAY module;
        received.module = &module;
        ASSERT_EQ(module.SetSourcePack(hub.GetSourcePack("realplay")), 1);
        module.SetStateCallBack(&Received::OnState, &received, 0);
        module.SetEventCallBack(&Received::OnEvent, &received, 0);
        ASSERT_EQ(module.SetFrameCallBack(&Received::OnFrame, &received, 0), 1);
        if (!run.password.empty()) {
            ASSERT_EQ(module.SendCtrl("security_custom", run.password.c_str(), nullptr), 1);
        }
        ASSERT_EQ(module.LockCamera("7"), 1);
        if (run.record) {
            run.mp4 = media.folder.Path() + "/live.mp4";
            ASSERT_EQ(module.SendCtrl("start_record", run.mp4.c_str(), nullptr), 1);
        }
        int32_t route = -1;
        ASSERT_EQ(module.SendCtrl("start", nullptr, &route), 1);
        EXPECT_EQ(route, 1) << "the local route";
        {
            std::unique_lock<std::mutex> lock(received.mutex);
            received.changed.wait_for(lock, std::chrono::seconds(30), [&] { return received.frames >= kFrames; });
        }
        // The platform hands out one frame at a time: once a frame of our own
        // has gone through the source, so has everything before it, the last
        // frame's recording included.
        RESPACK* pack = static_cast<RESPACK*>(static_cast<void**>(hub.GetSourcePack("realplay"))[0]);
        std::string audio;
        {
            std::lock_guard<std::mutex> lock(received.mutex);
            audio = received.audio;
        }
        const Bytes silence(kAudioFrame, 0xD5);
        pack->platform->qn_mp_InputData(pack->source, silence.data(), kAudioFrame, "audio_g711a_single_qn2");
        if (run.record) {
            EXPECT_EQ(module.SendCtrl("stop_record", nullptr, &run.recorded), 1);
        }
        EXPECT_EQ(module.ChannelState(), REALPLAY_PLAYING);
        EXPECT_EQ(module.SendCtrl("set_quality", "fluency", nullptr), 1);
        EXPECT_EQ(module.SendCtrl("stop", nullptr, nullptr), 1);
        EXPECT_EQ(module.UnlockCamera(), 1);
        EXPECT_EQ(pack->owner, RES_PACK_USER_NONE);
        std::lock_guard<std::mutex> lock(received.mutex);
        received.audio = audio;
        // Frames come on the hub's one frame thread, the barrier's on ours.
        EXPECT_EQ(received.threads.size(), received.audio.empty() ? 1u : 2u);
        EXPECT_EQ(received.threads.front() == std::this_thread::get_id(), false);
        received.module = nullptr;
    }
    hub.Logout(user);
    hub.Init("clean_up", nullptr);
}

class RealplayLive : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("python3"))
            GTEST_SKIP() << "ffmpeg or python3 is not installed";
        ASSERT_TRUE(media.ok) << "ffmpeg could not make the test stream";
        alaw = media_test::ReadFile(media.alaw);
        threadsBefore = testing_support::SettledThreadCount();
    }
    void TearDown() override
    {
        if (threadsBefore != 0) {
            EXPECT_EQ(testing_support::ThreadCount(), threadsBefore) << "a thread outlived its stop";
        }
    }

    // The pictures of what the owner received against the clear source's.
    void ExpectSourcePictures(const std::string& clear)
    {
        const std::string out = media.folder.Path() + "/received.264";
        media_test::WriteFile(out, received.video);
        EXPECT_EQ(streams_test::FrameMd5(out), streams_test::FrameMd5(clear));
    }

    // The recording holds every frame fed to it, with the source's pictures.
    void ExpectRecording(const LiveRun& run, const std::string& clear)
    {
        EXPECT_EQ(run.recorded, kFrames);
        const auto probed = testing_support::RunCommand("ffprobe -v error -select_streams v -count_frames "
                                                        "-show_entries stream=nb_read_frames -of csv=p=0 " + run.mp4);
        EXPECT_EQ(probed.output, std::to_string(kFrames) + "\n");
        const auto recorded = media_test::FrameDigests(run.mp4 + " -map 0:v");
        const auto source = media_test::FrameDigests(clear);
        ASSERT_EQ(recorded.size(), source.size());
        for (std::size_t i = 0; i < source.size(); ++i) {
            EXPECT_EQ(media_test::DigestOf(recorded[i]), media_test::DigestOf(source[i])) << "picture " << i;
        }
    }

    media_test::MediaFixture media;
    std::string alaw;
    Received received;
    int threadsBefore = 0;
};

TEST_F(RealplayLive, AClearStreamReachesTheOwnerFrameForFrameAndIsRecorded)
{
    std::string clear;
    ASSERT_TRUE(MakeLiveFixture(media, nullptr, &clear));
    LiveRun run;
    RunLive(media, run, received);
    ASSERT_EQ(received.frames, kFrames);
    EXPECT_EQ(received.headless, 0);
    EXPECT_EQ(received.decrypted, kFrames) << "a clear stream needs no decryption";
    EXPECT_EQ(received.protectedFrames, 0);
    ExpectSourcePictures(clear);
    // Audio is held back until the first key frame, which follows the first audio block.
    EXPECT_EQ(received.audio, alaw.substr(kAudioFrame));
    const std::vector<std::pair<int32_t, uint32_t>> states(kFrames / 25, {PLAY_STATE_PASSWORD_OK, 0});
    EXPECT_EQ(received.states, states);
    EXPECT_EQ(received.Count(PLAY_EVENT_KEY_FRAME), kFrames / 25);
    EXPECT_EQ(received.Count(PLAY_EVENT_RECORD_FRAME), kFrames - kFrames / 25) << "clear P frames only";
    ExpectRecording(run, clear);
}

TEST_F(RealplayLive, AProtectedStreamDecryptsWithTheRightCustomPassword)
{
    const testing_support::StreamEncryptor camera(kPassword, 2);
    std::string clear;
    ASSERT_TRUE(MakeLiveFixture(media, &camera, &clear));
    LiveRun run;
    run.password = kPassword;
    RunLive(media, run, received);
    ASSERT_EQ(received.frames, kFrames);
    EXPECT_EQ(received.decrypted, kFrames);
    EXPECT_EQ(received.protectedFrames, kFrames);
    ExpectSourcePictures(clear);
    EXPECT_EQ(received.audio, alaw.substr(kAudioFrame));
    const std::vector<std::pair<int32_t, uint32_t>> states(kFrames / 25, {PLAY_STATE_PASSWORD_OK, 2});
    EXPECT_EQ(received.states, states);
    EXPECT_EQ(received.Count(PLAY_EVENT_RECORD_FRAME), kFrames) << "every frame decrypted for the recorder";
    EXPECT_EQ(received.Count(PLAY_EVENT_RECORD_DECRYPT), 0);
    ExpectRecording(run, clear);
}

TEST_F(RealplayLive, AWrongCustomPasswordReportsItsStateAndWithholdsAudio)
{
    const testing_support::StreamEncryptor camera(kPassword, 2);
    std::string clear;
    ASSERT_TRUE(MakeLiveFixture(media, &camera, &clear));
    LiveRun run;
    run.password = "south gate camera";
    run.record = false;
    RunLive(media, run, received);
    ASSERT_EQ(received.frames, kFrames) << "frames that do not decrypt are still passed on";
    EXPECT_EQ(received.decrypted, 0);
    EXPECT_EQ(received.protectedFrames, kFrames);
    EXPECT_TRUE(received.audio.empty());
    const std::vector<std::pair<int32_t, uint32_t>> states(kFrames, {PLAY_STATE_CUSTOM_WRONG, 2});
    EXPECT_EQ(received.states, states);
}

} // namespace
