#include <gtest/gtest.h>

#include <string>

#include "stream_fixture.h"
#include "streams/qn_tf.h"
#include "streams/record_stream.h"
#include "support/temp_folder.h"
#include "tf_card_fixture.h"

namespace {

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
    VQ_TF_SETTINGS settings{};
    settings.initFlags = 1;
    EXPECT_EQ(vqCamTFInit(settings), 1);
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
}

} // namespace
