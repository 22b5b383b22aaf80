#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "stream_fixture.h"
#include "streams/tf_card_folder.h"
#include "streams/tf_player.h"
#include "support/stepping_clock.h"
#include "support/temp_folder.h"
#include "support/this_process.h"
#include "support/wait_until.h"
#include "tf_card_fixture.h"

namespace {

using namespace streams;

std::string Hashes(const std::string& framemd5)
{
    std::string column;
    std::istringstream lines(framemd5);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != '#') column += line.substr(line.rfind(',') + 1) + "\n";
    }
    return column;
}

struct Delivered {
    std::mutex lock;
    std::string video;
    std::vector<int64_t> videoTimes;
    std::vector<uint32_t> values;
    int audioFrames = 0;
    int audioKeyByte = -1;
    std::atomic<bool> finished{false};
};

TfPlayRequest PlayRequest(const TfCardFolder& folder, int start, int end, const platform::Clock& clock, Delivered& out)
{
    TfPlayRequest request;
    request.cardFolder = folder.Folder();
    request.year = 2024;
    request.month = 5;
    request.day = 1;
    request.startMinute = start;
    request.endMinute = end;
    request.deviceNumber = 4321;
    request.clock = &clock;
    request.video = [&out, &clock](VQ_FRAME_INFO* frame) {
        std::lock_guard<std::mutex> hold(out.lock);
        out.video.append(reinterpret_cast<const char*>(frame->data), frame->length);
        out.videoTimes.push_back(clock.MonotonicMs());
        out.values.push_back(frame->queueValue);
        return 0;
    };
    request.audio = [&out](VQ_FRAME_INFO* frame) {
        std::lock_guard<std::mutex> hold(out.lock);
        ++out.audioFrames;
        out.audioKeyByte = frame->key;
        return 0;
    };
    request.finished = [&out] { out.finished = true; };
    return request;
}

// 10:00 to 10:05 plays five recorded minutes, every picture once and in
// order, paced at the stream's rate on the clock; a restart and a stop join
// every thread.
TEST(TfPlayer, PlaysASpanAsTheSourceAtItsRate)
{
    const int threadsBefore = testing_support::SettledThreadCount();
    testing_support::TempFolder temp;
    auto source = streams_test::MakeTfSource(temp.Path());
    ASSERT_FALSE(source.video.empty());
    const std::string card = temp.Path() + "/card";
    ASSERT_NE(streams_test::LayOutTfCard(source, card, "2024-05-01", "10:00,10:01,10:02,10:03,10:04,10:05"), "");
    TfCardFolder folder;
    VQ_TF_CARD_INFO info{};
    ASSERT_EQ(folder.Open(card.c_str(), &info, "account"), kTfOk);
    const VQ_TF_DAY_MAP map = folder.DayMap(2024, 5, 1);

    testing_support::SteppingClock clock;
    {
        TfPlayer player;
        Delivered first;
        // A first span, replaced before it ends: its threads must let go first.
        ASSERT_TRUE(player.Start(PlayRequest(folder, 600, 605, clock, first), map));
        Delivered out;
        ASSERT_TRUE(player.Start(PlayRequest(folder, 600, 605, clock, out), map));
        ASSERT_TRUE(testing_support::WaitUntil([&] { return out.finished.load(); }));

        std::lock_guard<std::mutex> hold(out.lock);
        const std::string played = temp.Path() + "/played.h264";
        std::ofstream(played, std::ios::binary) << out.video;
        const std::string once = Hashes(streams_test::FrameMd5(source.video));
        ASSERT_EQ(std::count(once.begin(), once.end(), '\n'), 25);
        EXPECT_EQ(Hashes(streams_test::FrameMd5(played)), once + once + once + once + once);
        ASSERT_EQ(out.videoTimes.size(), 125u);
        for (std::size_t i = 0; i < out.values.size(); ++i) EXPECT_EQ(out.values[i], i);
        // 40 ms a frame at 25 fps, at most twice as fast while video lags
        // the sound. The stepping clock also moves on by the audio thread's
        // and idle waits, so only the lower bound is the video's own.
        const int64_t span = out.videoTimes.back() - out.videoTimes.front();
        EXPECT_GE(span, 124 * 20);
        EXPECT_GT(out.audioFrames, 0);
        EXPECT_EQ(out.audioKeyByte, 2);
        player.Stop();
    }
    EXPECT_TRUE(testing_support::WaitUntil([&] { return testing_support::ThreadCount() <= threadsBefore; }));
}

} // namespace
