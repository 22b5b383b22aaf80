// Card recordings and talk against the simulated service: the search and its
// page limit, playback on both routes with its controls and stop, and talk
// audio that reaches the peer byte for byte.
#include "play_session.h"

#include "platform/net_socket.h"
#include "support/card_files.h"
#include "support/run_command.h"
#include "vqSDK/VlrNetSDK/media/camera_messages.h"
#include "vqSDK/VlrNetSDK/session/play_state.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"
#include "support/wait_until.h"

namespace {

using namespace play_test;
using qn_net::LastError;
using qn_net::ReadU32;

constexpr uint32_t kFrames = 100;
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
// A sanitizer can slow the receiver until a frame outlives its resend window.
constexpr uint32_t kPublicFramesKept = kFrames - 5;
#else
constexpr uint32_t kPublicFramesKept = kFrames;
#endif

QN_NET_SEARCH_FILE Span(QN_NET_TIME6 start, QN_NET_TIME6 end) { return QN_NET_SEARCH_FILE{0, start, end}; }

using testing_support::MorningFile;

// The wire command (body 16) of every playback message the server got.
std::vector<uint32_t> PlaybackCommands(const CamsimServer& mgr)
{
    std::vector<uint32_t> commands;
    for (const std::string& body : MgrBodies(mgr, 20241)) commands.push_back(ReadU32(body.data() + 16));
    return commands;
}

class CardAndTalk : public PlaySession {
protected:
    int32_t StartLive()
    {
        int32_t route = -1;
        EXPECT_EQ(QN_NET_StartRealPlay(kCamera, &route), 1);
        return route;
    }

    // Talks the A-law fixture to the camera and checks that the peer got
    // exactly those bytes.
    void TalkTo(const MediaPeer& peer)
    {
        const std::string alaw = media_test::ReadFile(Media().alaw);
        ASSERT_EQ(QN_NET_TalkCtrl(kCamera, 1), 1);
        // Packets of the caller's own size; the SDK repacks them by 320.
        for (std::size_t at = 0; at < alaw.size(); at += 1000) {
            const auto length = static_cast<int32_t>(std::min<std::size_t>(1000, alaw.size() - at));
            ASSERT_EQ(QN_NET_SendTalkData(0, alaw.data() + at, length), 1);
        }
        EXPECT_EQ(QN_NET_TalkCtrl(kCamera, 0), 1);
        testing_support::WaitUntil([&] { return media_test::ReadFile(peer.TalkFile()).size() >= alaw.size(); }, testing_support::kEventBoundMs, 20);
        EXPECT_EQ(testing_support::RunCommand("cmp " + Media().alaw + " " + peer.TalkFile()).exitCode, 0)
            << "the talk audio the peer received differs from what was sent";
        testing_support::WaitUntil([&] { return MgrBodies(*mgr, 20277).size() >= 2; }, testing_support::kEventBoundMs, 20);
        const auto talk = MgrBodies(*mgr, 20277);
        ASSERT_EQ(talk.size(), 2u);
        EXPECT_EQ(ReadU32(talk[0].data() + 12), 1u);
        EXPECT_EQ(ReadU32(talk[1].data() + 12), 0u);
    }
};

TEST_F(CardAndTalk, SearchSendsOnlyASpanThatNotEveryFieldClosesAndFindsTheCardsFiles)
{
    SignIn(SessionPeers().NoCamera().NoVideo().Mgr("--files 3"));
    QN_NET_REMOTE_FILE files[QN_NET_REMOTE_FILES_PER_PAGE] = {};
    int32_t count = -1;
    const QN_NET_TIME6 eight{2026, 12, 10, 8, 0, 0};
    EXPECT_EQ(QN_NET_SearchRemoteFile(kCamera, nullptr, files, &count), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);
    const QN_NET_SEARCH_FILE empty = Span(eight, eight);
    EXPECT_EQ(QN_NET_SearchRemoteFile(kCamera, &empty, files, &count), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);
    EXPECT_TRUE(MgrBodies(*mgr, 20226).empty()) << "an empty span went out";

    // Later in the year but earlier in the day: only the all-fields test is made.
    const QN_NET_SEARCH_FILE odd = Span(eight, QN_NET_TIME6{2026, 11, 10, 9, 0, 0});
    EXPECT_EQ(QN_NET_SearchRemoteFile(kCamera, &odd, files, &count), 1);
    const QN_NET_SEARCH_FILE morning = Span(eight, QN_NET_TIME6{2026, 12, 10, 9, 0, 0});
    ASSERT_EQ(QN_NET_SearchRemoteFile(kCamera, &morning, files, &count), 1);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(files[1].values[29], 2026);
    EXPECT_EQ(files[1].values[33], 1);  // the second minute's file
    EXPECT_EQ(files[1].values[39], 2);

    const auto sent = MgrBodies(*mgr, 20226);
    ASSERT_EQ(sent.size(), 2u);
    ASSERT_EQ(sent[1].size(), 68u);
    EXPECT_EQ(sent[1].substr(16, 48), std::string(reinterpret_cast<const char*>(&morning), 48));
}

TEST_F(CardAndTalk, ASearchAnswerNeverWritesPastThePage)
{
    // 208 entries of 12 bytes: more records claimed than arrived or fit.
    SignIn(SessionPeers().NoCamera().NoVideo().Mgr("--compact-files"));
    QN_NET_REMOTE_FILE files[QN_NET_REMOTE_FILES_PER_PAGE + 1] = {};
    files[QN_NET_REMOTE_FILES_PER_PAGE].values[0] = 0x5EA1;
    int32_t count = -1;
    const QN_NET_SEARCH_FILE day = Span({2026, 12, 10, 0, 0, 0}, {2026, 12, 10, 23, 59, 59});
    ASSERT_EQ(QN_NET_SearchRemoteFile(kCamera, &day, files, &count), 1);
    // 2496 bytes arrived: 15 whole records.
    EXPECT_EQ(count, 15);
    EXPECT_EQ(files[QN_NET_REMOTE_FILES_PER_PAGE].values[0], 0x5EA1);
}

TEST_F(CardAndTalk, PublicPlaybackReachesItsOwnCallbackAndEndsAtItsStop)
{
    SignIn(SessionPeers().NoCamera().Video("--stream 2"));
    FrameSink card;
    QN_NET_REMOTE_FILE file = MorningFile();
    ASSERT_EQ(QN_NET_PlayBack(kCamera, &file, &FrameSink::OnData, 5, card.Value()), 1);
    EXPECT_TRUE(card.WaitVideo([](const auto& video) { return !video.empty() && video.back().number == kFrames; },
                               testing_support::kEventBoundMs));
    EXPECT_EQ(QN_NET_PlayBackControl(kCamera, 0, 0), 1);
    EXPECT_EQ(QN_NET_PlayBackControl(kCamera, 4, 50), 1);
    EXPECT_EQ(QN_NET_PlayBackControl(kCamera, 5, 0), 0);
    // The next file replaces this one, which is stopped with its own record.
    QN_NET_REMOTE_FILE next = MorningFile();
    next.values[33] = 1;
    next.values[39] = 2;
    FrameSink nextCard;
    const std::size_t firstDelivered = card.Video().size();
    const uint16_t port = qn_net::session_hold()->video.local_port();
    ASSERT_EQ(QN_NET_PlayBack(kCamera, &next, &FrameSink::OnData, 5, nextCard.Value()), 1) << LastError();
    // The replaced stream's socket was closed before the next one was bound.
    EXPECT_EQ(qn_net::session_hold()->video.local_port(), port);
    EXPECT_TRUE(nextCard.WaitVideo([](const auto& video) { return !video.empty(); }, testing_support::kEventBoundMs))
        << "the second file did not stream";
    EXPECT_EQ(QN_NET_StopPlayBack(kCamera), 1);
    EXPECT_FALSE(qn_net::session_hold()->video.playing());
    const std::size_t delivered = nextCard.Video().size();
    EXPECT_TRUE(video->WaitFor(qn_net::kMsgCloseChannel, 1, testing_support::kEventBoundMs));
    platform::SleepMs(200);
    EXPECT_EQ(nextCard.Video().size(), delivered) << "a frame after the stop";
    EXPECT_EQ(card.Video().size(), firstDelivered) << "a frame of the replaced file";
    EXPECT_TRUE(live.Video().empty());

    EXPECT_GE(media_test::CheckDeliveredVideo(card.Video(), Media(), video->Frames(), video->Folder() + "/card.264"),
              kPublicFramesKept);
    // Start, pause, seek and stop of the first file, start and stop of the
    // next; every message with its file (value 33, the start minute) and the
    // playback value.
    EXPECT_EQ(PlaybackCommands(*mgr), (std::vector<uint32_t>{0, 2, 4, 1, 0, 1}));
    std::vector<uint32_t> minutes;
    for (const std::string& body : MgrBodies(*mgr, 20241)) {
        EXPECT_EQ(ReadU32(body.data() + 180), 5u);
        EXPECT_EQ(ReadU32(body.data() + 132), 2026u);  // value 29, the start year
        minutes.push_back(ReadU32(body.data() + 148));
    }
    EXPECT_EQ(minutes, (std::vector<uint32_t>{0, 0, 0, 0, 1, 1}));
}

TEST_F(CardAndTalk, APlaybackWhosePortIsTakenFailsWithTheBindCode)
{
    SignIn(SessionPeers().NoCamera().Video("--stream 2"));
    const int32_t port = qn_net::global_set().local_udp_port.load();
    const int taken = platform::OpenSocket(platform::NetFamily::IPv4, platform::NetKind::Datagram);
    ASSERT_GE(taken, 0);
    ASSERT_EQ(platform::BindAny(taken, platform::NetFamily::IPv4, static_cast<uint16_t>(port)), 0);
    FrameSink card;
    QN_NET_REMOTE_FILE file = MorningFile();
    EXPECT_EQ(QN_NET_PlayBack(kCamera, &file, &FrameSink::OnData, 5, card.Value()), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_BIND);
    EXPECT_EQ(qn_net::global_set().local_udp_port.load(), port);
    EXPECT_FALSE(qn_net::session_hold()->video.playing());
    // Once the port is free again the playback starts on it.
    platform::CloseSocket(taken);
    ASSERT_EQ(QN_NET_PlayBack(kCamera, &file, &FrameSink::OnData, 5, card.Value()), 1) << LastError();
    EXPECT_EQ(qn_net::session_hold()->video.local_port(), port);
    EXPECT_TRUE(card.WaitVideo([](const auto& video) { return !video.empty(); }, testing_support::kEventBoundMs));
    EXPECT_EQ(QN_NET_StopPlayBack(kCamera), 1);
}

TEST_F(CardAndTalk, LocalPlaybackFollowsALocalLivePlay)
{
    SignIn(SessionPeers().Camera("--card").Video("--hold-connect"));
    ASSERT_EQ(StartLive(), qn_net::play::kLocalRoute);
    ASSERT_TRUE(WaitLiveFrame(kLocalFrameBase + 1, testing_support::kEventBoundMs));
    EXPECT_EQ(QN_NET_StopRealPlay(kCamera), 1);
    const std::size_t liveFrames = live.Video().size();

    FrameSink card;
    QN_NET_REMOTE_FILE file = MorningFile();
    ASSERT_EQ(QN_NET_PlayBack(kCamera, &file, &FrameSink::OnData, 9, card.Value()), 1);
    EXPECT_TRUE(card.WaitVideo(
        [](const auto& video) { return !video.empty() && video.back().number == kLocalFrameBase + kFrames; },
        testing_support::kEventBoundMs));
    EXPECT_EQ(QN_NET_StopPlayBack(kCamera), 1);
    EXPECT_FALSE(qn_net::session_hold()->ipc.streaming());
    EXPECT_EQ(live.Video().size(), liveFrames) << "card frames reached the live callback";
    EXPECT_EQ(media_test::CheckDeliveredVideo(FramesBetween(card.Video(), 0, ~0u, kLocalFrameBase), Media(),
                                              Renumbered(camera->Frames(), kLocalFrameBase),
                                              camera->Folder() + "/card.264"),
              static_cast<std::size_t>(kFrames));
    EXPECT_EQ(PlaybackCommands(*mgr), (std::vector<uint32_t>{0, 1}));
}

TEST_F(CardAndTalk, TalkReachesTheVideoServerOnThePublicRoute)
{
    SignIn(SessionPeers().NoCamera());
    ASSERT_EQ(StartLive(), qn_net::play::kPublicRoute);
    TalkTo(*video);
}

TEST_F(CardAndTalk, TalkReachesTheCameraOnTheLocalRoute)
{
    SignIn(SessionPeers().Video("--hold-connect"));
    ASSERT_EQ(StartLive(), qn_net::play::kLocalRoute);
    TalkTo(*camera);
}

} // namespace
