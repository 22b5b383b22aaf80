// The playback pacing controller with its threads: release times on a test clock against those worked out from the
// frame rate, video held behind audio, a stream without audio that still plays, the fast and key-frame modes, rate
// requests driven by the queue's fill, and stops that join all three threads even while they wait.
#include "vqSDK/VlrRealplay/stream_play_back_ctrl.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ctrl_output_log.h"
#include "platform/paths.h"
#include "support/manual_clock.h"
#include "support/stepping_clock.h"
#include "support/this_process.h"
#include "support/wait_until.h"

namespace {

using namespace pacing_test;
using testing_support::ManualClock;

constexpr std::size_t kThreads = 3;

struct RateRequest {
    int64_t atMs;
    float frameRate;
};

template <typename Clock>
class CardCtrl {
public:
    Clock clock;
    streams::StreamQueue queue{streams::QueueCapacity::Large};
    OutputLog log{clock};
    QN_STREAM_PLAY_BACK_CTRL ctrl{clock};
    std::vector<std::string> messages;
    std::mutex requestsMutex;
    std::vector<RateRequest> requests;
    int requestAnswer = 1;

    CardCtrl()
    {
        ctrl.SetMsgCallBack([](int32_t, int32_t, const char* text, void* user,
                               int32_t) { static_cast<CardCtrl*>(user)->messages.emplace_back(text); },
                            this, 0);
        EXPECT_EQ(ctrl.BindQueue(&queue), 1);
        EXPECT_EQ(ctrl.SetOutCallBack(&OutputLog::Callback, &log, 0), 1);
        EXPECT_EQ(ctrl.SetRateCallBack(
                      [](const QN_STREAM_RATE_REQUEST* request, void* user, int32_t) {
                          auto* self = static_cast<CardCtrl*>(user);
                          std::lock_guard<std::mutex> hold(self->requestsMutex);
                          self->requests.push_back({self->clock.MonotonicMs(), request->frameRate});
                          return self->requestAnswer;
                      },
                      this, 0),
                  1);
    }
    std::vector<RateRequest> Requests()
    {
        std::lock_guard<std::mutex> hold(requestsMutex);
        return requests;
    }
    void Put(const FedFrame& frame, int kind)
    {
        ASSERT_EQ(ctrl.input(frame.bytes.data(), static_cast<uint32_t>(frame.bytes.size()), frame.head, kind), 1);
    }
    void PutVideo(uint32_t first, uint32_t last, uint8_t rateByte, uint32_t keyEvery)
    {
        for (uint32_t n = first; n <= last; ++n) Put(VideoFrame(n, (n - 1) % keyEvery == 0, rateByte), 1);
    }
    // An audio frame becomes readable once the next one follows, so one more is put than is to be released.
    void PutAudio(uint32_t first, uint32_t last)
    {
        for (uint32_t n = first; n <= last + 1; ++n) Put(AudioFrame(n), 2);
    }
};

struct AloneCase {
    uint8_t rateByte;
    const char* runOver;
    int64_t intervalMs;
};

TEST(StreamPlayBackCtrl, VideoWithoutAudioLeavesAfterASecondAtTheFrameRate)
{
    for (const AloneCase c : {AloneCase{25, "0", 40}, AloneCase{12, "0", 83}, AloneCase{25, "25", 32}}) {
        CardCtrl<ManualClock> card;
        ASSERT_EQ(card.ctrl.setinfo("audio_run_over", c.runOver), 1);
        const int64_t start = card.clock.MonotonicMs();
        ASSERT_EQ(card.ctrl.Play(), 1);
        card.PutVideo(1, 8, c.rateByte, 4);
        ASSERT_TRUE(card.clock.StepUntil([&] { return card.log.Video().size() == 8; }, kThreads));
        const auto video = card.log.Video();
        EXPECT_GE(video[0].atMs - start, 1000) << "held while audio might still come";
        EXPECT_LT(video[0].atMs - start, 1000 + 10);
        for (std::size_t i = 0; i < video.size(); ++i) {
            EXPECT_EQ(video[i].frame, i + 1);
            EXPECT_EQ(video[i].atMs - video[0].atMs, static_cast<int64_t>(i) * c.intervalMs)
                << "rate byte " << int(c.rateByte) << ", run-over " << c.runOver << ", frame " << i + 1;
        }
        EXPECT_TRUE(card.log.Audio().empty());
        ASSERT_EQ(card.ctrl.Stop(), 1);
    }
}

TEST(StreamPlayBackCtrl, VideoStaysBehindAudio)
{
    CardCtrl<ManualClock> card;
    ASSERT_EQ(card.ctrl.Play(), 1);
    // Video runs at twice the audio's pace; the audio holds it back.
    card.PutVideo(1, 20, 0, 10);
    card.PutAudio(1, 20);
    ASSERT_TRUE(card.clock.StepUntil([&] { return card.log.Video().size() == 20; }, kThreads));
    uint32_t audioOut = 0;
    int64_t lastAudioMs = 0;
    uint32_t videoOut = 0;
    for (const Released& entry : card.log.All()) {
        if (entry.kind == "g711a") {
            EXPECT_EQ(entry.frame, ++audioOut);
            EXPECT_EQ(entry.audioRate, 8000u);
            if (audioOut > 1) {
                EXPECT_EQ(entry.atMs - lastAudioMs, 40);
            }
            lastAudioMs = entry.atMs;
        } else if (entry.kind.rfind("h264_", 0) == 0) {
            EXPECT_EQ(entry.frame, ++videoOut);
            EXPECT_GE(audioOut + 1, entry.frame) << "video frame " << entry.frame << " ran ahead of the audio";
            EXPECT_GE(audioOut, 1u);
        }
    }
    EXPECT_EQ(videoOut, 20u);
    ASSERT_EQ(card.ctrl.Stop(), 1);
}

struct SpeedCase {
    const char* mode;
    std::vector<uint32_t> frames;
};

TEST(StreamPlayBackCtrl, FastAndKeyFrameModesDropTheSound)
{
    const SpeedCase cases[] = {
        {"i_only", {1, 6, 11, 16}},
        {"no_fps", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},
    };
    for (const SpeedCase& c : cases) {
        CardCtrl<ManualClock> card;
        ASSERT_EQ(card.ctrl.setinfo("out_speed", c.mode), 1);
        ASSERT_EQ(card.ctrl.Play(), 1);
        card.PutAudio(1, 5);
        card.PutVideo(1, 20, 25, 5);
        ASSERT_TRUE(card.clock.StepUntil([&] { return card.log.Video().size() == c.frames.size(); }, kThreads));
        const auto video = card.log.Video();
        std::vector<uint32_t> frames;
        for (const Released& entry : video) frames.push_back(entry.frame);
        EXPECT_EQ(frames, c.frames) << c.mode;
        EXPECT_LE(video.back().atMs - video.front().atMs, static_cast<int64_t>(20 * 3)) << "no pacing";
        EXPECT_TRUE(card.log.Audio().empty()) << c.mode;
        ASSERT_EQ(card.ctrl.Stop(), 1);
    }
}

struct RequestCase {
    const char* what;
    uint32_t frames;      // video frames put once the first pass has looked at the empty queue
    std::size_t length;   // bytes each
    const char* lossRate; // "" leaves it unknown
    int answer;
    float firstRate; // asked for on the first pass
    float laterRate; // asked for after the frames were put
};

TEST(StreamPlayBackCtrl, QueueFillAsksForAnotherRateAtMostEvery1500Ms)
{
    // The received rate counts the frames put over the 100 ms slots since the last request taken; many frames at
    // once keep it far from 5.
    const RequestCase cases[] = {
        {"a queue over 851 per mille asks for 5", 40, 95 * 1024, "", 1, 35.0f, 5.0f},
        {"a queue below 300 per mille asks for 35", 1, 1000, "", 1, 35.0f, 35.0f},
        {"a refused request is not asked again sooner", 1, 1000, "", 0, 35.0f, 35.0f},
        {"losses below 51 wish for 2 more than arrive, at least 5", 1, 1000, "0", 1, 5.0f, 5.0f},
    };
    for (const RequestCase& c : cases) {
        CardCtrl<ManualClock> card;
        card.requestAnswer = c.answer;
        if (*c.lossRate != '\0') {
            ASSERT_EQ(card.ctrl.setinfo("pack_loss_rate", c.lossRate), 1);
        }
        const int64_t start = card.clock.MonotonicMs();
        ASSERT_EQ(card.ctrl.Play(), 1);
        ASSERT_TRUE(card.clock.Settle(kThreads));
        for (uint32_t n = 1; n <= c.frames; ++n) card.Put(VideoFrame(n, n == 1, 25, c.length), 1);
        ASSERT_TRUE(card.clock.StepUntil([&] { return card.Requests().size() >= 3; }, kThreads)) << c.what;
        const auto requests = card.Requests();
        EXPECT_EQ(requests[0].atMs, start) << c.what;
        EXPECT_EQ(requests[0].frameRate, c.firstRate) << c.what;
        for (std::size_t i = 1; i < requests.size(); ++i) {
            EXPECT_EQ(requests[i].frameRate, c.laterRate) << c.what;
            // On the first 200 ms pass after 1500 ms.
            EXPECT_EQ(requests[i].atMs - requests[i - 1].atMs, 1600) << c.what;
        }
        ASSERT_EQ(card.ctrl.Stop(), 1);
    }
}

TEST(StreamPlayBackCtrl, AnIdleQueueIsReportedEveryFifthLook)
{
    CardCtrl<ManualClock> card;
    ASSERT_EQ(card.ctrl.Play(), 1);
    ASSERT_TRUE(card.clock.StepUntil([&] { return card.log.Count("state") == 3; }, kThreads));
    std::vector<Released> states;
    for (const Released& entry : card.log.All())
        if (entry.kind == "state") states.push_back(entry);
    ASSERT_EQ(states.size(), 3u);
    EXPECT_EQ(states[1].atMs - states[0].atMs, 5 * 3);
    EXPECT_EQ(states[2].atMs - states[1].atMs, 5 * 3);
    EXPECT_EQ(states[0].length, 0u);
    EXPECT_EQ((states[0].syncId >> 30) & 0x3FFu, static_cast<uint64_t>(streams::StreamQueue::kCacheLevelStart))
        << "the queue's cache level travels in the sync id";
    EXPECT_EQ(states[0].syncId & 0xFFFFFu, 0u) << "no fill";
    ASSERT_EQ(card.ctrl.Stop(), 1);
}

TEST(StreamPlayBackCtrl, SettingsAndRefusals)
{
    CardCtrl<testing_support::SteppingClock> card;
    EXPECT_EQ(card.ctrl.LossRate(), 1020u) << "not given";
    EXPECT_EQ(card.ctrl.setinfo("pack_loss_rate", "5000"), 1);
    EXPECT_EQ(card.ctrl.LossRate(), 1000u);
    EXPECT_EQ(card.ctrl.setinfo("audio_run_over", "101"), 1);
    EXPECT_EQ((card.ctrl.ControlWordB() >> 4) & 0x7Fu, 100u);
    EXPECT_EQ(card.ctrl.setinfo("out_speed", "i_only"), 1);
    EXPECT_EQ(card.ctrl.ControlWordB() & 0x1800u, QN_STREAM_PLAY_BACK_CTRL::kKeyOnly);
    EXPECT_EQ(card.ctrl.setinfo("out_speed", "fps"), 1);
    EXPECT_EQ(card.ctrl.ControlWordB() & 0x1800u, 0u);
    EXPECT_EQ(card.ctrl.setinfo("out_speed", "slow"), 0);
    EXPECT_EQ(card.ctrl.setinfo("need_cache", "n"), 1);
    const FedFrame frame = VideoFrame(1, true, 25);
    EXPECT_EQ(card.ctrl.input(frame.bytes.data(), 64, frame.head, 1), 0) << "not playing";
    ASSERT_EQ(card.ctrl.Play(), 1);
    EXPECT_EQ(card.ctrl.setinfo("clear_all", ""), 0) << "not while playing";
    EXPECT_EQ(card.ctrl.SetOutCallBack(&OutputLog::Callback, &card.log, 0), 0);
    EXPECT_EQ(card.ctrl.SetRateCallBack(nullptr, nullptr, 0), 0);
    EXPECT_EQ(card.ctrl.input(frame.bytes.data(), 64, frame.head, 4), 0);
    ASSERT_EQ(card.ctrl.Stop(), 1);
    EXPECT_EQ(card.ctrl.setinfo("clear_all", ""), 1);
    const std::vector<std::string> expected = {"play ctrl setinfo(out_speed) error!",
                                               "Not be playing",
                                               "play ctrl setinfo(clear_all) error!",
                                               "Not be stopped",
                                               "Not be stopped",
                                               "Non-support command"};
    EXPECT_EQ(card.messages, expected);
    ASSERT_EQ(card.ctrl.Release(), 1);
    EXPECT_EQ(card.ctrl.Play(), 0);
    EXPECT_EQ(card.messages.back(), "Not be initialized");
}

TEST(StreamPlayBackCtrlThreads, StopWhileTheThreadsWaitReturnsAndLeavesNoThread)
{
    const int baseline = testing_support::SettledThreadCount();
    {
        // Once the first frames are out the time stands still: the threads stay in their waits until the stop
        // wakes them.
        CardCtrl<ManualClock> card;
        ASSERT_EQ(card.ctrl.Play(), 1);
        card.PutVideo(1, 3, 31, 3); // one frame a second
        card.PutAudio(1, 3);
        ASSERT_TRUE(
            card.clock.StepUntil([&] { return !card.log.Video().empty() && !card.log.Audio().empty(); }, kThreads));
        ASSERT_EQ(card.ctrl.Stop(), 1);
        EXPECT_EQ(card.clock.Pending(), 0u);
        EXPECT_EQ(card.log.Count("STOP_V"), 1u);
        EXPECT_EQ(card.log.Count("STOP_A"), 1u);
        EXPECT_EQ(card.log.Count("PAUSE_V") + card.log.Count("PAUSE_A"), 0u) << "play and stop pass no pause";
        const auto all = card.log.All();
        EXPECT_TRUE(all.back().kind.rfind("STOP_", 0) == 0 && all[all.size() - 2].kind.rfind("STOP_", 0) == 0);
    }
    EXPECT_EQ(testing_support::ThreadCount(), baseline);
}

TEST(StreamPlayBackCtrlThreads, StartStopSoak)
{
    const int asked = std::atoi(platform::GetEnv("OSTRELS_PLAY_CYCLES").value_or("").c_str());
    const int cycles = asked > 0 ? asked : 20;
    const int baseline = testing_support::SettledThreadCount();
    {
        CardCtrl<testing_support::SteppingClock> card;
        uint32_t next = 1;
        for (int cycle = 0; cycle < cycles; ++cycle) {
            ASSERT_EQ(card.ctrl.Play(), 1);
            card.PutVideo(next, next + 4, 25, 5);
            card.PutAudio(next, next + 4);
            next += 6;
            if (cycle % 2 == 0) {
                ASSERT_TRUE(testing_support::WaitUntil([&] { return !card.log.Video().empty(); }));
            }
            ASSERT_EQ(card.ctrl.Stop(), 1);
            const std::size_t handed = card.log.All().size();
            EXPECT_EQ(card.log.Count("STOP_V"), static_cast<std::size_t>(cycle + 1));
            EXPECT_EQ(card.log.Count("STOP_A"), static_cast<std::size_t>(cycle + 1));
            ASSERT_EQ(card.ctrl.setinfo("clear_all", ""), 1);
            EXPECT_EQ(card.log.All().size(), handed) << "nothing is handed on after a stop";
        }
    }
    EXPECT_EQ(testing_support::ThreadCount(), baseline);
}

} // namespace
