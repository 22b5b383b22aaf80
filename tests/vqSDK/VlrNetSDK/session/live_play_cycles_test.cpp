// Start and stop, over and over: alternating routes, and stops that fall
// before, during or after a late local route's takeover. No thread is left
// behind, no frame reaches the callback once a stop has returned, and no
// takeover of a stopped play is ever announced. The normal run makes 20
// cycles of each kind; OSTRELS_PLAY_CYCLES sets another count.
#include "play_session.h"

#include <atomic>
#include <cstdlib>

#include "vqSDK/VlrNetSDK/session/live_play_race.h"
#include "vqSDK/VlrNetSDK/session/play_state.h"
#include "platform/paths.h"

namespace {

using namespace play_test;

int Cycles()
{
    const int asked = std::atoi(platform::GetEnv("OSTRELS_PLAY_CYCLES").value_or("").c_str());
    return asked > 0 ? asked : 20;
}

class PlayCycles : public PlaySession {
protected:
    // Counts frames that arrive while no play should deliver any, and, in
    // a cycle whose route is known, frames of the other route (an earlier
    // cycle's stream that outlived its stop).
    void WatchLateFrames()
    {
        live.onFrame = [this](const DeliveredFrame& frame) {
            const int expected = expectedRoute.load();
            const int route = frame.number > kLocalFrameBase ? qn_net::play::kLocalRoute : qn_net::play::kPublicRoute;
            if (stopped.load() || (expected >= 0 && route != expected)) late.fetch_add(1);
        };
    }
    void TearDown() override
    {
        live.onFrame = nullptr;
        PlaySession::TearDown();
    }

    std::atomic<bool> stopped{true};
    std::atomic<int> expectedRoute{-1};  // -1: either
    std::atomic<int> late{0};
};

TEST_F(PlayCycles, AlternatingRoutesLeaveNoThreadAndNoFrameAfterAStop)
{
    // The management server names the camera and the video server in turn.
    SignIn(SessionPeers().Mgr("--alternate"));
    const int threads = ThreadCount();
    WatchLateFrames();
    const int cycles = Cycles();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const bool local = cycle % 2 == 0;
        const std::size_t before = live.Video().size();
        expectedRoute.store(local ? qn_net::play::kLocalRoute : qn_net::play::kPublicRoute);
        stopped.store(false);
        int32_t route = -1;
        ASSERT_EQ(QN_NET_StartRealPlay(kCamera, &route), 1) << "cycle " << cycle;
        EXPECT_EQ(route, local ? qn_net::play::kLocalRoute : qn_net::play::kPublicRoute) << "cycle " << cycle;
        EXPECT_TRUE(live.WaitVideo([&](const auto& video) { return video.size() >= before + 3; },
                                   testing_support::kEventBoundMs))
            << "cycle " << cycle;
        ASSERT_EQ(QN_NET_StopRealPlay(kCamera), 1);
        stopped.store(true);
        EXPECT_FALSE(qn_net::session_hold()->runner.running());
    }
    platform::SleepMs(300);
    EXPECT_EQ(late.load(), 0) << "frames after a stop returned";
    EXPECT_TRUE(events.Of(QN_NET_EVENT_LOCAL_ROUTE).empty());
    EXPECT_EQ(ThreadCount(), threads);
}

TEST_F(PlayCycles, StopsAroundALateTakeoverNeverLetItReachALaterPlay)
{
    // Public wins each race; the camera's first block follows 300 ms later.
    SignIn(SessionPeers().Camera("--first-block-delay 0.3"));
    const int threads = ThreadCount();
    WatchLateFrames();
    const int cycles = Cycles();
    std::size_t takeovers = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        stopped.store(false);
        int32_t route = -1;
        ASSERT_EQ(QN_NET_StartRealPlay(kCamera, &route), 1) << "cycle " << cycle;
        // Stops land before, around and after the takeover; how they fall
        // depends on the machine's speed, so the last stop waits for it.
        if (cycle + 1 < cycles) {
            platform::SleepMs(40 * (cycle % 15));
        } else {
            EXPECT_TRUE(testing_support::WaitUntil([&] {
                return events.Of(QN_NET_EVENT_LOCAL_ROUTE).size() > takeovers;
            })) << "the local route never took over";
        }
        ASSERT_EQ(QN_NET_StopRealPlay(kCamera), 1);
        stopped.store(true);
        EXPECT_FALSE(qn_net::session_hold()->runner.running());
        EXPECT_FALSE(qn_net::session_hold()->video.playing());
        EXPECT_FALSE(qn_net::session_hold()->ipc.streaming());
        takeovers = events.Of(QN_NET_EVENT_LOCAL_ROUTE).size();
        platform::SleepMs(20);
        EXPECT_EQ(events.Of(QN_NET_EVENT_LOCAL_ROUTE).size(), takeovers) << "a takeover after the stop, cycle " << cycle;
    }
    platform::SleepMs(300);
    EXPECT_EQ(late.load(), 0) << "frames after a stop returned";
    EXPECT_EQ(events.Of(QN_NET_EVENT_LOCAL_ROUTE).size(), takeovers);
    // The later stops came after the takeover.
    EXPECT_GT(takeovers, 0u);
    EXPECT_EQ(ThreadCount(), threads);
}

} // namespace
