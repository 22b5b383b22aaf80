#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/net_socket.h"
#include "support/wait_until.h"
#include "vqSDK/VlrNetSDK/base_conn.h"
#include "vqSDK/VlrNetSDK/frame_scanner.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_session.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace {

using namespace qn_net;

// Frames the peer side of a connection reads within a bounded time.
std::vector<std::vector<uint8_t>> ReadFrames(int socket, std::size_t count)
{
    struct collect final : frame_sink {
        void on_frame(const uint8_t* frame, std::size_t length) override { frames.emplace_back(frame, frame + length); }
        std::vector<std::vector<uint8_t>> frames;
    } sink;
    std::vector<uint8_t> held;
    uint8_t piece[4096];
    int64_t deadline = platform::MonotonicMs() + 5000;
    while (sink.frames.size() < count && platform::MonotonicMs() < deadline) {
        std::vector<platform::PollItem> items(1);
        items[0].socket = socket;
        platform::PollReadable(items, 50);
        long got = platform::ReceiveBytes(socket, piece, sizeof piece);
        if (got <= 0) continue;
        held.insert(held.end(), piece, piece + got);
        std::size_t used = scan_frames(held.data(), held.size(), sink);
        held.erase(held.begin(), held.begin() + static_cast<long>(used));
    }
    return sink.frames;
}

class NetSdkConnections : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
        listener_ = platform::ListenLoopback(platform::NetFamily::IPv4, 0, 2);
        ASSERT_GE(listener_, 0);
        login_values login;
        ASSERT_TRUE(platform::TextToIPv4("127.0.0.1", &login.mgr_ipv4));
        login.mgr_port = platform::LocalPort(listener_);
        login.user_id = 5001;
        store_login_values(login);
    }
    void TearDown() override
    {
        platform::CloseSocket(peer_);
        platform::CloseSocket(listener_);
        connection_state().store(conn_state::none);
        QN_NET_Cleanup();
    }
    int Accept()
    {
        std::vector<platform::PollItem> items(1);
        items[0].socket = listener_;
        if (platform::PollReadable(items, testing_support::kEventBoundMs) != 1) return -1;
        peer_ = platform::AcceptConnection(listener_);
        return peer_;
    }

    int listener_ = -1;
    int peer_ = -1;
};

TEST_F(NetSdkConnections, TheGuardChecksInitialisationCameraAndState)
{
    const struct {
        conn_state state;
        int32_t camera;
        bool passes;
        int32_t code;
    } cases[] = {{conn_state::none, 5, false, QN_NET_ERR_NO_LINK},
                 {conn_state::mgr_connecting, 5, false, QN_NET_ERR_NO_LINK},
                 {conn_state::mgr_online, -1, false, QN_NET_ERR_ILLEGAL_PARAM},
                 {conn_state::mgr_online, 5, true, 0},
                 {conn_state::local_online, -1, true, 0}};
    for (const auto& c : cases) {
        connection_state().store(c.state);
        SetLastError(0);
        EXPECT_EQ(connection_guard(c.camera), c.passes) << static_cast<int>(c.state) << " " << c.camera;
        EXPECT_EQ(LastError(), c.code);
    }
    connection_state().store(conn_state::none);
    QN_NET_Cleanup();
    EXPECT_FALSE(connection_guard(5));
    EXPECT_EQ(LastError(), QN_NET_ERR_NOT_INIT);
}

TEST_F(NetSdkConnections, ManagementConnectionSendsRepliesAndTearsDown)
{
    mgr_conn mgr(session()->receiver);
    ASSERT_TRUE(mgr.connect());
    EXPECT_EQ(mgr.connected(), mgr_conn::kConnected);
    EXPECT_FALSE(mgr.connect()) << "already connected";
    ASSERT_GE(Accept(), 0);

    pending_request signIn("mgrsignin");
    ASSERT_TRUE(mgr.send(mgr_request::sign_in(current_request_values()), &signIn));
    auto frames = ReadFrames(peer_, 1);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(ReadU32(frames[0].data() + 4), 20200u);
    EXPECT_EQ(frames[0].size(), 168u);
    EXPECT_EQ(ReadU32(frames[0].data() + 28), 5001u) << "U at body 8";
    // The reply completes the request registered under (20200, 0).
    EXPECT_TRUE(mgr.pending().complete(20200, 1, 0, "ok", 2));
    EXPECT_EQ(await_reply(mgr.pending(), signIn, 1000), wait_outcome::replied);
    mgr.mark_signed_in();
    EXPECT_EQ(mgr.connected(), mgr_conn::kSignedIn);

    // The online check goes out twice.
    pending_request online("deviceonline");
    ASSERT_TRUE(mgr.send_twice(mgr_request::online_query(current_request_values(), 9), &online));
    frames = ReadFrames(peer_, 2);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(ReadU32(frames[1].data() + 4), 20202u);

    // Tear-down wakes the waiter at once.
    std::thread closer([&] {
        platform::SleepMs(50);
        mgr.mgr_delete();
    });
    int64_t start = platform::MonotonicMs();
    EXPECT_EQ(await_reply(mgr.pending(), online, 2 * testing_support::kEventBoundMs), wait_outcome::refused);
    EXPECT_LT(platform::MonotonicMs() - start, testing_support::kEventBoundMs) << "well before the time-out";
    closer.join();
    EXPECT_EQ(mgr.connected(), mgr_conn::kClosed);
    EXPECT_FALSE(mgr.is_open());
    EXPECT_FALSE(mgr.send(mgr_request::heartbeat(current_request_values())));
}

TEST_F(NetSdkConnections, ASendToAnAbortedConnectionIsAFailure)
{
    mgr_conn mgr(session()->receiver);
    ASSERT_TRUE(mgr.connect());
    ASSERT_GE(Accept(), 0);
    platform::CloseSocket(peer_);
    peer_ = -1;
    bool sent = true;
    for (int i = 0; i < 50 && sent; ++i) {
        sent = mgr.send(mgr_request::heartbeat(current_request_values()));
        platform::SleepMs(5);
    }
    EXPECT_FALSE(sent);
    EXPECT_EQ(mgr.send_raw(mgr_request::heartbeat(current_request_values())), platform::kNetAborted);
    mgr.mgr_delete();
}

TEST_F(NetSdkConnections, LocalConnectionReachesItsPeerOrFails)
{
    local_conn local(session()->receiver);
    uint32_t loopback = 0;
    ASSERT_TRUE(platform::TextToIPv4("127.0.0.1", &loopback));
    local.set_peer(loopback, platform::LocalPort(listener_));
    ASSERT_TRUE(local.connect(1, 0));
    ASSERT_GE(Accept(), 0);
    ASSERT_TRUE(local.send(mgr_request::local_connect(current_request_values(), 77)));
    auto frames = ReadFrames(peer_, 1);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(ReadU32(frames[0].data() + 20), 77u);
    // The first block of a three-block picture starts a download on this
    // connection; closing it must not leave the next one waiting for the rest.
    std::vector<uint8_t> block(32 + 972, 0);
    WriteU16(block.data() + 8, 61);
    WriteU16(block.data() + 22, 3);
    WriteU32(block.data() + 24, 972);
    local.picture().take_block(block.data(), block.size());
    EXPECT_TRUE(local.picture().downloading());
    local.local_delete();
    EXPECT_FALSE(local.is_open());
    EXPECT_FALSE(local.picture().downloading());

    platform::CloseSocket(listener_);
    listener_ = -1;
    EXPECT_FALSE(local.connect(1, 0));
}

} // namespace
