#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "frame_sink.h"
#include "media_peer.h"
#include "platform/net_socket.h"
#include "support/run_command.h"
#include "vqSDK/VlrNetSDK/loopback_pair.h"
#include "vqSDK/VlrNetSDK/frame_pool.h"
#include "vqSDK/VlrNetSDK/media/camera_messages.h"
#include "vqSDK/VlrNetSDK/media/frame_deck.h"
#include "vqSDK/VlrNetSDK/media/video_conn.h"
#include "vqSDK/VlrNetSDK/pending_request.h"
#include "vqSDK/VlrNetSDK/process_recv.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"
#include "support/wait_until.h"

namespace {

using media_test::FrameSink;
using media_test::MediaFixture;
using media_test::MediaPeer;
using qn_net::video_conn;

constexpr uint32_t kCamera = 7;
constexpr uint32_t kUser = 1234;


struct StopEvents {
    static void OnEvent(void*, int32_t code, int32_t first, int32_t second, void*)
    {
        std::lock_guard<std::mutex> lock(mutex);
        seen.push_back({code, first, second});
    }
    static std::vector<std::vector<int32_t>> Seen()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return seen;
    }
    static inline std::mutex mutex;
    static inline std::vector<std::vector<int32_t>> seen;
};

class VideoConn : public ::testing::Test {
protected:
    VideoConn() : deck(pool) {}

    void SetUp() override
    {
        ASSERT_TRUE(fixture.ok) << "ffmpeg could not make the test stream";
        ASSERT_EQ(receiver.start(), 1);
        qn_net::global_set().user_id.store(kUser);
        // Any free port: tests never take the service's own ports.
        qn_net::global_set().local_udp_port.store(0);
        {
            std::lock_guard<std::mutex> lock(StopEvents::mutex);
            StopEvents::seen.clear();
        }
        QN_NET_SetMsgCallBack(&StopEvents::OnEvent, nullptr, nullptr);
        deck.set_camera(kCamera);
        deck.set_data_callback(&FrameSink::OnData, sink.Value());
    }
    void TearDown() override
    {
        QN_NET_SetMsgCallBack(nullptr, nullptr, nullptr);
        deck.stop();
    }

    // Binds and runs the handshake the public live-play route runs.
    void Open(video_conn& conn, MediaPeer& peer)
    {
        ASSERT_NE(peer.Port(), 0) << "the simulated video server did not start";
        ASSERT_TRUE(conn.make_bind_udp());
        EXPECT_NE(conn.local_port(), 0);
        conn.set_camera(kCamera);
        conn.set_stream(1);
        conn.set_accepting(true);
        qn_net::pending_request open("openstream");
        ASSERT_TRUE(conn.open_stream(netsdk_test::LoopbackIPv4(), peer.Port(), kCamera, &open));
        EXPECT_EQ(open.event.Wait(testing_support::kEventBoundMs), 0);
        EXPECT_EQ(open.result, 1);
        conn.remove_pending(&open);
    }

    MediaFixture fixture;
    FrameSink sink;
    qn_net::process_recv receiver;
    qn_net::frame_pool pool;
    qn_net::frame_deck deck;
};

TEST_F(VideoConn, RecoversTheStreamFromLossReorderingAndRepeats)
{
    MediaPeer peer("video_server", fixture, "--loss 0.05 --reorder 4 --dup 0.02 --seed 11 --stray --server-close 5");
    video_conn conn(receiver, deck);
    Open(conn, peer);
    qn_net::pending_request connect("connectvideo");
    ASSERT_TRUE(conn.connect_video(kCamera, &connect));
    EXPECT_EQ(connect.event.Wait(testing_support::kEventBoundMs), 0);
    EXPECT_EQ(connect.result, 1);
    conn.remove_pending(&connect);
    EXPECT_TRUE(conn.keep_alive());

    const auto manifest = peer.Frames();
    ASSERT_EQ(manifest.size(), 100u);
    const uint32_t last = manifest.back().number;
    EXPECT_TRUE(sink.WaitVideo([&](const auto& video) { return !video.empty() && video.back().number == last; },
                               30000));
    // Resends race the clock: a sanitizer or a busy machine can slow the
    // receiver so much that a frame outlives its resend window, which the deck
    // then rightly skips. Whatever arrives must still be whole and decodable.
    const std::size_t mustRecover = manifest.size() - 5;
    EXPECT_GE(media_test::CheckDeliveredVideo(sink.Video(), fixture, manifest, peer.Folder() + "/out.264"),
              mustRecover);

    // Audio has no second chance: what arrives must be the source's.
    const std::string alaw = media_test::ReadFile(fixture.alaw);
    auto audio = sink.Audio();
    EXPECT_GE(audio.size(), 60u);
    for (const auto& frame : audio) {
        ASSERT_GE(frame.number, 1u);
        EXPECT_TRUE(frame.data == alaw.substr((frame.number - 1) * 320, 320)) << "audio of frame " << frame.number;
    }

    // The server's stop notice, and not the one from a stranger's address.
    testing_support::WaitUntil([] { return !StopEvents::Seen().empty(); });
    EXPECT_EQ(StopEvents::Seen(), (std::vector<std::vector<int32_t>>{{QN_NET_EVENT_STREAM_STOPPED, 7, 5}}));

    EXPECT_TRUE(conn.close_channel(kCamera));
    ASSERT_TRUE(peer.WaitFor(qn_net::kMsgCloseChannel, 1, testing_support::kEventBoundMs));
    conn.close();
    peer.Stop();

    auto resends = peer.MessagesWithId(qn_net::kMsgResend);
    EXPECT_FALSE(resends.empty());
    for (const auto& request : resends) {
        ASSERT_EQ(request.total, 32u);
        EXPECT_EQ(qn_net::ReadU32(request.body.data()), kCamera);
        EXPECT_EQ(qn_net::ReadU32(request.body.data() + 8), kUser);
    }
    EXPECT_EQ(peer.MessagesWithId(qn_net::kMsgStunRequest).size(), 3u);
    auto echo = peer.MessagesWithId(qn_net::kMsgStunAnswer);
    ASSERT_EQ(echo.size(), 1u);
    EXPECT_EQ(qn_net::ReadU32(echo[0].body.data() + 4), 0x3333u);
    auto keepAlive = peer.MessagesWithId(qn_net::kMsgKeepAlive);
    ASSERT_EQ(keepAlive.size(), 1u);
    EXPECT_EQ(keepAlive[0].body.size(), 8u);
    EXPECT_EQ(qn_net::ReadU32(keepAlive[0].body.data()), kUser);
    EXPECT_EQ(qn_net::ReadU32(keepAlive[0].body.data() + 4), kCamera);
    auto close = peer.MessagesWithId(qn_net::kMsgCloseChannel);
    ASSERT_EQ(close.size(), 1u);
    EXPECT_EQ(close[0].total, 44u);
}

TEST_F(VideoConn, BlocksBeforeAcceptingAreDropped)
{
    MediaPeer peer("video_server", fixture, "");
    video_conn conn(receiver, deck);
    Open(conn, peer);
    conn.set_accepting(false);
    qn_net::pending_request connect("connectvideo");
    conn.connect_video(kCamera, &connect);
    EXPECT_EQ(connect.event.Wait(testing_support::kEventBoundMs), 0);
    conn.remove_pending(&connect);
    platform::SleepMs(800);
    EXPECT_TRUE(sink.Video().empty());
    EXPECT_EQ(deck.frames_in_progress(), 0);
}

TEST_F(VideoConn, AnIPv6LoginAddressGivesADualStackSocketThatReachesAnIPv4Server)
{
    MediaPeer peer("video_server", fixture, "");
    qn_net::set_login_server("::1");
    video_conn conn(receiver, deck);
    Open(conn, peer);
    qn_net::pending_request connect("connectvideo");
    ASSERT_TRUE(conn.connect_video(kCamera, &connect));
    EXPECT_EQ(connect.event.Wait(testing_support::kEventBoundMs), 0);
    conn.remove_pending(&connect);
    EXPECT_TRUE(sink.WaitVideo([](const auto& video) { return video.size() >= 10; }, testing_support::kEventBoundMs));
    conn.close();
    qn_net::set_login_server("");
}

TEST_F(VideoConn, TalkGoesOutAsDatagramsOnlyForACamera)
{
    MediaPeer peer("video_server", fixture, "");
    video_conn conn(receiver, deck);
    Open(conn, peer);
    const std::string talk = media_test::ReadFile(fixture.alaw).substr(0, 1000);

    // A talk without a camera is consumed and never sent.
    ASSERT_TRUE(conn.start_talk(0));
    conn.talk_data(talk.data(), 500);
    conn.stop_talk();

    ASSERT_TRUE(conn.start_talk(kCamera));
    conn.talk_data(talk.data(), talk.size());
    conn.stop_talk();
    ASSERT_TRUE(peer.WaitFor(qn_net::kMsgTalk, 4, testing_support::kEventBoundMs));
    conn.close();
    peer.Stop();

    auto packets = peer.MessagesWithId(qn_net::kMsgTalk);
    ASSERT_EQ(packets.size(), 4u);
    const uint32_t totals[] = {352, 352, 352, 72};
    for (std::size_t i = 0; i < packets.size(); ++i) {
        EXPECT_EQ(packets[i].total, totals[i]);
        EXPECT_EQ(packets[i].sequence, static_cast<int64_t>(i));
        EXPECT_EQ(qn_net::ReadU32(packets[i].body.data() + 4), kCamera);
    }
    const std::string sent = peer.Folder() + "/talk.sent";
    media_test::WriteFile(sent, talk);
    EXPECT_EQ(testing_support::RunCommand("cmp " + sent + " " + peer.TalkFile()).exitCode, 0);
}

} // namespace
