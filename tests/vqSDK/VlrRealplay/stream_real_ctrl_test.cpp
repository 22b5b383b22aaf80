// The live pacing controller with its threads: release times on a test clock against those worked out from the
// frame rate and the catch-up rule, key frames only while video lags far behind audio, pause and stop marks, and
// stops that join their threads even while the threads wait.
#include "vqSDK/VlrRealplay/stream_real_ctrl.h"

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

constexpr std::size_t kThreads = 2;

template <typename Clock>
class LiveCtrl {
public:
    Clock clock;
    streams::StreamQueue queue{streams::QueueCapacity::Large};
    OutputLog log{clock};
    QN_STREAM_REAL_CTRL ctrl{clock};
    std::vector<std::string> messages;

    LiveCtrl()
    {
        ctrl.SetMsgCallBack([](int32_t, int32_t, const char* text, void* user,
                               int32_t) { static_cast<LiveCtrl*>(user)->messages.emplace_back(text); },
                            this, 0);
        EXPECT_EQ(ctrl.BindQueue(&queue), 1);
        ctrl.SetOutCallBack(&OutputLog::Callback, &log, 0);
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

struct IntervalCase {
    uint8_t rateByte;
    int64_t intervalMs;
};

TEST(StreamRealCtrl, VideoLeavesAtTheFrameRate)
{
    // Byte 0 and no rate in the stream's SEI: the starting 20 frames a second stay.
    for (const IntervalCase c : {IntervalCase{25, 40}, IntervalCase{12, 83}, IntervalCase{0, 50}}) {
        LiveCtrl<ManualClock> live;
        const int64_t start = live.clock.MonotonicMs();
        live.ctrl.setinfo("need_cache", "n");
        ASSERT_EQ(live.ctrl.Play(), 1);
        live.PutVideo(1, 12, c.rateByte, 6);
        ASSERT_TRUE(live.clock.StepUntil([&] { return live.log.Video().size() == 12; }, kThreads));
        const auto video = live.log.Video();
        for (std::size_t i = 0; i < video.size(); ++i) {
            EXPECT_EQ(video[i].frame, i + 1);
            EXPECT_EQ(video[i].atMs - video[0].atMs, static_cast<int64_t>(i) * c.intervalMs)
                << "rate byte " << int(c.rateByte) << ", frame " << i + 1;
        }
        EXPECT_LE(video[0].atMs - start, 10) << "the first frame leaves on the next look at the queue";
        EXPECT_EQ(video[0].kind, "h264_I");
        EXPECT_EQ(video[1].kind, "h264_P");
        ASSERT_EQ(live.ctrl.Stop(), 1);
    }
}

TEST(StreamRealCtrl, LatenessIsPaidBackFromLaterFrames)
{
    struct Case {
        const char* compensate;
        std::vector<int64_t> gaps;
    };
    // Handing on frame 1 takes 60 ms of a 40 ms interval: frame 2 leaves at once, and with compensation frame 3
    // leaves 20 ms later to pay the 20 ms back.
    for (const Case& c : {Case{"y", {60, 20, 40, 40}}, Case{"n", {60, 40, 40, 40}}}) {
        LiveCtrl<ManualClock> live;
        ASSERT_EQ(live.ctrl.setinfo("level_timeinter", c.compensate), 1);
        live.log.answer = [&](const Released& entry) {
            if (entry.frame == 1) live.clock.Advance(60);
            return 1;
        };
        ASSERT_EQ(live.ctrl.Play(), 1);
        live.PutVideo(1, 5, 25, 5);
        ASSERT_TRUE(live.clock.StepUntil([&] { return live.log.Video().size() == 5; }, kThreads));
        const auto video = live.log.Video();
        for (std::size_t i = 0; i < c.gaps.size(); ++i)
            EXPECT_EQ(video[i + 1].atMs - video[i].atMs, c.gaps[i]) << "compensate " << c.compensate << ", gap " << i;
        ASSERT_EQ(live.ctrl.Stop(), 1);
    }
}

// Catch-up at 25 frames a second: none below 400 ms of lag, then (lag + 600) / 600 times faster, at most twice.
int64_t CatchUpIntervalMs(int64_t lagMs)
{
    if (lagMs < 400) return 40;
    if (lagMs >= 600) return 20;
    return 600 * 1000 / (25 * (lagMs + 600));
}

TEST(StreamRealCtrl, FarBehindAudioOnlyKeyFramesLeaveThenVideoCatchesUp)
{
    LiveCtrl<ManualClock> live;
    ASSERT_EQ(live.ctrl.Play(), 1);
    live.PutAudio(1, 100);
    ASSERT_TRUE(live.clock.StepUntil([&] { return live.log.Audio().size() == 100; }, kThreads));
    // Frame 1 trails audio 100 by 3.96 s: key frames only, one every 10 ms, until frame 26 finds the lag at 3 s.
    live.PutVideo(1, 100, 25, 25);
    ASSERT_TRUE(live.clock.StepUntil([&] { return live.log.Video().size() == 76; }, kThreads));
    const auto video = live.log.Video();
    EXPECT_EQ(video[0].frame, 1u);
    EXPECT_EQ(video[1].frame, 26u) << "the P frames of a lag above 3 s are dropped";
    EXPECT_EQ(video[1].atMs - video[0].atMs, 25 * 10);
    for (std::size_t i = 1; i + 1 < video.size(); ++i) {
        const uint32_t frame = video[i].frame;
        ASSERT_EQ(video[i + 1].frame, frame + 1);
        const int64_t lagMs = (100 - (frame - 1)) * 40;
        EXPECT_EQ(video[i + 1].atMs - video[i].atMs, CatchUpIntervalMs(lagMs)) << "after frame " << frame;
    }
    ASSERT_EQ(live.ctrl.Stop(), 1);
}

struct AudioCase {
    const char* runOver;
    uint32_t videoAhead; // video frames released before the audio is put
    uint32_t firstRate;
    int64_t firstHoldMs;
};

TEST(StreamRealCtrl, AudioLeavesAtItsSampleRate)
{
    const AudioCase cases[] = {
        {"0", 0, 8000, 40},
        {"10", 0, 8000, 36},
        {"0", 60, 9600, 33}, // 2.4 s behind video: 1.2 times faster
        {"0", 80, 48000, 6}, // 3.2 s behind: 6 times
    };
    for (const AudioCase& c : cases) {
        LiveCtrl<ManualClock> live;
        ASSERT_EQ(live.ctrl.setinfo("audio_run_over", c.runOver), 1);
        ASSERT_EQ(live.ctrl.Play(), 1);
        if (c.videoAhead > 0) {
            live.PutVideo(1, c.videoAhead, 25, 25);
            ASSERT_TRUE(live.clock.StepUntil([&] { return live.log.Video().size() == c.videoAhead; }, kThreads));
        }
        live.PutAudio(1, 3);
        ASSERT_TRUE(live.clock.StepUntil([&] { return live.log.Audio().size() == 3; }, kThreads));
        const auto audio = live.log.Audio();
        EXPECT_EQ(audio[0].audioRate, c.firstRate) << c.runOver << "/" << c.videoAhead;
        EXPECT_EQ(audio[1].atMs - audio[0].atMs, c.firstHoldMs) << c.runOver << "/" << c.videoAhead;
        EXPECT_EQ(audio[0].length, 320u);
        ASSERT_EQ(live.ctrl.Stop(), 1);
    }
}

TEST(StreamRealCtrl, RefusedAudioIsOfferedEightTimesThenDropped)
{
    LiveCtrl<ManualClock> live;
    live.log.answer = [](const Released& entry) { return entry.kind == "g711a" && entry.frame == 1 ? 0 : 1; };
    ASSERT_EQ(live.ctrl.Play(), 1);
    live.PutAudio(1, 2);
    ASSERT_TRUE(live.clock.StepUntil([&] { return live.log.Audio().size() == 9; }, kThreads));
    const auto audio = live.log.Audio();
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(audio[i].frame, 1u);
        if (i > 0) {
            EXPECT_EQ(audio[i].atMs - audio[i - 1].atMs, 10);
        }
    }
    EXPECT_EQ(audio[8].frame, 2u);
    ASSERT_EQ(live.ctrl.Stop(), 1);
}

TEST(StreamRealCtrl, FramesBeforeTheFirstKeyFrameAreDropped)
{
    struct Case {
        const char* holdForKey;
        std::vector<uint32_t> frames;
    };
    // Frames 1-6 with a key frame at 4, then "clear_all" and frames 7-9 with a key frame at 8.
    for (const Case& c : {Case{"y", {4, 5, 6, 8, 9}}, Case{"n", {1, 2, 3, 4, 5, 6, 7, 8, 9}}}) {
        LiveCtrl<ManualClock> live;
        ASSERT_EQ(live.ctrl.setinfo("p_is_key", c.holdForKey), 1);
        ASSERT_EQ(live.ctrl.Play(), 1);
        for (uint32_t n = 1; n <= 6; ++n) live.Put(VideoFrame(n, n == 4, 25), 1);
        ASSERT_TRUE(live.clock.StepUntil(
            [&] { return !live.log.Video().empty() && live.log.Video().back().frame == 6; }, kThreads));
        ASSERT_EQ(live.ctrl.setinfo("clear_all", ""), 1);
        for (uint32_t n = 7; n <= 9; ++n) live.Put(VideoFrame(n, n == 8, 25), 1);
        ASSERT_TRUE(live.clock.StepUntil([&] { return live.log.Video().back().frame == 9; }, kThreads));
        std::vector<uint32_t> frames;
        for (const Released& entry : live.log.Video()) frames.push_back(entry.frame);
        EXPECT_EQ(frames, c.frames) << "p_is_key " << c.holdForKey;
        const auto first = live.log.Video().front();
        EXPECT_EQ(first.kind, c.frames[0] == 4 ? "h264_I" : "h264_P");
        EXPECT_EQ(first.frameRate, c.frames[0] == 4 ? 25.0f : 20.0f) << "the rate is taken from key frames";
        ASSERT_EQ(live.ctrl.Stop(), 1);
    }
}

TEST(StreamRealCtrl, RefusalsAreReported)
{
    testing_support::SteppingClock clock;
    streams::StreamQueue queue{streams::QueueCapacity::Large}; // outlives the controller bound to it
    QN_STREAM_REAL_CTRL ctrl{clock};
    std::vector<std::string> messages;
    ctrl.SetMsgCallBack(
        [](int32_t code, int32_t value, const char* text, void* user, int32_t) {
            EXPECT_EQ(code, 0);
            EXPECT_EQ(value, 0);
            static_cast<std::vector<std::string>*>(user)->emplace_back(text);
        },
        &messages, 0);
    const FedFrame frame = VideoFrame(1, true, 25);
    EXPECT_EQ(ctrl.BindQueue(nullptr), 0);
    EXPECT_EQ(ctrl.input(frame.bytes.data(), 64, frame.head, 1), 0);
    EXPECT_EQ(ctrl.Play(), 0);
    ASSERT_EQ(queue.Open(2), 1);
    EXPECT_EQ(ctrl.BindQueue(&queue), 0) << "another module holds the queue";
    ASSERT_EQ(queue.Close(2), 1);
    ASSERT_EQ(ctrl.BindQueue(&queue), 1);
    EXPECT_EQ(ctrl.input(frame.bytes.data(), 64, frame.head, 1), 0);
    EXPECT_EQ(ctrl.Play(), 0);
    EXPECT_EQ(ctrl.setinfo("p_is_key", "maybe"), 0);
    EXPECT_EQ(ctrl.setinfo("level_time", "y"), 0);
    const std::vector<std::string> expected = {"StreamQueue is null",
                                               "Not be initialized",
                                               "Not be initialized",
                                               "Base resouce locked by other model",
                                               "Not be playing",
                                               "Not set stream call back",
                                               "real ctrl setinfo(p_is_key) error!",
                                               "real ctrl setinfo(level_time) error!"};
    EXPECT_EQ(messages, expected);
}

TEST(StreamRealCtrl, SettingsChangeTheControlWord)
{
    LiveCtrl<testing_support::SteppingClock> live;
    const uint32_t initial = live.ctrl.ControlWord();
    EXPECT_EQ(initial & 0x1Fu, 0x1Fu) << "bound, stopped, compensating, holding for and awaiting a key frame";
    EXPECT_EQ(live.ctrl.setinfo("level_timeinter", "n"), 1);
    EXPECT_EQ(live.ctrl.ControlWord() & QN_STREAM_REAL_CTRL::kCompensate, 0u);
    EXPECT_EQ(live.ctrl.setinfo("audio_run_over", "250"), 1);
    EXPECT_EQ((live.ctrl.ControlWord() >> 17) & 0x7Fu, 100u) << "clamped";
    EXPECT_EQ(live.ctrl.setinfo("audio_run_over", "-3"), 1);
    EXPECT_EQ((live.ctrl.ControlWord() >> 17) & 0x7Fu, 0u);
    EXPECT_EQ(live.ctrl.setinfo("need_cache", "y"), 1);
    EXPECT_EQ(live.ctrl.setinfo("clear_all", nullptr), 1);
    EXPECT_EQ(live.ctrl.setinfo("need_cache", "x"), 0) << "the queue refuses it";
    ASSERT_EQ(live.ctrl.Play(), 1);
    live.Put(VideoFrame(1, true, 25, 65536), 1);
    EXPECT_GT((live.ctrl.ControlWord() >> 7) & 0x3FFu, 0u) << "the byte fill after the put";
    ASSERT_EQ(live.ctrl.Stop(), 1);
}

TEST(StreamRealCtrlThreads, PauseAndStopAreMarked)
{
    const int baseline = testing_support::SettledThreadCount();
    {
        LiveCtrl<testing_support::SteppingClock> live;
        ASSERT_EQ(live.ctrl.Play(), 1);
        live.PutVideo(1, 5, 25, 5);
        ASSERT_TRUE(testing_support::WaitUntil([&] { return live.log.Video().size() == 5; }));
        ASSERT_EQ(live.ctrl.Pause(), 1);
        ASSERT_TRUE(
            testing_support::WaitUntil([&] { return live.log.Count("PAUSE_V") > 0 && live.log.Count("PAUSE_A") > 0; }));
        live.PutVideo(6, 8, 25, 5);
        live.PutAudio(1, 2);
        const std::size_t pauses = live.log.Count("PAUSE_V");
        ASSERT_TRUE(testing_support::WaitUntil([&] { return live.log.Count("PAUSE_V") > pauses + 3; }));
        EXPECT_EQ(live.log.Video().size(), 5u) << "nothing leaves while paused";
        EXPECT_TRUE(live.log.Audio().empty());
        ASSERT_EQ(live.ctrl.Resume(), 1);
        ASSERT_TRUE(
            testing_support::WaitUntil([&] { return live.log.Video().size() == 8 && live.log.Audio().size() == 2; }));
        ASSERT_EQ(live.ctrl.Stop(), 1);
        const auto all = live.log.All();
        EXPECT_EQ(live.log.Count("STOP_V"), 1u);
        EXPECT_EQ(live.log.Count("STOP_A"), 1u);
        const std::string last = all.back().kind, beforeLast = all[all.size() - 2].kind;
        EXPECT_TRUE((last == "STOP_V" && beforeLast == "STOP_A") || (last == "STOP_A" && beforeLast == "STOP_V"));
        EXPECT_EQ(live.ctrl.Stop(), 1) << "a second stop only reports";
        EXPECT_EQ(live.messages.back(), "Not be initialized");
        EXPECT_EQ(live.log.All().size(), all.size()) << "nothing is handed on after a stop";
    }
    EXPECT_EQ(testing_support::ThreadCount(), baseline);
}

TEST(StreamRealCtrlThreads, StopWhileTheThreadsWaitReturnsAndLeavesNoThread)
{
    const int baseline = testing_support::SettledThreadCount();
    {
        // Once the first frames are out the time stands still: both threads stay in their waits until the stop wakes
        // them.
        LiveCtrl<ManualClock> live;
        ASSERT_EQ(live.ctrl.Play(), 1);
        live.PutVideo(1, 3, 31, 3); // one frame a second
        live.PutAudio(1, 3);
        ASSERT_TRUE(
            live.clock.StepUntil([&] { return !live.log.Video().empty() && !live.log.Audio().empty(); }, kThreads));
        EXPECT_EQ(live.log.Video().size(), 1u);
        EXPECT_EQ(live.log.Audio().size(), 1u);
        ASSERT_EQ(live.ctrl.Stop(), 1);
        EXPECT_EQ(live.log.Count("STOP_V"), 1u);
        EXPECT_EQ(live.log.Count("STOP_A"), 1u);
        EXPECT_EQ(live.clock.Pending(), 0u);
        // Paused threads that have ended are not waited for.
        ASSERT_EQ(live.ctrl.Pause(), 1);
        ASSERT_EQ(live.ctrl.Release(), 1);
    }
    EXPECT_EQ(testing_support::ThreadCount(), baseline);
}

TEST(StreamRealCtrlThreads, StartStopSoak)
{
    const int asked = std::atoi(platform::GetEnv("OSTRELS_PLAY_CYCLES").value_or("").c_str());
    const int cycles = asked > 0 ? asked : 20;
    const int baseline = testing_support::SettledThreadCount();
    {
        LiveCtrl<testing_support::SteppingClock> live;
        uint32_t next = 1;
        for (int cycle = 0; cycle < cycles; ++cycle) {
            ASSERT_EQ(live.ctrl.Play(), 1);
            live.PutVideo(next, next + 4, 25, 5);
            live.PutAudio(next, next + 4);
            next += 6;
            if (cycle % 3 == 1) {
                live.ctrl.Pause();
                live.ctrl.Resume();
            }
            if (cycle % 2 == 0) {
                ASSERT_TRUE(testing_support::WaitUntil([&] { return !live.log.Video().empty(); }));
            }
            ASSERT_EQ(live.ctrl.Stop(), 1);
            const std::size_t handed = live.log.All().size();
            EXPECT_EQ(live.log.Count("STOP_V"), static_cast<std::size_t>(cycle + 1));
            EXPECT_EQ(live.log.Count("STOP_A"), static_cast<std::size_t>(cycle + 1));
            ASSERT_EQ(live.ctrl.setinfo("clear_all", ""), 1);
            EXPECT_EQ(live.log.All().size(), handed) << "nothing is handed on after a stop";
        }
    }
    EXPECT_EQ(testing_support::ThreadCount(), baseline);
}

} // namespace
