#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>

#include "stream_fixture.h"
#include "streams/qn_tf.h"
#include "streams/record_stream.h"
#include "support/stepping_clock.h"
#include "support/temp_folder.h"
#include "support/this_process.h"
#include "support/wait_until.h"
#include "tf_card_fixture.h"
#include "tf_module_events.h"

namespace {

std::atomic<int> progressCounts_[2] = {-1, -1};
std::atomic<int> playedFrames_{0};

// One process-wide module: the whole life cycle in one test.
TEST(QnTf, CardSearchesAndRecordingThroughTheFlatFunctions)
{
    testing_support::TempFolder temp;
    streams::VQ_TF_CARD_INFO info{};
    EXPECT_EQ(vqCamOpenTFCard(temp.Path().c_str(), &info, "account"), streams::kTfNoCard); // no module yet

    auto source = streams_test::MakeTfSource(temp.Path());
    ASSERT_FALSE(source.video.empty());
    const std::string card = temp.Path() + "/card";
    ASSERT_NE(streams_test::LayOutTfCard(source, card, "2024-05-01", "10:00",
                                         "rec_info=7\\\\n4321\\\\n../../cam0000000001"),
              "");
    EXPECT_EQ(vqCamTFInit(streams_test::TfModuleSettings()), 1);
    EXPECT_EQ(vqCamOpenTFCard(nullptr, &info, "account"), streams::kTfNullArgument);
    ASSERT_EQ(vqCamOpenTFCard(card.c_str(), &info, "account"), streams::kTfOk);
    EXPECT_EQ(info.deviceNumber, 4321u);
    EXPECT_EQ(info.years[0], 2024);
    char id[64];
    ASSERT_EQ(vqCamGetTFDeviceId(id, sizeof id), 1);
    EXPECT_STREQ(id, "______CAM0000000001");
    EXPECT_EQ(vqCamGetTFDeviceId(id, 5), 0);

    streams::VQ_TF_DAY_MAP map{};
    ASSERT_EQ(vqCamSearchTFRecord("2024_5_1", &map, sizeof map), streams::kTfOk);
    EXPECT_EQ(map.slots[600 * 6], streams::kTfSlotRecorded);
    EXPECT_EQ(vqCamSearchTFRecord("2024_5_1", &map, 100), streams::kTfBufferTooSmall);
    VQ_PANO_PARAM pano;
    EXPECT_EQ(vqCamGetTFPanoParam(&pano), 0);
    EXPECT_EQ(vqCamSetTFCustomPwd("secret"), 1);
    EXPECT_EQ(streams::TfDefaultKeyText("abcdefgh", 1234), "abcdef1234");
    EXPECT_EQ(streams::TfDefaultKeyText("ab", 2), "ab2");

    // A recording that closes readable reports success.
    const std::string mp4 = temp.Path() + "/rec.mp4";
    ASSERT_EQ(vqCamStartTFRecord(mp4.c_str()), 1);
    char name[300];
    ASSERT_EQ(vqCamGetMP4FileName(name, sizeof name), 1);
    EXPECT_EQ(std::string(name), mp4);
    const std::string sei = temp.Path() + "/q3.bin";
    ASSERT_EQ(streams_test::RunFixture("sei 3 " + sei).exitCode, 0);
    const std::string withSei = temp.Path() + "/with_sei.h264";
    ASSERT_EQ(streams_test::RunFixture("inject " + source.video + " " + withSei + " " + sei).exitCode, 0);
    auto data = streams_test::ReadFile(withSei);
    streams::RecordFrame frame;
    streams::TfParseH264Frame(data.data(), static_cast<int>(data.size()), &frame, {});
    EXPECT_EQ(vqCamStopTFRecord(), 1);
    auto probed = testing_support::RunCommand("ffprobe -v error -select_streams v -count_packets -show_entries stream=nb_read_packets "
                                              "-of csv=p=0 " + mp4);
    EXPECT_EQ(testing_support::Chomp(probed.output), "25");

    // Mode "down" converts into the last conversion's folder; there is none yet.
    VQ_TF_TIME down = streams::PackTfSpan({2024, 5, 1, 10, 0, 0, 10, 1, 0});
    EXPECT_EQ(vqCamStartTFLPlay("down", &down), streams::kTfNoCard);

    // A conversion on the module's own thread, which ends with the span.
    const int threadsBefore = testing_support::SettledThreadCount();
    vqCamSetTFMsgCallback(
        nullptr,
        [](int d, int t, void* user, int) {
            auto* counts = static_cast<std::atomic<int>*>(user);
            counts[1] = t;
            counts[0] = d;
        },
        progressCounts_, 0);
    VQ_TF_TIME span = streams::PackTfSpan({2024, 5, 1, 9, 58, 0, 10, 1, 0});
    const std::string out = temp.Path() + "/out";
    EXPECT_EQ(vqCamTFConvertMP4(1, &span, out.c_str()), 0); // no such folder
    std::filesystem::create_directories(out);
    ASSERT_EQ(vqCamTFConvertMP4(1, &span, out.c_str()), 1);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return progressCounts_[1] == 1 && progressCounts_[0] == 1; }));
    EXPECT_EQ(vqCamTFConvertMP4(0, nullptr, nullptr), 1);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return testing_support::ThreadCount() <= threadsBefore; }));
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        ++files;
        auto read = testing_support::RunCommand("ffprobe -v error -select_streams v -count_packets -show_entries "
                                                "stream=nb_read_packets -of csv=p=0 " + entry.path().string());
        EXPECT_EQ(testing_support::Chomp(read.output), "25");
        EXPECT_EQ(entry.path().filename().string().rfind("______CAM0000000001_", 0), 0u);
    }
    EXPECT_EQ(files, 1);
    progressCounts_[0] = progressCounts_[1] = -1;
    ASSERT_EQ(vqCamStartTFLPlay("down", &down), streams::kTfOk);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return progressCounts_[1] == 1 && progressCounts_[0] == 1; }));
    EXPECT_EQ(vqCamTFConvertMP4(0, nullptr, nullptr), 1);
    files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out)) files += entry.is_regular_file();
    EXPECT_EQ(files, 2);

    // Play through the flat functions, restarted without a stop, then stopped.
    testing_support::SteppingClock clock;
    streams::tfSetClock(&clock);
    vqCamSetTFVideoCallback(
        [](VQ_FRAME_INFO* frame, void*, int) {
            playedFrames_ += frame->deviceNumber == 4321 && frame->length > 0;
            return 0;
        },
        nullptr, 0);
    VQ_TF_TIME play = streams::PackTfSpan({2024, 5, 1, 10, 0, 0, 10, 1, 0});
    EXPECT_EQ(vqCamStartTFLPlay(nullptr, &play), streams::kTfNullArgument);
    VQ_TF_TIME badMonth = streams::PackTfSpan({2024, 13, 1, 10, 0, 0, 10, 1, 0});
    EXPECT_EQ(vqCamStartTFLPlay("play", &badMonth), streams::kTfBadDate);
    ASSERT_EQ(vqCamStartTFLPlay("play", &play), streams::kTfOk);
    EXPECT_TRUE(testing_support::WaitUntil([] { return playedFrames_ == 25; }));
    // The restarted play is recorded as it is played.
    const std::string played = temp.Path() + "/played.mp4";
    ASSERT_EQ(vqCamStartTFRecord(played.c_str()), 1);
    ASSERT_EQ(vqCamStartTFLPlay("play", &play), streams::kTfOk);
    EXPECT_TRUE(testing_support::WaitUntil([] { return playedFrames_ == 50; }));
    EXPECT_EQ(vqCamStopTF(), streams::kTfOk);
    EXPECT_EQ(vqCamStopTFRecord(), 1);
    auto recorded = testing_support::RunCommand("ffprobe -v error -select_streams v -count_packets -show_entries "
                                                "stream=nb_read_packets -of csv=p=0 " + played);
    EXPECT_EQ(testing_support::Chomp(recorded.output), "25");
    streams::tfSetClock(nullptr);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return testing_support::ThreadCount() <= threadsBefore; }));

    // A conversion takes over from a play, whose threads end.
    ASSERT_EQ(vqCamStartTFLPlay("play", &play), streams::kTfOk);
    progressCounts_[0] = progressCounts_[1] = -1;
    ASSERT_EQ(vqCamStartTFLPlay("down", &down), streams::kTfOk);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return progressCounts_[1] == 1 && progressCounts_[0] == 1; }));
    EXPECT_EQ(vqCamTFConvertMP4(0, nullptr, nullptr), 1);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return testing_support::ThreadCount() <= threadsBefore; }));
}

} // namespace
