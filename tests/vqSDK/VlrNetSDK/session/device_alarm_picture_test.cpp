// Alarm and panorama pictures from the simulated camera: a JPEG made by
// ffmpeg, served in 972-byte blocks, must arrive byte for byte through the
// SDK's events and still be a picture ffprobe reads; a running download keeps
// a second one out until it completes or stalls.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/session/device_picture.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"
#include "device_session.h"

namespace {

using namespace device_test;
constexpr std::chrono::milliseconds kEventBound{testing_support::kEventBoundMs};
constexpr int32_t kPictureId = 4242;  // the simulated camera's picture id
constexpr std::size_t kBlock = 972;

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int AskForPicture() { return QN_NET_GetAlarmPic(kCamera, 1, 2, 3, 4, 5); }

int AskedPictures(const std::vector<std::string>& frames)
{
    int asked = 0;
    for (const std::string& line : frames) asked += line.rfind("{\"id\": 20322,", 0) == 0 ? 1 : 0;
    return asked;
}

class DeviceAlarmPicture : public DeviceSession {
protected:
    // A JPEG of the test source at `size`, served by the camera.
    void MakePicture(const std::string& size = "320x240")
    {
        ASSERT_TRUE(testing_support::HaveCommand("ffmpeg")) << "ffmpeg is needed (Debian package ffmpeg)";
        path_ = folder_.Path() + "/alarm.jpg";
        const auto made = testing_support::RunCommand("ffmpeg -loglevel error -f lavfi -i testsrc=size=" + size +
                                                      " -frames:v 1 " + path_ + " 2>&1");
        ASSERT_EQ(made.exitCode, 0) << made.output;
        picture_ = ReadFile(path_);
        ASSERT_GT(picture_.size(), kBlock);
    }
    std::size_t Blocks() const { return (picture_.size() + kBlock - 1) / kBlock; }
    // The simulated camera with the picture made, if one was.
    void ServePicture(const std::string& options = {})
    {
        Start(path_.empty() ? options : options + " --alarm-picture " + path_);
    }
    void TearDown() override
    {
        DeviceSession::TearDown();
        // The connections live as long as the process: a download a test
        // left half done must not reach into the next test.
        qn_net::session_hold()->mgr.picture().reset();
        qn_net::session_hold()->mgr.picture().set_idle();
    }

    testing_support::TempFolder folder_;
    std::string path_;
    std::vector<uint8_t> picture_;
};

TEST_F(DeviceAlarmPicture, ArrivesWholeAndReadableThroughItsEvents)
{
    MakePicture();
    ServePicture();
    ASSERT_EQ(AskForPicture(), 1);
    ASSERT_TRUE(events_.WaitFor(QN_NET_EVENT_ALARM_PIC_DONE, 1, kEventBound));
    const auto done = events_.Events(QN_NET_EVENT_ALARM_PIC_DONE);
    EXPECT_EQ(done[0].value1, kPictureId);
    EXPECT_EQ(done[0].value2, static_cast<int32_t>(picture_.size()));
    ASSERT_EQ(events_.Pictures().size(), 1u);
    EXPECT_EQ(events_.Pictures()[0], picture_);
    // Progress every ten blocks, in percent of the blocks.
    const auto progress = events_.Events(QN_NET_EVENT_ALARM_PIC_PROGRESS);
    ASSERT_EQ(progress.size(), Blocks() / 10);
    for (std::size_t i = 0; i < progress.size(); ++i) {
        EXPECT_EQ(progress[i].value1, kPictureId);
        EXPECT_EQ(progress[i].value2, static_cast<int32_t>((i + 1) * 10 * 100 / Blocks()));
    }

    const std::string received = folder_.Path() + "/received.jpg";
    std::ofstream(received, std::ios::binary)
        .write(reinterpret_cast<const char*>(events_.Pictures()[0].data()),
               static_cast<std::streamsize>(events_.Pictures()[0].size()));
    const auto probed = testing_support::RunCommand(
        "ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 " + received + " 2>&1");
    EXPECT_EQ(testing_support::Chomp(probed.output), "mjpeg,320,240");

    // The panorama of a move comes the same way, and a download that ended
    // leaves room for the next.
    QN_NET_PTZ_POSITION move{2, {10, 20, 30, 40}};
    ASSERT_EQ(QN_NET_PTZ_SetPosition(kCamera, &move, 0), 1);
    ASSERT_TRUE(events_.WaitFor(QN_NET_EVENT_ALARM_PIC_DONE, 2, kEventBound));
    EXPECT_EQ(events_.Pictures().back(), picture_);
    EXPECT_EQ(AskForPicture(), 1);
    EXPECT_TRUE(events_.WaitFor(QN_NET_EVENT_ALARM_PIC_DONE, 3, kEventBound));
}

TEST_F(DeviceAlarmPicture, ACameraWithoutCardSaysSo)
{
    ServePicture("--fault status:20322:-1");
    EXPECT_EQ(AskForPicture(), 2);
    EXPECT_TRUE(events_.Events(QN_NET_EVENT_ALARM_PIC_DONE).empty());
}

TEST_F(DeviceAlarmPicture, ARunningDownloadKeepsTheNextOneOut)
{
    MakePicture("1280x720");
    ASSERT_GT(Blocks(), 10u);
    ServePicture("--fault partial:20322:10");
    // Asked again as soon as the first answer came: the download already runs.
    ASSERT_EQ(AskForPicture(), 1);
    EXPECT_EQ(AskForPicture(), -1);
    EXPECT_EQ(LastError(), QN_NET_ERR_ALARM_PIC_BUSY);
    ASSERT_TRUE(events_.WaitFor(QN_NET_EVENT_ALARM_PIC_PROGRESS, 1, kEventBound));
    EXPECT_EQ(events_.Events(QN_NET_EVENT_ALARM_PIC_PROGRESS)[0].value2, static_cast<int32_t>(10 * 100 / Blocks()));
    EXPECT_EQ(AskForPicture(), -1);
    EXPECT_EQ(LastError(), QN_NET_ERR_ALARM_PIC_BUSY);
    EXPECT_EQ(AskedPictures(AskedFrames()), 1);
}

TEST_F(DeviceAlarmPicture, AStalledDownloadGivesWayAfterTenSeconds)
{
    MakePicture("1280x720");
    ServePicture("--fault partial:20322:10");
    ASSERT_EQ(AskForPicture(), 1);
    ASSERT_TRUE(events_.WaitFor(QN_NET_EVENT_ALARM_PIC_PROGRESS, 1, kEventBound));
    platform::SleepMs(qn_net::kStalledDownloadMs + 200);
    EXPECT_EQ(AskForPicture(), 1);
    EXPECT_EQ(AskedPictures(AskedFrames()), 2);
}

TEST_F(DeviceAlarmPicture, AnUnansweredRequestTimesOutAfterFourSeconds)
{
    ServePicture("--fault stall:20322");
    const int64_t started = platform::MonotonicMs();
    EXPECT_EQ(AskForPicture(), -1);
    EXPECT_GE(platform::MonotonicMs() - started, 3900);
    EXPECT_EQ(LastError(), QN_NET_ERR_TIMEOUT);
    EXPECT_FALSE(qn_net::session_hold()->mgr.picture().downloading());
}

TEST_F(DeviceAlarmPicture, AnUnansweredPanoramaTimesOutAfterFourSeconds)
{
    ServePicture("--fault stall:20343");
    QN_NET_PTZ_POSITION move{2, {0, 0, 0, 0}};
    const int64_t started = platform::MonotonicMs();
    EXPECT_EQ(QN_NET_PTZ_SetPosition(kCamera, &move, 0), 0);
    EXPECT_GE(platform::MonotonicMs() - started, 3900);
    EXPECT_EQ(LastError(), QN_NET_ERR_TIMEOUT);
}

// The stall rule on its own, on a clock the test moves.
class SteppedClock : public platform::Clock {
public:
    int64_t MonotonicMs() const override { return now; }
    int64_t now = 1000000;
};

TEST(DevicePictureStall, ADownloadIsBusyUntilTenSecondsPassWithoutABlock)
{
    SteppedClock clock;
    qn_net::alarm_picture_download picture(clock);
    EXPECT_FALSE(qn_net::picture_download_busy(picture, clock.now));
    picture.arm();
    std::vector<uint8_t> first(32 + 10, 0);
    qn_net::WriteU16(first.data() + 8, 61);
    qn_net::WriteU16(first.data() + 22, 3);  // block 0 of 3
    qn_net::WriteU32(first.data() + 24, 10);
    picture.take_block(first.data(), first.size());
    ASSERT_TRUE(picture.downloading());
    EXPECT_TRUE(qn_net::picture_download_busy(picture, clock.now + qn_net::kStalledDownloadMs - 1));
    EXPECT_TRUE(picture.downloading());
    EXPECT_FALSE(qn_net::picture_download_busy(picture, clock.now + qn_net::kStalledDownloadMs));
    EXPECT_FALSE(picture.downloading());
}

} // namespace
