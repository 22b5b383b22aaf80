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
    std::vector<int64_t> audioTimes;
    std::vector<int> audioLengths;
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
    request.audio = [&out, &clock](VQ_FRAME_INFO* frame) {
        std::lock_guard<std::mutex> hold(out.lock);
        ++out.audioFrames;
        out.audioKeyByte = frame->key;
        out.audioTimes.push_back(clock.MonotonicMs());
        out.audioLengths.push_back(frame->length);
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
        // the sound. The shared stepping clock also moves on by the audio
        // thread's waits, so only the lower bound is the video's own.
        const int64_t span = out.videoTimes.back() - out.videoTimes.front();
        EXPECT_GE(span, 124 * 20);
        EXPECT_GT(out.audioFrames, 0);
        EXPECT_EQ(out.audioKeyByte, 2);

        // After its span the play waits, and a new span goes on in the same threads.
        EXPECT_TRUE(player.Playing());
        Delivered again;
        ASSERT_TRUE(player.Start(PlayRequest(folder, 605, 606, clock, again), map));
        ASSERT_TRUE(testing_support::WaitUntil([&] { return again.finished.load(); }));
        std::lock_guard<std::mutex> holdAgain(again.lock);
        EXPECT_EQ(again.videoTimes.size(), 25u);
        for (std::size_t i = 0; i < again.values.size(); ++i) EXPECT_EQ(again.values[i], i);
        player.Stop();
    }
    EXPECT_TRUE(testing_support::WaitUntil([&] { return testing_support::ThreadCount() <= threadsBefore; }));
}

// On a timeline per thread each output thread's clock moves by its own
// pacing only: video frames go out exactly 40 ms apart while no sound is
// ahead of them, and each A-law frame after 100/120 of its playing time.
TEST(TfPlayer, PacesEveryFrameExactlyOnItsOwnThreadsTime)
{
    testing_support::TempFolder temp;
    auto source = streams_test::MakeTfSource(temp.Path());
    ASSERT_FALSE(source.video.empty());
    streams_test::TfSource silent = source;
    silent.alaw = temp.Path() + "/silence.alaw";
    std::ofstream(silent.alaw).close();
    const std::string videoCard = temp.Path() + "/video";
    const std::string soundCard = temp.Path() + "/sound";
    ASSERT_NE(streams_test::LayOutTfCard(silent, videoCard, "2024-05-01", "10:00,10:01"), "");
    // "<video> <key> <audio>" packets; audio packets hold 160 bytes.
    std::istringstream counts(streams_test::LayOutTfCard(source, soundCard, "2024-05-01", "10:00"));
    int videoPackets = 0, keyPackets = 0, audioPackets = 0;
    ASSERT_TRUE(counts >> videoPackets >> keyPackets >> audioPackets);

    const testing_support::SteppingClock clock(1000000, testing_support::SteppingClock::Timeline::PerThread);
    TfPlayer player;
    for (const std::string* card : {&videoCard, &soundCard}) {
        TfCardFolder folder;
        VQ_TF_CARD_INFO info{};
        ASSERT_EQ(folder.Open(card->c_str(), &info, "account"), kTfOk);
        Delivered out;
        ASSERT_TRUE(player.Start(PlayRequest(folder, 600, 602, clock, out), folder.DayMap(2024, 5, 1)));
        ASSERT_TRUE(testing_support::WaitUntil([&] { return out.finished.load(); }));
        player.Stop();
        std::lock_guard<std::mutex> hold(out.lock);
        if (card == &videoCard) {
            EXPECT_EQ(out.audioFrames, 0);
            ASSERT_EQ(out.videoTimes.size(), 50u);
            for (std::size_t i = 1; i < out.videoTimes.size(); ++i)
                EXPECT_EQ(out.videoTimes[i] - out.videoTimes[i - 1], 40) << "frame " << i;
        } else {
            // Every packet once, the last one too.
            ASSERT_EQ(out.audioTimes.size(), static_cast<std::size_t>(audioPackets));
            int bytes = 0;
            for (std::size_t i = 0; i < out.audioTimes.size(); ++i) {
                bytes += out.audioLengths[i];
                if (i == 0) continue;
                const int64_t playingMs = out.audioLengths[i - 1] * int64_t{1000} / 8000;
                EXPECT_EQ(out.audioTimes[i] - out.audioTimes[i - 1], playingMs * 100 / 120) << "frame " << i;
            }
            EXPECT_EQ(bytes, audioPackets * 160);
        }
    }
}

} // namespace
