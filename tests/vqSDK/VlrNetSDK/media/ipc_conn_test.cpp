#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "frame_sink.h"
#include "media_peer.h"
#include "platform/net_socket.h"
#include "support/run_command.h"
#include "vqSDK/VlrNetSDK/loopback_pair.h"
#include "vqSDK/VlrNetSDK/media/camera_messages.h"
#include "vqSDK/VlrNetSDK/media/ipc_conn.h"
#include "vqSDK/VlrNetSDK/pending_request.h"
#include "vqSDK/VlrNetSDK/process_recv.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"
#include "support/wait_until.h"

namespace {

using media_test::FrameSink;
using media_test::MediaFixture;
using media_test::MediaPeer;
using qn_net::ipc_conn;

constexpr uint32_t kCamera = 7;
constexpr uint32_t kUser = 1234;


class IpcConn : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fixture.ok) << "ffmpeg could not make the test stream";
        ASSERT_EQ(receiver.start(), 1);
        qn_net::global_set().user_id.store(kUser);
    }

    // Connects to the peer and runs the handshake the live-play route runs.
    void Open(ipc_conn& conn, MediaPeer& peer)
    {
        ASSERT_NE(peer.Port(), 0) << "the simulated camera did not start";
        conn.set_camera_address(netsdk_test::LoopbackIPv4(), peer.Port());
        ASSERT_TRUE(conn.make_ipc_conn(1, 0));
        conn.set_camera(kCamera);
        conn.set_stream(1);
        conn.set_data_callback(&FrameSink::OnData, sink.Value());
        qn_net::pending_request open("openstream");
        ASSERT_TRUE(conn.open_stream(kCamera, &open));
        conn.set_handshake_sent(true);
        EXPECT_EQ(open.event.Wait(testing_support::kEventBoundMs), 0);
        EXPECT_EQ(open.result, 1);
        conn.remove_pending(&open);
    }

    MediaFixture fixture;
    FrameSink sink;
    qn_net::process_recv receiver;
};

TEST_F(IpcConn, StreamsTheCamerasH264AndAudioFrameForFrame)
{
    // Repeated blocks on the wire must not complete a frame early.
    MediaPeer peer("lan_camera", fixture, "--dup 0.05 --seed 3");
    ipc_conn conn(receiver);
    Open(conn, peer);
    qn_net::pending_request connect("connectvideo");
    ASSERT_TRUE(conn.connect_video(kCamera, &connect));
    EXPECT_EQ(connect.event.Wait(testing_support::kEventBoundMs), 0);
    EXPECT_EQ(connect.result, 1);
    conn.remove_pending(&connect);

    const auto manifest = peer.Frames();
    ASSERT_EQ(manifest.size(), 100u);
    EXPECT_TRUE(sink.WaitVideo([&](const auto& video) { return video.size() >= manifest.size(); }, 30000));
    EXPECT_TRUE(conn.first_data());
    EXPECT_EQ(conn.first_data_event().Wait(0), 0);
    EXPECT_EQ(media_test::CheckDeliveredVideo(sink.Video(), fixture, manifest, peer.Folder() + "/out.264"),
              manifest.size());

    std::string audio;
    for (const auto& frame : sink.Audio()) audio += frame.data;
    EXPECT_TRUE(audio == media_test::ReadFile(fixture.alaw)) << "audio differs from the source";

    // The handshake as the camera saw it.
    conn.close();
    peer.Stop();
    auto stun = peer.MessagesWithId(qn_net::kMsgStunRequest);
    ASSERT_EQ(stun.size(), 3u);
    EXPECT_EQ(qn_net::ReadU32(stun[0].body.data()), kCamera);
    EXPECT_EQ(qn_net::ReadU32(stun[0].body.data() + 4), kUser);
    auto echo = peer.MessagesWithId(qn_net::kMsgStunAnswer);
    ASSERT_EQ(echo.size(), 1u);
    EXPECT_EQ(echo[0].total, 32u);
    EXPECT_EQ(qn_net::ReadU32(echo[0].body.data() + 4), 0x1111u);
    EXPECT_EQ(peer.MessagesWithId(qn_net::kMsgConnectVideo).size(), 1u);
}

TEST_F(IpcConn, ACameraThatLosesAndReordersBlocksGivesOnlyWholeDecodableFrames)
{
    MediaPeer peer("lan_camera", fixture, "--loss 0.05 --reorder 3 --dup 0.02 --seed 5");
    ipc_conn conn(receiver);
    Open(conn, peer);
    qn_net::pending_request connect("connectvideo");
    ASSERT_TRUE(conn.connect_video(kCamera, &connect));
    EXPECT_EQ(connect.event.Wait(testing_support::kEventBoundMs), 0);
    conn.remove_pending(&connect);
    const auto manifest = peer.Frames();
    ASSERT_EQ(manifest.size(), 100u);
    // Audio of the last frames is never lost and passes straight through.
    EXPECT_TRUE(sink.WaitAudio([&](const auto& audio) { return !audio.empty() && audio.back().number == 100; },
                               30000));
    // Frames go out in order, so once the last whole key frame is out every
    // frame before it has been delivered or dropped.
    uint32_t lastIntactKey = 0;
    for (const auto& frame : manifest) {
        if (frame.type == 0 && frame.intact) lastIntactKey = frame.number;
    }
    EXPECT_TRUE(
        sink.WaitVideo([&](const auto& video) { return !video.empty() && video.back().number >= lastIntactKey; },
                       testing_support::kEventBoundMs));
    conn.close();

    auto video = sink.Video();
    media_test::CheckDeliveredVideo(video, fixture, manifest, peer.Folder() + "/out.264");
    // A key frame needs no predecessor: each one that came whole is shown.
    std::vector<uint32_t> keys;
    std::vector<uint32_t> intactKeys;
    for (const auto& frame : video) {
        if (frame.type == 0) keys.push_back(frame.number);
    }
    for (const auto& frame : manifest) {
        if (frame.type == 0 && frame.intact) intactKeys.push_back(frame.number);
    }
    EXPECT_EQ(keys, intactKeys);
    std::size_t lost = 0;
    for (const auto& frame : manifest) lost += frame.intact ? 0 : 1;
    EXPECT_GT(lost, 0u) << "the camera lost nothing: the test proves little";
    EXPECT_LT(video.size(), manifest.size());
}

TEST_F(IpcConn, ABlockOfAnotherCameraClosesThatCamerasChannel)
{
    MediaPeer peer("lan_camera", fixture, "--foreign");
    ipc_conn conn(receiver);
    Open(conn, peer);
    qn_net::pending_request connect("connectvideo");
    conn.connect_video(kCamera, &connect);
    EXPECT_EQ(connect.event.Wait(testing_support::kEventBoundMs), 0);
    conn.remove_pending(&connect);
    ASSERT_TRUE(peer.WaitFor(qn_net::kMsgCloseChannel, 1, testing_support::kEventBoundMs));
    auto close = peer.MessagesWithId(qn_net::kMsgCloseChannel)[0];
    EXPECT_EQ(close.total, 44u);
    EXPECT_EQ(qn_net::ReadU32(close.body.data() + 12), kCamera + 1);
    EXPECT_EQ(qn_net::ReadU32(close.body.data()), kUser);
}

TEST_F(IpcConn, AConnectAnswerOfAnotherLengthCompletesNothing)
{
    MediaPeer peer("lan_camera", fixture, "--answer-total 40");
    ipc_conn conn(receiver);
    Open(conn, peer);
    qn_net::pending_request connect("connectvideo");
    ASSERT_TRUE(conn.connect_video(kCamera, &connect));
    EXPECT_EQ(connect.event.Wait(500), 258);
    conn.remove_pending(&connect);
}

TEST_F(IpcConn, TalkPacketsKeepTheStreamInStepWhileKeepAlivesRun)
{
    MediaPeer peer("lan_camera", fixture, "");
    ipc_conn conn(receiver);
    Open(conn, peer);
    const std::string talk = media_test::ReadFile(fixture.alaw).substr(0, 1000);
    std::atomic<bool> done{false};
    std::thread keepAlive([&] {
        while (!done) {
            conn.keep_alive();
            platform::SleepMs(1);
        }
    });
    // The talk must interleave with keep-alives, so it starts only once one has reached the camera.
    ASSERT_TRUE(peer.WaitFor(qn_net::kMsgKeepAlive, 1, testing_support::kEventBoundMs));
    ASSERT_TRUE(conn.start_talk(kCamera));
    // Handed in in uneven pieces, as a microphone would.
    for (std::size_t at = 0; at < talk.size(); at += 130) conn.talk_data(talk.data() + at, std::min<std::size_t>(130, talk.size() - at));
    conn.stop_talk();
    EXPECT_FALSE(conn.talk_data("x", 1)) << "talk data after stop";
    done = true;
    keepAlive.join();
    ASSERT_TRUE(peer.WaitFor(qn_net::kMsgTalk, 4, testing_support::kEventBoundMs));
    conn.close();
    peer.Stop();

    auto packets = peer.MessagesWithId(qn_net::kMsgTalk);
    ASSERT_EQ(packets.size(), 4u);
    const uint32_t totals[] = {352, 352, 352, 72};
    for (std::size_t i = 0; i < packets.size(); ++i) {
        EXPECT_EQ(packets[i].total, totals[i]);
        EXPECT_EQ(packets[i].sequence, static_cast<int64_t>(i));
        EXPECT_EQ(qn_net::ReadU32(packets[i].body.data()), 41u);
        EXPECT_EQ(qn_net::ReadU32(packets[i].body.data() + 4), kCamera);
    }
    EXPECT_GT(peer.MessagesWithId(qn_net::kMsgKeepAlive).size(), 0u);
    for (const auto& message : peer.Messages()) EXPECT_NE(message.id, 0xFFFFFFFFu) << "the camera lost the frame boundary";
    const std::string sent = peer.Folder() + "/talk.sent";
    media_test::WriteFile(sent, talk);
    EXPECT_EQ(testing_support::RunCommand("cmp " + sent + " " + peer.TalkFile()).exitCode, 0);
}

} // namespace
