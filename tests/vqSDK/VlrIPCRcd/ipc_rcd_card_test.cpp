// The TF-card play module over the hub's TF-card model against the simulated
// LAN camera's card recording: every frame reaches the owner (the count
// catches P frames lost to the order check) with the source's pictures
// (ffmpeg framemd5); "i_only" delivers exactly the key frames ffprobe finds;
// rate requests while recording and repositions reach the management server;
// and starts and stops leave no thread behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/processes.h"
#include "streams/stream_fixture.h"
#include "support/this_process.h"
#include "support/wait_until.h"
#include "vqSDK/VlrIPCRcd/vlr_ipc_rcd.h"
#include "vqSDK/VlrNetSDK/camsim_peer.h"
#include "vqSDK/VlrRealplay/live_fixture.h"

namespace {

constexpr int kFrames = 100; // four seconds at 25 a second, a key frame every 25
// The pacing queue keeps the frames below its underrun mark back until more of
// the recording comes, and after the card's last frame none does.
constexpr std::size_t kDelivered = kFrames - (streams::StreamQueue::kUnderrunMark - 1);

// An ffmpeg framemd5 listing cut after its first `count` pictures.
std::string FirstPictures(const std::string& listing, std::size_t count)
{
    std::istringstream lines(listing);
    std::string cut;
    std::size_t pictures = 0;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != '#' && ++pictures > count) break;
        cut += line + "\n";
    }
    return cut;
}

// What the module's owner receives, written out as a decoder would be fed:
// each key frame behind the stream head that precedes it.
struct Received {
    std::mutex mutex;
    std::condition_variable changed;
    VlrIPCRcd* module = nullptr;
    std::string video;
    std::vector<uint32_t> numbers;
    int keyFrames = 0;
    int decrypted = 0;
    int withSyncId = 0;

    static int OnFrame(uint8_t* data, int32_t length, const MontFrameInfo* info, void* user, int32_t)
    {
        auto* self = static_cast<Received*>(user);
        if (!(info->flags & realplay::kFrameVideo)) return 1;
        std::string head;
        if (info->flags & realplay::kFrameKey) {
            const MontStreamHead* current = self->module->GetStreamHead();
            if (current != nullptr) head.assign(reinterpret_cast<const char*>(current->store), realplay::HeadUsed(*current));
        }
        std::lock_guard<std::mutex> lock(self->mutex);
        self->video += head;
        self->video.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
        self->numbers.push_back(info->frameNumber);
        if (info->flags & realplay::kFrameKey) ++self->keyFrames;
        if (info->flags & realplay::kFrameDecrypted) ++self->decrypted;
        // The sync id's level (bits 16-25 of word 1) is the queue's cache
        // level, 20 and up in steps of 10; its fills (flags bits 2-11 and
        // 12-21) are per mille.
        const uint32_t level = info->queueWord >> 16 & 0x3FF;
        const uint32_t byteFill = info->flags >> 2 & 0x3FF;
        const uint32_t entryFill = info->flags >> 12 & 0x3FF;
        if (level >= 20 && level <= 80 && level % 10 == 0 && byteFill <= 1000 && entryFill <= 1000 &&
            (info->flags & 0xFF000000u) == 0)
            ++self->withSyncId;
        self->changed.notify_all();
        return 1;
    }
    template <typename Done>
    bool WaitFor(Done done)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(60), [&] { return done(*this); });
    }
    std::string Numbers()
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::string text;
        for (uint32_t n : numbers) text += std::to_string(n) + " ";
        return text;
    }
    std::size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return numbers.size();
    }
};

// A one-minute recording from 08:00 on 2026-12-10 on the camera's card.
QN_NET_REMOTE_FILE MorningFile()
{
    QN_NET_REMOTE_FILE file{};
    const int32_t start[] = {2026, 12, 10, 8, 0, 0};
    std::copy(std::begin(start), std::end(start), file.values + 29);
    file.values[38] = 8;
    file.values[39] = 1;
    return file;
}

// The wire commands of the playback messages the management server received,
// in order: 11 a frame-rate request, 4 a reposition.
constexpr uint32_t kWireRateRequest = 11;
constexpr uint32_t kWireReposition = 4;
std::vector<uint32_t> PlaybackCommands(const netsdk_test::CamsimServer& mgr)
{
    std::vector<uint32_t> commands;
    const std::string key = "{\"id\": 20241,";
    for (const std::string& line : mgr.Frames()) {
        if (line.rfind(key, 0) != 0) continue;
        const auto at = line.find("\"body\": \"");
        if (at == std::string::npos) continue;
        const std::string body = media_test::HexBytes(line.substr(at + 9, line.find('"', at + 9) - at - 9));
        if (body.size() < 20) continue;
        uint32_t command = 0;
        std::memcpy(&command, body.data() + 16, 4);
        commands.push_back(command);
    }
    return commands;
}

bool Contains(const std::vector<uint32_t>& list, uint32_t value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

// The simulated camera with its card behind the management server, and the
// hub signed in; the module is the test's.
class IpcRcdCard : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("python3"))
            GTEST_SKIP() << "ffmpeg or python3 is not installed";
        ASSERT_TRUE(media.ok) << "ffmpeg could not make the test stream";
        ASSERT_TRUE(realplay_test::MakeLiveFixture(media, nullptr, &clear));
        threadsBefore = testing_support::SettledThreadCount();
        camera = std::make_unique<media_test::MediaPeer>("lan_camera", media, "--card");
        ASSERT_NE(camera->Port(), 0) << "the simulated LAN camera did not start";
        mgr = std::make_unique<netsdk_test::CamsimServer>("mgr", "--camera-port " + std::to_string(camera->Port()));
        ASSERT_NE(mgr->Port(), 0);
        login = std::make_unique<netsdk_test::CamsimLogin>("--account demo:secret --mgr-port " +
                                                           std::to_string(mgr->Port()));
        ASSERT_NE(login->Port(), 0);
        const int first = 30000 + (platform::CurrentProcessId() % 700) * 40;
        ASSERT_EQ(QN_NET_SetServicePorts(login->Port(), static_cast<uint16_t>(first), static_cast<uint16_t>(first + 39)),
                  1);
        hub = std::make_unique<VLR_SYSTEM>();
        for (const char* step : {"data_base", "init_netsdk", "net_event_reg"}) ASSERT_EQ(hub->Init(step, "127.0.0.1"), 1);
        QN_NET_LOGIN_INFO info{};
        std::strcpy(info.account, "demo");
        std::strcpy(info.password, "secret");
        std::strcpy(info.terminal, "ipc-rcd");
        uint32_t address = 0;
        ASSERT_EQ(hub->Login(&info, &address, &user), 1);
        ASSERT_EQ(hub->MgrConnect(), 1);
        // The SDK learns the camera's route from a live play, as the client
        // shows a camera live before its card.
        void* live = hub->GetSourcePack("realplay");
        ASSERT_NE(live, nullptr);
        ASSERT_EQ(reinterpret_cast<VLR_MODEL_SET_CAMERA>(static_cast<void**>(live)[34])(RES_PACK_USER_REALPLAY, "7"), 1);
        int32_t route = -1;
        ASSERT_EQ(reinterpret_cast<VLR_MODEL_START>(static_cast<void**>(live)[36])(RES_PACK_USER_REALPLAY, &route), 1);
        ASSERT_EQ(route, 1) << "the local route";
        ASSERT_EQ(reinterpret_cast<VLR_MODEL_PLAIN>(static_cast<void**>(live)[38])(RES_PACK_USER_REALPLAY), 1);
        ASSERT_EQ(reinterpret_cast<VLR_MODEL_PLAIN>(static_cast<void**>(live)[35])(RES_PACK_USER_REALPLAY), 1);
        module = std::make_unique<VlrIPCRcd>();
        received.module = module.get();
        ASSERT_EQ(module->SetSourcePack(hub->GetSourcePack("ipc_rcd")), 1);
        ASSERT_EQ(module->SetFrameCallBack(&Received::OnFrame, &received, 0), 1);
        ASSERT_EQ(module->LockCamera("7"), 1);
    }
    void TearDown() override
    {
        const auto* pack = hub ? static_cast<const RESPACK*>(static_cast<void**>(hub->GetSourcePack("ipc_rcd"))[0]) : nullptr;
        if (module && pack != nullptr && pack->owner == RES_PACK_USER_IPCRCD) {
            if (module->ChannelState() & IPCRCD_PLAYING) {
                EXPECT_EQ(module->SendCtrl("stop", nullptr, nullptr), 1);
            }
            EXPECT_EQ(module->UnlockCamera(), 1);
        }
        module.reset();
        if (hub) {
            hub->Logout(user);
            hub->Init("clean_up", nullptr);
            hub.reset();
        }
        login.reset();
        mgr.reset();
        camera.reset();
        if (threadsBefore != 0) {
            EXPECT_EQ(testing_support::ThreadCount(), threadsBefore) << "a thread outlived its stop";
        }
    }

    void Start()
    {
        const QN_NET_REMOTE_FILE file = MorningFile();
        ASSERT_EQ(module->SendCtrl("start", nullptr, const_cast<QN_NET_REMOTE_FILE*>(&file)), 1);
        EXPECT_EQ(module->ChannelState() & IPCRCD_PLAYING, IPCRCD_PLAYING);
    }

    media_test::MediaFixture media;
    std::string clear;
    int threadsBefore = 0;
    std::unique_ptr<media_test::MediaPeer> camera;
    std::unique_ptr<netsdk_test::CamsimServer> mgr;
    std::unique_ptr<netsdk_test::CamsimLogin> login;
    std::unique_ptr<VLR_SYSTEM> hub;
    uint32_t user = 0;
    Received received;
    std::unique_ptr<VlrIPCRcd> module;
};

TEST_F(IpcRcdCard, EveryFrameOfTheCardReachesTheOwnerWithTheSourcesPictures)
{
    Start();
    ASSERT_TRUE(received.WaitFor([](const Received& r) { return r.numbers.size() >= kDelivered; }))
        << "frames received: " << received.Count() << ": " << received.Numbers();
    EXPECT_EQ(module->SendCtrl("stop", nullptr, nullptr), 1);
    // The unlock joins the controller: whatever it was still to release is out.
    EXPECT_EQ(module->UnlockCamera(), 1);
    std::lock_guard<std::mutex> lock(received.mutex);
    ASSERT_EQ(received.numbers.size(), kDelivered) << "a P frame was lost, or the queue's tail came out";
    for (std::size_t i = 0; i < received.numbers.size(); ++i) {
        EXPECT_EQ(received.numbers[i], i + 1) << "frame " << i;
    }
    EXPECT_EQ(received.keyFrames, kFrames / 25);
    EXPECT_EQ(received.decrypted, static_cast<int>(kDelivered)) << "a clear stream needs no decryption";
    EXPECT_EQ(received.withSyncId, static_cast<int>(kDelivered)) << "each frame carries its sync id";
    const std::string out = media.folder.Path() + "/received.264";
    media_test::WriteFile(out, received.video);
    EXPECT_EQ(streams_test::FrameMd5(out), FirstPictures(streams_test::FrameMd5(clear), kDelivered));
}

TEST_F(IpcRcdCard, KeyFramesOnlyDeliversExactlyTheKeyFramesFfprobeFinds)
{
    // The source's key frames by number (from 1), as ffprobe sees them.
    const auto probed = testing_support::RunCommand("ffprobe -v error -show_frames -show_entries frame=key_frame "
                                                    "-of csv=p=0 " + clear);
    ASSERT_EQ(probed.exitCode, 0);
    std::vector<uint32_t> keys;
    std::istringstream lines(probed.output);
    uint32_t number = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) continue;
        ++number;
        if (line[0] == '1') keys.push_back(number);
    }
    ASSERT_EQ(number, static_cast<uint32_t>(kFrames));
    ASSERT_FALSE(keys.empty());

    EXPECT_EQ(module->SendCtrl("out_speed", "i_only", nullptr), 1);
    Start();
    ASSERT_TRUE(received.WaitFor([&](const Received& r) { return r.numbers.size() >= keys.size(); }));
    EXPECT_EQ(module->SendCtrl("stop", nullptr, nullptr), 1);
    // The unlock joins the controller: whatever it was still to release is out.
    EXPECT_EQ(module->UnlockCamera(), 1);
    std::lock_guard<std::mutex> lock(received.mutex);
    EXPECT_EQ(received.numbers, keys);
    EXPECT_EQ(received.keyFrames, static_cast<int>(keys.size()));
}

TEST_F(IpcRcdCard, RateRequestsWhileRecordingAndRepositionsReachTheManagementServer)
{
    Start();
    ASSERT_TRUE(received.WaitFor([](const Received& r) { return !r.numbers.empty(); }));
    // A start clears the recording mark: the recording starts after it.
    const std::string mp4 = media.folder.Path() + "/card.mp4";
    ASSERT_EQ(module->SendCtrl("start_record", mp4.c_str(), nullptr), 1);
    EXPECT_EQ(module->ChannelState(), IPCRCD_PLAYING | IPCRCD_RECORDING);
    EXPECT_EQ(module->SendCtrl("repos", "50", nullptr), 1);
    // The controller asks for another rate at its first fill check that finds
    // the received rate far from what the queue's fill wants.
    const auto seen = [&](uint32_t command) {
        return testing_support::WaitUntil([&] { return Contains(PlaybackCommands(*mgr), command); },
                                          testing_support::kEventBoundMs, 50);
    };
    EXPECT_TRUE(seen(kWireRateRequest)) << "no rate request reached the server";
    EXPECT_TRUE(seen(kWireReposition)) << "the reposition did not reach the server";
    // The recording holds what came from a key frame on, as ffprobe reads it.
    ASSERT_TRUE(received.WaitFor([](const Received& r) { return r.keyFrames >= 3; }));
    int64_t written = -1;
    EXPECT_EQ(module->SendCtrl("stop_record", nullptr, &written), 1);
    EXPECT_GT(written, 0) << "the recorder got no frames";
    const auto probed = testing_support::RunCommand("ffprobe -v error -select_streams v -count_frames "
                                                    "-show_entries stream=nb_read_frames -of csv=p=0 " + mp4);
    EXPECT_EQ(probed.output, std::to_string(written) + "\n");
}

// Every start and stop starts and joins the pacing controller's threads; the
// lock and unlock around them too. OSTRELS_PLAY_CYCLES sets the count.
TEST_F(IpcRcdCard, StartAndStopCyclesLeaveNoThreadBehind)
{
    // The simulated peers live two minutes; under the thread sanitizer about
    // a hundred cycles fit on a loaded machine, so the soak stops at 50.
    const int asked = std::atoi(platform::GetEnv("OSTRELS_PLAY_CYCLES").value_or("").c_str());
    const int cycles = asked > 0 ? std::min(asked, 50) : 2;
    for (int i = 0; i < cycles; ++i) {
        const std::size_t before = received.Count();
        Start();
        ASSERT_TRUE(received.WaitFor([&](const Received& r) { return r.numbers.size() > before; })) << "cycle " << i;
        ASSERT_EQ(module->SendCtrl("stop", nullptr, nullptr), 1) << "cycle " << i;
        ASSERT_EQ(module->UnlockCamera(), 1) << "cycle " << i;
        ASSERT_EQ(module->LockCamera("7"), 1) << "cycle " << i;
    }
}

} // namespace
