// Live play against the simulated service: which route wins the race, the
// takeover by a late local route, a start that no route answers, an
// off-line camera, and a stop with nothing playing. Delivered frames are
// checked against the source with ffprobe and ffmpeg's framemd5.
#include "play_session.h"

#include <atomic>

#include "vqSDK/VlrNetSDK/media/camera_messages.h"
#include "vqSDK/VlrNetSDK/session/live_play_race.h"
#include "vqSDK/VlrNetSDK/session/play_state.h"
#include "support/this_process.h"
#include "support/wait_until.h"

namespace {

using namespace play_test;
using qn_net::LastError;

constexpr int kFrames = 100;

class LivePlay : public PlaySession {
protected:
    // Nothing of the play is left: no stream, no route thread.
    void ExpectNothingPlays()
    {
        EXPECT_FALSE(qn_net::session_hold()->video.playing());
        EXPECT_FALSE(qn_net::session_hold()->ipc.streaming());
        EXPECT_FALSE(qn_net::session_hold()->runner.running());
    }
};

// Logs out and ends the SDK from the stream's callback, once, on a video
// frame: the deck hands those over on its own thread (audio comes on the
// receive thread, which must not be called back into).
std::atomic<int> g_cleanupFromCallback{-1};

int EndFromCallback(char* data, int32_t type, int32_t, int32_t, int32_t)
{
    if (type == QN_NET_FRAME_AUDIO_G711A) return 0;
    QN_NET_Free(data);
    int first = -1;
    if (g_cleanupFromCallback.compare_exchange_strong(first, -2)) {
        g_cleanupFromCallback.store(QN_NET_Logout(kUser) == 1 ? QN_NET_Cleanup() : 0);
    }
    return 0;
}

// The public stream's callback runs on the deck's thread, which the session
// joins as it ends: ended from that callback, the session is destroyed on
// another thread once the callback has returned, and its threads are gone.
TEST_F(LivePlay, LogoutAndCleanupFromTheStreamsCallbackEndTheSessionWhole)
{
    SignIn(SessionPeers().NoCamera());
    // The receive thread, the deck's thread and three watchers.
    const int sessionThreads = 5;
    const int threadsBefore = testing_support::SettledThreadCount();
    g_cleanupFromCallback.store(-1);
    ASSERT_EQ(QN_NET_SetRealDataCallBack(&EndFromCallback, 0), 1);
    int32_t route = -1;
    ASSERT_EQ(QN_NET_StartRealPlay(kCamera, &route), 1);
    EXPECT_EQ(route, qn_net::play::kPublicRoute);
    ASSERT_TRUE(testing_support::WaitUntil([] { return g_cleanupFromCallback.load() >= 0; }));
    EXPECT_EQ(g_cleanupFromCallback.load(), 1);
    EXPECT_TRUE(testing_support::WaitUntil(
        [&] { return testing_support::ThreadCount() == threadsBefore - sessionThreads; }))
        << testing_support::ThreadCount() << " threads, " << threadsBefore << " with the session";
    EXPECT_EQ(QN_NET_StopRealPlay(kCamera), 0) << "the SDK has ended";
}

TEST_F(LivePlay, TheLocalRouteWinsWhenTheVideoServerHoldsItsAnswer)
{
    SignIn(SessionPeers().Video("--hold-connect"));
    int32_t route = -1;
    ASSERT_EQ(QN_NET_StartRealPlay(kCamera, &route), 1);
    EXPECT_EQ(route, qn_net::play::kLocalRoute);
    EXPECT_EQ(qn_net::play::current_route(*qn_net::session_hold()), qn_net::play::kLocalRoute);
    // The public route was told to stop.
    EXPECT_TRUE(video->WaitFor(qn_net::kMsgCloseChannel, 1, testing_support::kEventBoundMs));

    ASSERT_TRUE(WaitLiveFrame(kLocalFrameBase + kFrames, testing_support::kEventBoundMs));
    EXPECT_EQ(QN_NET_StopRealPlay(kCamera), 1);
    EXPECT_TRUE(camera->WaitFor(qn_net::kMsgCloseChannel, 1, testing_support::kEventBoundMs));
    ExpectNothingPlays();
    EXPECT_TRUE(events.Of(QN_NET_EVENT_LOCAL_ROUTE).empty());

    const auto frames = FramesBetween(live.Video(), 0, ~0u, kLocalFrameBase);
    EXPECT_EQ(media_test::CheckDeliveredVideo(frames, Media(), Renumbered(camera->Frames(), kLocalFrameBase),
                                              camera->Folder() + "/live_out.264"),
              static_cast<std::size_t>(kFrames));
}

TEST_F(LivePlay, APublicRouteThatWonIsTakenOverByALateLocalRoute)
{
    // The camera's first block comes a second after its stream was asked for.
    SignIn(SessionPeers().Camera("--first-block-delay 1.0"));
    int32_t route = -1;
    ASSERT_EQ(QN_NET_StartRealPlay(kCamera, &route), 1);
    EXPECT_EQ(route, qn_net::play::kPublicRoute);

    ASSERT_TRUE(events.WaitFor(QN_NET_EVENT_LOCAL_ROUTE, testing_support::kEventBoundMs));
    const auto takeover = events.Of(QN_NET_EVENT_LOCAL_ROUTE);
    ASSERT_EQ(takeover.size(), 1u);
    EXPECT_EQ(takeover[0].first, kCamera);
    EXPECT_EQ(takeover[0].second, 0);
    EXPECT_EQ(qn_net::play::current_route(*qn_net::session_hold()), qn_net::play::kLocalRoute);
    EXPECT_FALSE(qn_net::session_hold()->video.playing());
    EXPECT_TRUE(video->WaitFor(qn_net::kMsgCloseChannel, 1, testing_support::kEventBoundMs));

    ASSERT_TRUE(WaitLiveFrame(kLocalFrameBase + kFrames, testing_support::kEventBoundMs));
    EXPECT_EQ(QN_NET_StopRealPlay(kCamera), 1);
    ExpectNothingPlays();

    const auto all = live.Video();
    const auto publicFrames = FramesBetween(all, 1, kFrames, 0);
    const auto localFrames = FramesBetween(all, kLocalFrameBase + 1, kLocalFrameBase + kFrames, kLocalFrameBase);
    EXPECT_EQ(publicFrames.size() + localFrames.size(), all.size()) << "a frame of neither stream";
    // Both streams arrive whole and decode to the source's pictures; how much
    // of the public one came before the takeover cut it depends on timing.
    EXPECT_GT(media_test::CheckDeliveredVideo(publicFrames, Media(), video->Frames(), video->Folder() + "/public.264"),
              0u);
    EXPECT_EQ(media_test::CheckDeliveredVideo(localFrames, Media(), Renumbered(camera->Frames(), kLocalFrameBase),
                                              camera->Folder() + "/local.264"),
              static_cast<std::size_t>(kFrames));
}

TEST_F(LivePlay, AStartThatNoRouteAnswersTimesOutAndLeavesNothingBehind)
{
    // The camera never sends a block; the video server never answers 40013.
    SignIn(SessionPeers().Camera("--first-block-delay -1").Video("--hold-connect"));
    const int threads = ThreadCount();
    int32_t route = -1;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(QN_NET_StartRealPlay(kCamera, &route), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(6000));
    EXPECT_EQ(LastError(), QN_NET_ERR_TIMEOUT);
    EXPECT_EQ(route, -1);
    ExpectNothingPlays();
    EXPECT_TRUE(live.Video().empty());
    // Both routes were tried and told to stop.
    EXPECT_TRUE(camera->WaitFor(qn_net::kMsgConnectVideo, 1, testing_support::kEventBoundMs));
    EXPECT_TRUE(camera->WaitFor(qn_net::kMsgCloseChannel, 1, testing_support::kEventBoundMs));
    EXPECT_GE(video->MessagesWithId(qn_net::kMsgConnectVideo).size(), 6u);
    // The online check's waiter ends by itself within its 500 ms.
    EXPECT_TRUE(testing_support::WaitUntil([&] { return ThreadCount() == threads; }));
}

TEST_F(LivePlay, AnOfflineCameraFailsThePublicRouteWith12005AndIsAskedOncePerSecond)
{
    SignIn(SessionPeers().NoCamera().Mgr("--offline"));
    // Both starts within one second of the clock.
    const int64_t now = platform::WallNow().seconds;
    while (platform::WallNow().seconds == now) platform::SleepMs(5);
    for (int start = 0; start < 2; ++start) {
        int32_t route = -1;
        EXPECT_EQ(QN_NET_StartRealPlay(kCamera, &route), 0);
        EXPECT_EQ(LastError(), QN_NET_ERR_CAMERA_OFFLINE);
        ExpectNothingPlays();
    }
    // Both checks fell into one second when both starts ended within it;
    // otherwise the clock may have turned between the two checks or not.
    const bool sameSecond = platform::WallNow().seconds == now + 1;
    EXPECT_TRUE(video->WaitFor(qn_net::kMsgCloseChannel, 1, testing_support::kEventBoundMs));
    // One online check per camera and second, each sent as two requests. The
    // peer logs a request once it has read it: wait until it read whole pairs.
    std::size_t asked = 0;
    EXPECT_TRUE(testing_support::WaitUntil(
        [&] {
            asked = MgrBodies(*mgr, 20202).size();
            return asked >= 2 && asked % 2 == 0;
        },
        testing_support::kEventBoundMs, 20))
        << asked;
    if (sameSecond) {
        EXPECT_EQ(asked, 2u);
    } else {
        EXPECT_TRUE(asked == 2u || asked == 4u) << asked;
    }
}

// Block counts of QN_NET_CountStreamBlocks, as the last call gave them.
struct BlockCount {
    static void On(void*, int32_t requested, int32_t counted, int32_t, int32_t)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            calls.push_back({requested, counted});
        }
        changed.notify_all();
    }
    static bool WaitCalls(std::size_t count, int ms)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return calls.size() >= count; });
    }
    // Each test counts afresh: the calls of an earlier test in the same process stay out.
    static void Clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.clear();
    }
    static std::vector<std::pair<int32_t, int32_t>> Calls()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }
    static inline std::mutex mutex;
    static inline std::condition_variable changed;
    static inline std::vector<std::pair<int32_t, int32_t>> calls;
};

TEST_F(LivePlay, BlocksAreCountedOnThePublicRouteOnly)
{
    // The count covers the second after it starts, so the stream must still
    // run then however late that is: ten seconds of it.
    SignIn(SessionPeers().Video("--frame-gap 0.1").NoCamera());
    int32_t route = -1;
    ASSERT_EQ(QN_NET_StartRealPlay(kCamera, &route), 1);
    ASSERT_EQ(route, qn_net::play::kPublicRoute);
    BlockCount::Clear();
    ASSERT_EQ(QN_NET_CountStreamBlocks(1, &BlockCount::On), 1);
    ASSERT_TRUE(BlockCount::WaitCalls(1, testing_support::kEventBoundMs));
    EXPECT_GT(BlockCount::Calls()[0].second, 0);
    EXPECT_EQ(QN_NET_StopRealPlay(kCamera), 1);
}

TEST_F(LivePlay, LocalRealPlayGoesStraightToTheCamera)
{
    SignIn(SessionPeers().NoVideo());
    ASSERT_EQ(QN_NET_LocalRealPlay(kCamera, netsdk_test::LoopbackIPv4(), camera->Port()), 1);
    EXPECT_EQ(qn_net::play::current_route(*qn_net::session_hold()), qn_net::play::kLocalRoute);
    EXPECT_TRUE(WaitLiveFrame(kLocalFrameBase + kFrames, testing_support::kEventBoundMs));
    BlockCount::Clear();
    ASSERT_EQ(QN_NET_CountStreamBlocks(1, &BlockCount::On), 1);
    EXPECT_EQ(BlockCount::Calls(), (std::vector<std::pair<int32_t, int32_t>>{{-1, 0}}));
    EXPECT_EQ(QN_NET_StopRealPlay(kCamera), 1);
    EXPECT_TRUE(camera->WaitFor(qn_net::kMsgCloseChannel, 1, testing_support::kEventBoundMs));
    ExpectNothingPlays();
}

TEST_F(LivePlay, LocalRealPlayWithoutACameraAnswerTimesOut)
{
    // The camera answers 40013 with a message of the wrong length.
    SignIn(SessionPeers().Camera("--answer-total 40").NoVideo());
    EXPECT_EQ(QN_NET_LocalRealPlay(kCamera, netsdk_test::LoopbackIPv4(), camera->Port()), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_TIMEOUT);
    EXPECT_TRUE(TraceLog::Has("local connect_video_msg timeout"));
    ExpectNothingPlays();
}

TEST_F(LivePlay, NothingPlayingBeforeAnyStart)
{
    SignIn(SessionPeers().NoCamera().NoVideo());
    // Before any play the route is the public one.
    EXPECT_EQ(qn_net::play::current_route(*qn_net::session_hold()), qn_net::play::kPublicRoute);
    EXPECT_EQ(QN_NET_StopRealPlay(kCamera), 1);
    EXPECT_TRUE(TraceLog::Has("QN_NET_StopRealPlay1 success(video no link)"));
    EXPECT_TRUE(TraceLog::Has("QN_NET_StopRealPlay2 success(video no link)"));
    EXPECT_EQ(QN_NET_StopRealPlay(-1), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);

    const char audio[320] = {};
    EXPECT_EQ(QN_NET_SendTalkData(0, audio, sizeof audio), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_VIDEO_NO_LINK);
    EXPECT_EQ(QN_NET_TalkCtrl(kCamera, 1), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_VIDEO_NO_LINK);
    int32_t route = -1;
    EXPECT_EQ(QN_NET_StartRealPlay(kCamera, nullptr), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);
    EXPECT_EQ(route, -1);
}

} // namespace
