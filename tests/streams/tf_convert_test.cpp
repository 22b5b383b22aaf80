#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <vector>

#include "stream_fixture.h"
#include "streams/tf_card_folder.h"
#include "streams/tf_convert.h"
#include "support/temp_folder.h"
#include "tf_card_fixture.h"

namespace {

using namespace streams;

std::string HashColumn(const std::string& framemd5)
{
    std::string column;
    std::istringstream lines(framemd5);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != '#') column += line.substr(line.rfind(',') + 1) + "\n";
    }
    return column;
}

TEST(TfConvert, SplitsTheSpanIntoPartsThatDecodeAsTheSource)
{
    testing_support::TempFolder temp;
    auto source = streams_test::MakeTfSource(temp.Path());
    ASSERT_FALSE(source.video.empty());
    const std::string card = temp.Path() + "/card";
    // Five recorded minutes between 10:00 and 10:07, one empty; 10:07 is the end.
    ASSERT_NE(streams_test::LayOutTfCard(source, card, "2024-05-01", "10:00,10:01,10:02,10:04,10:05,10:07"), "");
    TfCardFolder folder;
    VQ_TF_CARD_INFO info{};
    ASSERT_EQ(folder.Open(card.c_str(), &info, "account"), kTfOk);

    TfConvertRequest request;
    request.cardFolder = folder.Folder();
    request.year = 2024;
    request.month = 5;
    request.day = 1;
    request.startMinute = 600;
    request.endMinute = 607;
    request.outputFolder = temp.Path();
    request.deviceId = folder.RecInfo().deviceId;
    request.filesPerPart = 2;
    std::vector<std::pair<int, int>> progress;
    request.progress = [&](int done, int total) { progress.emplace_back(done, total); };
    int keyFrames = 0;
    request.recordCallback = [&](int code) { keyFrames += code == 11; };
    std::atomic<int> run{1};
    TfConvertResult result = ConvertTfSpan(request, folder.DayMap(2024, 5, 1), run);
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.minuteFiles, 5);
    ASSERT_EQ(result.files.size(), 3u); // 2 + 2 + 1 minute files
    EXPECT_EQ(keyFrames, 5);
    EXPECT_EQ(progress.front(), std::make_pair(0, 5));
    EXPECT_EQ(progress.back(), std::make_pair(5, 5));
    EXPECT_EQ(result.files[0].find(temp.Path() + "/CAM0000000001_"), 0u);

    const std::string once = HashColumn(streams_test::FrameMd5(source.video));
    ASSERT_EQ(std::count(once.begin(), once.end(), '\n'), 25);
    std::string converted;
    int packets = 0;
    for (const std::string& file : result.files) {
        // Every decoded picture once, whatever the file's timing says.
        converted += HashColumn(
            testing_support::RunCommand("ffmpeg -v error -i " + file + " -map 0:v -fps_mode passthrough -f framemd5 -")
                .output);
        auto counted = testing_support::RunCommand("ffprobe -v error -select_streams v -count_packets -show_entries "
                                                   "stream=nb_read_packets -of csv=p=0 " + file);
        packets += std::stoi(counted.output);
        auto audio = testing_support::RunCommand("ffprobe -v error -select_streams a -show_entries "
                                                 "stream=codec_name,sample_rate -of csv=p=0 " + file);
        EXPECT_EQ(testing_support::Chomp(audio.output), "aac,8000") << file;
    }
    EXPECT_EQ(packets, 5 * 25);
    EXPECT_EQ(converted, once + once + once + once + once);
}

} // namespace
