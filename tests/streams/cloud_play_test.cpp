// Cloud play end to end: ffmpeg-made segments with the camera's private SEI,
// wrapped in the private unit form, a day index, both uploaded with boto3 to
// a moto_server that checks every signature, credentials from the simulated
// management server, and the player's four threads on a stepping clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "streams/vq_cloud.h"
#include "support/moto_store_fixture.h"
#include "support/stepping_clock.h"
#include "support/stream_encryptor.h"
#include "support/this_process.h"
#include "support/wait_until.h"
#include "vqSDK/VlrNetSDK/camsim_peer.h"
#include "vqSDK/VlrNetSDK/cloud/day_index.h"

namespace {

using cloud_test::Quote;

constexpr int32_t kCamera = 77;
constexpr int kFramesPerSegment = 25;
constexpr int kRecordedRate = 25;
const int kSlots[] = {3600, 3601, 3602}; // 10:00:00, 10:00:10, 10:00:20

std::string Tool(const std::string& script) { return "/usr/bin/python3 " + Quote(cloud_test::SourcePath(script)); }

std::string FrameMd5(const std::string& path)
{
    std::string output;
    if (cloud_test::Run("ffmpeg -v error -f h264 -i " + Quote(path) + " -f framemd5 - 2>&1", &output) != 0)
        return "failed";
    return output;
}

uint32_t PackedDate(int year, int month, int day, int hour, int minute, int second)
{
    return static_cast<uint32_t>(second | minute << 6 | hour << 12 | day << 17 | month << 22 | (year - 2000) << 26);
}

std::string SegmentName(int day, int slot)
{
    const std::string path = qn_cloud::SegmentFileName("/", 2026, 3, day, slot);
    return path.substr(1);
}

struct Collected {
    std::mutex mutex;
    std::string video;
    int videoFrames = 0;
    int audioFrames = 0;
    std::vector<std::string> keyTimes;
    std::vector<int> events;

    static int OnVideo(VQ_FRAME_INFO* frame, void* user, int)
    {
        auto* self = static_cast<Collected*>(user);
        std::lock_guard<std::mutex> hold(self->mutex);
        self->video.append(reinterpret_cast<const char*>(frame->data), static_cast<std::size_t>(frame->length));
        ++self->videoFrames;
        if (frame->key == 0) {
            char text[40];
            std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", frame->year, frame->month, frame->day,
                          frame->hour, frame->minute, frame->second);
            self->keyTimes.push_back(text);
        }
        return 0;
    }
    static int OnAudio(VQ_FRAME_INFO* frame, void* user, int)
    {
        auto* self = static_cast<Collected*>(user);
        std::lock_guard<std::mutex> hold(self->mutex);
        if (frame->key == 2 && frame->length == 160) ++self->audioFrames;
        return 0;
    }
    static void OnEvent(VQ_EVENT_INFO* event, void* user, int)
    {
        auto* self = static_cast<Collected*>(user);
        std::lock_guard<std::mutex> hold(self->mutex);
        self->events.push_back(event->code);
    }
    int Count(int code)
    {
        std::lock_guard<std::mutex> hold(mutex);
        return static_cast<int>(std::count(events.begin(), events.end(), code));
    }
    int Frames()
    {
        std::lock_guard<std::mutex> hold(mutex);
        return videoFrames;
    }
};

class CloudPlay : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!cloud_test::MotoServer::Installed() || cloud_test::MotoServer::Get() == nullptr) return;
        folder_ = new cloud_test::TempFolder;
        ok_ = MakeFixtures();
    }
    static void TearDownTestSuite()
    {
        delete folder_;
        folder_ = nullptr;
    }

    // Three one-second segments of a three-second ffmpeg stream (x264's
    // own SEI removed, as a camera has none), each with a private panorama
    // SEI that stamps its key frame and names no key (key type 0, check
    // bits set), uploaded for 2026-03-14; the first and
    // the last again for 2026-03-15, whose index also lists the middle one.
    static bool MakeFixtures()
    {
        const cloud_test::Store& s = *cloud_test::MotoServer::Get();
        const std::string alaw = File("tone.alaw");
        if (cloud_test::Run(
                "ffmpeg -v error -y -f lavfi -i sine=f=440:sample_rate=8000:duration=1 -c:a pcm_alaw -f alaw " +
                Quote(alaw)) != 0) {
            return false;
        }
        for (int k = 0; k < 3; ++k) {
            const std::string n = std::to_string(k);
            const std::string sei = File("sei" + n);
            if (cloud_test::Run("ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=3 -ss " + n +
                                " -frames:v 25 -c:v libx264 -g 25 -bf 0 -bsf:v "
                                "filter_units=remove_types=6,h264_metadata=aud=insert "
                                "-f h264 " +
                                Quote(File("src" + n + ".h264"))) != 0 ||
                cloud_test::Run(Tool("tools/streamfix/stream_fixture.py") + " sei 3 " + Quote(sei) +
                                " size=64 time=1 rate1=25 rate2=25 sec_low=0x01010100 time_value=" +
                                std::to_string(PackedDate(2026, 3, 14, 10, 0, 10 * k)) + " >/dev/null") != 0 ||
                cloud_test::Run(Tool("tools/streamfix/stream_fixture.py") + " four-byte " +
                                Quote(File("src" + n + ".h264")) + " " + Quote(File("four" + n + ".h264"))) != 0 ||
                cloud_test::Run(Tool("tools/streamfix/stream_fixture.py") + " inject " +
                                Quote(File("four" + n + ".h264")) + " " + Quote(File("sei" + n + ".h264")) + " " +
                                Quote(sei)) != 0 ||
                cloud_test::Run(Tool("tools/cloudsim/segment_fixture.py") + " private " +
                                Quote(File("sei" + n + ".h264")) + " " + Quote(alaw) + " " +
                                Quote(File("seg" + n + ".264")) + " --fields 320 240 25 >/dev/null") != 0) {
                return false;
            }
        }
        if (cloud_test::Run("cat " + Quote(File("src0.h264")) + " " + Quote(File("src1.h264")) + " " +
                            Quote(File("src2.h264")) + " > " + Quote(File("day14.h264"))) != 0 ||
            cloud_test::Run("cat " + Quote(File("src0.h264")) + " " + Quote(File("src2.h264")) + " > " +
                            Quote(File("day15.h264"))) != 0) {
            return false;
        }
        if (!MakeProtectedDay(s)) return false;
        for (int day : {14, 15}) {
            const std::string date = "202603" + std::to_string(day);
            const std::string index = File("day" + std::to_string(day) + ".index");
            std::string slots;
            for (int slot : kSlots) slots += " " + std::to_string(slot) + "=81";
            if (cloud_test::Run(Tool("tools/cloudsim/day_index_fixture.py") + " day " + Quote(index) + " UTC " + date +
                                slots + " >/dev/null") != 0) {
                return false;
            }
            // The store's index is not marked complete; the player marks its copy.
            std::fstream edit(index, std::ios::in | std::ios::out | std::ios::binary);
            edit.seekp(15);
            edit.put('0');
            edit.close();
            if (!Put(s, date + "/corvul_day_" + date + ".index", index)) return false;
            for (int k = 0; k < 3; ++k) {
                if (day == 15 && k == 1) continue; // listed, never uploaded: the store answers 404
                const std::string key = date + "/" + date + "_10/" + SegmentName(day, kSlots[k]);
                if (!Put(s, key, File("seg" + std::to_string(k) + ".264"))) return false;
            }
        }
        return true;
    }
    // 2026-03-16: the first segment again, protected as a camera protects
    // it: its SEI names a custom key of the test encryptor's and keeps the
    // key frames' first 208 bytes (parameter sets and SEI) and the other
    // frames' first 8 clear, and the test encryptor encrypts the rest of
    // each access unit.
    static bool MakeProtectedDay(const cloud_test::Store& s)
    {
        constexpr uint32_t kInterval = 64;
        constexpr uint32_t kKeyClear = 26 * 8;
        constexpr uint32_t kOtherClear = 1 * 8; // the fixture's protection word 0x01010101
        const std::string sei = File("sei_protected");
        const std::string plain = File("protected_plain.h264");
        for (int attempt = 0; attempt < 20; ++attempt) {
            password_ = "cloud-pass-" + std::to_string(attempt);
            const testing_support::StreamEncryptor camera(password_, 2);
            // Some flags put 00 00 0x into the unit; the tool refuses those.
            if (cloud_test::Run(Tool("tools/streamfix/stream_fixture.py") + " sei 3 " + Quote(sei) +
                                " size=64 time=1 rate1=25 rate2=25 key_clear=26 interval=1 sec_low=" +
                                std::to_string(camera.Low(0x0F)) + " sec_high=" + std::to_string(camera.High()) +
                                " time_value=" + std::to_string(PackedDate(2026, 3, 16, 10, 0, 0)) +
                                " >/dev/null 2>&1") != 0 ||
                cloud_test::Run(Tool("tools/streamfix/stream_fixture.py") + " inject " + Quote(File("four0.h264")) +
                                " " + Quote(plain) + " " + Quote(sei)) != 0) {
                continue;
            }
            // Access units begin with their delimiter.
            std::string stream = cloud_test::ReadFile(plain);
            const std::string delimiter("\0\0\0\1\x09", 5);
            const auto startCodes = [](const std::string& text) {
                std::size_t count = 0;
                for (std::size_t at = text.find(std::string("\0\0\1", 3)); at != std::string::npos;
                     at = text.find(std::string("\0\0\1", 3), at + 1)) {
                    ++count;
                }
                return count;
            };
            const std::size_t before = startCodes(stream);
            for (std::size_t at = stream.find(delimiter); at != std::string::npos;) {
                const std::size_t next = stream.find(delimiter, at + 1);
                const std::size_t end = next == std::string::npos ? stream.size() : next;
                auto* unit = reinterpret_cast<uint8_t*>(&stream[at]);
                const bool key = stream.find(std::string("\0\0\1\x65", 4), at) < end;
                const uint32_t clear = key ? kKeyClear : kOtherClear;
                camera.EncryptFrame(unit, end - at, kInterval | clear << 16, key ? 2 : 4);
                at = next;
            }
            // Cipher bytes that read as a start code would split a unit; another key then.
            if (startCodes(stream) != before) continue;
            cloud_test::WriteFile(File("protected.h264"), stream);
            const std::string date = "20260316";
            const std::string index = File("day16.index");
            return cloud_test::Run(Tool("tools/cloudsim/segment_fixture.py") + " private " +
                                   Quote(File("protected.h264")) + " " + Quote(File("tone.alaw")) + " " +
                                   Quote(File("protected.264")) + " --fields 320 240 25 >/dev/null") == 0 &&
                   cloud_test::Run(Tool("tools/cloudsim/day_index_fixture.py") + " day " + Quote(index) + " UTC " +
                                   date + " " + std::to_string(kSlots[0]) + "=81 >/dev/null") == 0 &&
                   Put(s, date + "/corvul_day_" + date + ".index", index) &&
                   Put(s, date + "/" + date + "_10/" + SegmentName(16, kSlots[0]), File("protected.264"));
        }
        return false;
    }
    static bool Put(const cloud_test::Store& s, const std::string& name, const std::string& path)
    {
        return cloud_test::Run(Quote(cloud_test::MotoPython()) + " " +
                               Quote(cloud_test::SourcePath("tools/cloudsim/s3_peek.py")) + " " + Quote(s.stateFile) +
                               " put " + Quote(s.prefix + "/" + name) + " " + Quote(path)) == 0;
    }
    static std::string File(const std::string& name) { return folder_->File(name); }

    void SetUp() override
    {
        if (!cloud_test::MotoServer::Installed()) GTEST_SKIP() << "moto is not installed (bash scripts/oracles.sh)";
        ASSERT_TRUE(ok_) << "the fixtures were not made (ffmpeg with libx264, the fixture tools, moto_server)";
        ASSERT_NO_FATAL_FAILURE(SignIn(cloud_test::MotoServer::Get()->stateFile));
        streams::cloudSetClock(&clock_);
        ASSERT_EQ(vqCloudCreate(), 0);
        ASSERT_EQ(vqCloudSetFolder(local_.Folder().c_str()), 0);
        ASSERT_EQ(vqCloudSetVideoCallback(&Collected::OnVideo, &got_, 0), 0);
        ASSERT_EQ(vqCloudSetAudioCallback(&Collected::OnAudio, &got_, 0), 0);
        ASSERT_EQ(vqCloudSetEventCallback(&Collected::OnEvent, &got_, 0), 0);
    }
    void TearDown() override
    {
        vqCloudDestroy();
        streams::cloudSetClock(nullptr);
        if (baseline_ > 0) {
            EXPECT_EQ(testing_support::SettledThreadCount(), baseline_) << "a cloud thread was left behind";
        }
        if (user_ != 0) QN_NET_Logout(user_);
        QN_NET_Cleanup();
        mgr_.reset();
        login_.reset();
    }

    // Signs in anew with the management server answering from `store`.
    void SignIn(const std::string& store)
    {
        if (user_ != 0) QN_NET_Logout(user_);
        user_ = 0;
        QN_NET_Cleanup();
        mgr_ = std::make_unique<netsdk_test::CamsimServer>("mgr", "--cloud-store " + store);
        ASSERT_NE(mgr_->Port(), 0) << "the simulated management server did not start";
        login_ = std::make_unique<netsdk_test::CamsimLogin>("--account demo:secret --mgr-port " +
                                                            std::to_string(mgr_->Port()));
        ASSERT_NE(login_->Port(), 0) << "the simulated login server did not start";
        ASSERT_EQ(QN_NET_SetServicePorts(login_->Port(), 0, 0), 1);
        ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
        QN_NET_LOGIN_INFO info{};
        std::strcpy(info.account, "demo");
        std::strcpy(info.password, "secret");
        std::strcpy(info.terminal, "cloud-test");
        uint32_t address = 0;
        ASSERT_EQ(QN_NET_Login(&info, &address, &user_), 1);
        ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
        baseline_ = testing_support::SettledThreadCount();
    }

    int CredentialRequests() const
    {
        int asked = 0;
        for (const auto& line : mgr_->Frames()) {
            if (line.find("\"sub\": 90001") != std::string::npos) ++asked;
        }
        return asked;
    }
    std::string CameraFolder() const { return local_.Folder() + "Cloud/" + std::to_string(kCamera) + "/"; }
    std::string Delivered()
    {
        const std::string path = local_.File("delivered.h264");
        std::lock_guard<std::mutex> hold(got_.mutex);
        cloud_test::WriteFile(path, got_.video);
        return path;
    }

    static inline cloud_test::TempFolder* folder_ = nullptr;
    static inline bool ok_ = false;
    static inline std::string password_;
    cloud_test::TempFolder local_;
    testing_support::SteppingClock clock_;
    Collected got_;
    uint32_t user_ = 0;
    int baseline_ = 0;
    std::unique_ptr<netsdk_test::CamsimServer> mgr_;
    std::unique_ptr<netsdk_test::CamsimLogin> login_;
};

const VQ_CLOUD_TIME kDay14 = streams::PackCloudTime({2026, 3, 14, 10, 0, 10, 1});
const VQ_CLOUD_TIME kDay15 = streams::PackCloudTime({2026, 3, 15, 10, 0, 10, 1});

TEST_F(CloudPlay, ADayOfSegmentsPlaysFrameForFrameInOrderWithItsEvents)
{
    // The queue keeps its newest audio piece open for the pieces of the same
    // frame that may follow, so the day's very last A-law unit stays in it.
    const int kAudioDelivered = 3 * kFramesPerSegment - 1;
    // One reader step per 25 ms: every video unit, every A-law unit, and each
    // segment's end take one step; the last step's wait follows its event.
    const int steps = 3 * kFramesPerSegment * 2 + 3;
    int result = 1;
    ASSERT_EQ(vqCloudStartPlay(kCamera, kDay14, &result), 0);
    ASSERT_EQ(result, 0);
    ASSERT_TRUE(testing_support::WaitUntil([&] {
        std::lock_guard<std::mutex> hold(got_.mutex);
        return std::count(got_.events.begin(), got_.events.end(), streams::kCloudEventSegmentEnd) == 3 &&
               got_.videoFrames == 3 * kFramesPerSegment && got_.audioFrames == kAudioDelivered &&
               clock_.WaitedMs() >= 25 * steps;
    })) << got_.Frames()
        << " frames, " << got_.Count(streams::kCloudEventSegmentEnd) << " segment ends";
    const int64_t pacedMs = clock_.WaitedMs();
    EXPECT_EQ(FrameMd5(Delivered()), FrameMd5(File("day14.h264")));
    EXPECT_EQ(got_.Count(streams::kCloudEventAllDownloaded), 1);
    EXPECT_EQ(got_.Count(streams::kCloudEventNoFrame), 0);
    {
        std::lock_guard<std::mutex> hold(got_.mutex);
        // Each video frame's decryption result, 0 for a stream that names no key.
        EXPECT_EQ(std::count(got_.events.begin(), got_.events.end(), 0), 3 * kFramesPerSegment);
        EXPECT_EQ(got_.events.size(), 3u * kFramesPerSegment + 4) << "nothing but results, segment ends and one 13";
        EXPECT_EQ(got_.keyTimes,
                  (std::vector<std::string>{"2026-03-14 10:00:00", "2026-03-14 10:00:10", "2026-03-14 10:00:20"}));
        EXPECT_EQ(got_.audioFrames, kAudioDelivered);
    }
    VQ_PANO_PARAM pano{};
    EXPECT_EQ(vqCloudGetPanoParam(&pano), 1);
    EXPECT_EQ(pano.frameRate, kRecordedRate);
    EXPECT_EQ(pacedMs, 25 * steps);
    const double delivered = 3.0 * kFramesPerSegment * 1000.0 / static_cast<double>(pacedMs);
    std::printf("video frame rate: recorded %d fps, delivered %.1f fps (%d frames in %lld ms of pacing)\n",
                kRecordedRate, delivered, 3 * kFramesPerSegment, static_cast<long long>(pacedMs));
    RecordProperty("delivered_fps_x10", static_cast<int>(delivered * 10));

    // The past day's index was marked complete; the segments stay on disk.
    EXPECT_EQ(qn_cloud::ReadDayIndexCompletionMark(qn_cloud::DayIndexFileName(CameraFolder(), 2026, 3, 14)), 1);
    for (int slot : kSlots) EXPECT_TRUE(platform::PathExists(CameraFolder() + SegmentName(14, slot)));
    EXPECT_EQ(vqStopPlayCloud(), 0);
    EXPECT_EQ(vqCloudStopDown(), 0);
}

TEST_F(CloudPlay, ARecordingOfThePlayedDayHoldsItsFrames)
{
    struct KeyFrames {
        std::atomic<int> count{0};
        static void On(int code, void* user, int)
        {
            if (code == 11) ++static_cast<KeyFrames*>(user)->count;
        }
    } recorded;
    vqCloudSetRecordCallback(&KeyFrames::On, &recorded, 0);
    const std::string mp4 = local_.File("day14.mp4");
    ASSERT_EQ(vqCloudRecord(mp4.c_str()), 1);
    int result = 1;
    ASSERT_EQ(vqCloudStartPlay(kCamera, kDay14, &result), 0);
    ASSERT_TRUE(testing_support::WaitUntil([&] { return got_.Frames() == 3 * kFramesPerSegment; }));
    EXPECT_EQ(vqStopPlayCloud(), 0);
    EXPECT_EQ(vqCloudStopRecord(), 0);
    EXPECT_EQ(recorded.count, 3) << "once per key frame written";
    std::string reference;
    std::string written;
    ASSERT_EQ(
        cloud_test::Run("ffmpeg -v error -f h264 -i " + Quote(File("day14.h264")) + " -f framemd5 - 2>&1", &reference),
        0);
    ASSERT_EQ(cloud_test::Run("ffmpeg -v error -i " + Quote(mp4) + " -map 0:v -f framemd5 - 2>&1", &written), 0)
        << written;
    // The hashes, not the time stamps: the file keeps its own time base.
    auto hashes = [](const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line[0] != '#') lines.push_back(line.substr(line.rfind(',') + 1));
        }
        return lines;
    };
    EXPECT_EQ(hashes(written), hashes(reference));
    EXPECT_EQ(hashes(written).size(), 3u * kFramesPerSegment);
}

TEST_F(CloudPlay, AMissingSegmentIsSkippedAfterOneCredentialRefresh)
{
    int result = 1;
    ASSERT_EQ(vqCloudStartPlay(kCamera, kDay15, &result), 0);
    ASSERT_TRUE(testing_support::WaitUntil([&] {
        return got_.Count(streams::kCloudEventSegmentEnd) == 3 && got_.Frames() == 2 * kFramesPerSegment;
    })) << got_.Frames()
        << " frames, " << got_.Count(streams::kCloudEventSegmentEnd) << " segment ends";
    EXPECT_EQ(FrameMd5(Delivered()), FrameMd5(File("day15.h264")));
    EXPECT_EQ(got_.Count(streams::kCloudEventAllDownloaded), 1);
    EXPECT_EQ(CredentialRequests(), 2) << "the first fetch and one refresh for the refused segment, no more";
    EXPECT_FALSE(platform::PathExists(CameraFolder() + SegmentName(15, kSlots[1])));
    EXPECT_TRUE(platform::PathExists(CameraFolder() + SegmentName(15, kSlots[2])));

    // A span without segments: all of them downloaded at once, once more
    // for this new list, and nothing to play.
    ASSERT_EQ(vqCloudStartPlay(kCamera, streams::PackCloudTime({2026, 3, 15, 11, 0, 11, 1}), &result), 0);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return got_.Count(streams::kCloudEventAllDownloaded) == 2; }));
    EXPECT_EQ(got_.Count(streams::kCloudEventSegmentEnd), 3);
    VQ_CLOUD_FILE* page = nullptr;
    int count = -1;
    EXPECT_EQ(vqCloudGetFileList(kCamera, 1, &page, &count, &result), 1);
    EXPECT_EQ(result, -5) << "an empty list";

    // A day without an index in the store answers with the download's code.
    EXPECT_EQ(vqCloudSearchFile(kCamera, streams::PackCloudTime({2026, 3, 17, 0, 0, 23, 59}), &result), 1);
    EXPECT_EQ(result, -3);
}

TEST_F(CloudPlay, FramesThatNeedAnotherPasswordAreDroppedWithEvent14)
{
    const VQ_CLOUD_TIME day16 = streams::PackCloudTime({2026, 3, 16, 10, 0, 10, 1});
    int result = 1;
    for (const char* password : {"", "not-the-one"}) {
        SCOPED_TRACE(password);
        if (*password != '\0') vqCloudSetCustomPwd(kCamera, password);
        ASSERT_EQ(vqCloudStartPlay(kCamera, day16, &result), 0);
        ASSERT_TRUE(testing_support::WaitUntil([&] { return got_.Count(streams::kCloudEventSegmentEnd) == 1; }));
        ASSERT_TRUE(
            testing_support::WaitUntil([&] { return got_.Count(streams::kCloudEventPassword) == kFramesPerSegment; }));
        EXPECT_EQ(got_.Frames(), 0);
        EXPECT_EQ(vqStopPlayCloud(), 0);
        std::lock_guard<std::mutex> hold(got_.mutex);
        got_.events.clear();
    }
    // With the stream's password every frame is decrypted back to the source's.
    EXPECT_EQ(vqCloudSetCustomPwd(kCamera, password_.c_str()), 1);
    ASSERT_EQ(vqCloudStartPlay(kCamera, day16, &result), 0);
    ASSERT_TRUE(testing_support::WaitUntil([&] { return got_.Frames() == kFramesPerSegment; }));
    EXPECT_EQ(got_.Count(streams::kCloudEventPassword), 0);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return got_.Count(0) == kFramesPerSegment; }));
    EXPECT_EQ(FrameMd5(Delivered()), FrameMd5(File("src0.h264")));
    EXPECT_NE(FrameMd5(File("protected.h264")), FrameMd5(File("src0.h264"))) << "the fixture is protected";
}

// Transfers that fail for other reasons than a refusal: a server error is
// retried with back-off and then skipped, a 400 first fetches credentials
// anew; either way play moves past the segment.
TEST_F(CloudPlay, FailingTransfersAreRetriedThenSkipped)
{
    cloud_test::TempFolder peer;
    const cloud_test::PeerProcess server("/usr/bin/python3 " +
                                             Quote(cloud_test::SourcePath("tools/cloudsim/status_server.py")) + " " +
                                             Quote(peer.Folder()),
                                         peer.File("port.txt"), 30);
    ASSERT_TRUE(server.Ready()) << "the status server did not start";
    const std::string endpoint = "http://127.0.0.1:" + cloud_test::ReadFile(peer.File("port.txt"));
    // A complete index on disk: no index transfer, only the two segments.
    std::string index = "V1610" + std::string(10, '0') + "1" + std::string(8640, '\0');
    index[16 + kSlots[0]] = index[16 + kSlots[1]] = static_cast<char>(0x81);
    const VQ_CLOUD_TIME day20 = streams::PackCloudTime({2026, 3, 20, 10, 0, 10, 1});
    struct Case {
        int status;
        int32_t camera;
        int credentialRequests;
    };
    for (const Case c : {Case{500, 81, 1}, Case{400, 82, 3}}) {
        SCOPED_TRACE(c.status);
        const std::string store = peer.File("store" + std::to_string(c.status) + ".txt");
        cloud_test::WriteFile(store, "endpoint=" + endpoint + "\nregion=us-east-1\nbucket=status\nprefix=" +
                                         std::to_string(c.status) +
                                         "\naccess_key=AKIAEXAMPLEKEY000001\nsecret_key=example\ntoken=t\n");
        ASSERT_NO_FATAL_FAILURE(SignIn(store));
        const std::string folder = local_.Folder() + "Cloud/" + std::to_string(c.camera) + "/";
        ASSERT_TRUE(platform::MakeDirectories(folder));
        cloud_test::WriteFile(qn_cloud::DayIndexFileName(folder, 2026, 3, 20), index);
        int result = 1;
        ASSERT_EQ(vqCloudStartPlay(c.camera, day20, &result), 0);
        ASSERT_TRUE(testing_support::WaitUntil([&] { return got_.Count(streams::kCloudEventSegmentEnd) == 2; }));
        // The download thread says it is done after its last transfer, which
        // may be after the play thread has skipped the segment.
        EXPECT_TRUE(testing_support::WaitUntil([&] { return got_.Count(streams::kCloudEventAllDownloaded) == 1; }));
        EXPECT_EQ(got_.Frames(), 0);
        EXPECT_EQ(CredentialRequests(), c.credentialRequests);
        EXPECT_EQ(vqStopPlayCloud(), 0);
        EXPECT_EQ(vqCloudStopDown(), 0);
        std::lock_guard<std::mutex> hold(got_.mutex);
        got_.events.clear();
    }
}

TEST_F(CloudPlay, APastDaysIndexAnswersFromDiskOnlyWithTheCompletionMark)
{
    const std::string local = qn_cloud::DayIndexFileName(CameraFolder(), 2026, 3, 14);
    int result = 1;
    VQ_CLOUD_FILE* page = nullptr;
    int count = 0;
    ASSERT_EQ(vqCloudSearchFile(kCamera, kDay14, &result), 0);
    ASSERT_EQ(vqCloudGetFileList(kCamera, 1, &page, &count, &result), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(qn_cloud::ReadDayIndexCompletionMark(local), 1) << "fetched after its day: complete";

    // A marked copy on disk is trusted: its single segment is the answer.
    std::string index = "V1610" + std::string(10, '0') + "1" + std::string(8640, '\0');
    index[16 + 3605] = static_cast<char>(0x81);
    cloud_test::WriteFile(local, index);
    ASSERT_EQ(vqCloudSearchFile(kCamera, kDay14, &result), 0);
    ASSERT_EQ(vqCloudGetFileList(kCamera, 1, &page, &count, &result), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(std::string(page[0].name), CameraFolder() + SegmentName(14, 3605));

    // Without the mark it may have been fetched while the day still ran.
    index[15] = '0';
    cloud_test::WriteFile(local, index);
    ASSERT_EQ(vqCloudSearchFile(kCamera, kDay14, &result), 0);
    ASSERT_EQ(vqCloudGetFileList(kCamera, 1, &page, &count, &result), 0);
    EXPECT_EQ(count, 3) << "fetched again from the store";
    EXPECT_EQ(qn_cloud::ReadDayIndexCompletionMark(local), 1);
}

TEST_F(CloudPlay, StartsAndStopsInAnyOrderJoinEveryThread)
{
    int result = 1;
    ASSERT_EQ(vqCloudStartPlay(kCamera, kDay14, &result), 0);
    // A new play while one runs restarts it.
    ASSERT_EQ(vqCloudStartPlay(kCamera, kDay14, &result), 0);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return testing_support::ThreadCount() == baseline_ + 4; }))
        << testing_support::ThreadCount() - baseline_ << " threads more than before";
    EXPECT_EQ(vqStopPlayCloud(), 0);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return testing_support::SettledThreadCount() == baseline_ + 1; }))
        << "the download thread stays, idle";
    EXPECT_EQ(vqCloudStopDown(), 0);
    EXPECT_EQ(testing_support::SettledThreadCount(), baseline_);
    // Destroyed while playing: the player joins its threads first.
    ASSERT_EQ(vqCloudStartPlay(kCamera, kDay14, &result), 0);
    ASSERT_TRUE(testing_support::WaitUntil([&] { return got_.Frames() > 0; }));
    vqCloudDestroy();
    EXPECT_EQ(testing_support::SettledThreadCount(), baseline_);
    EXPECT_EQ(vqStopPlayCloud(), 7);
}

} // namespace
