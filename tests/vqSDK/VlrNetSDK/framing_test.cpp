#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "loopback_pair.h"
#include "platform/clock.h"
#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/frame_scanner.h"
#include "vqSDK/VlrNetSDK/msg_header.h"
#include "vqSDK/VlrNetSDK/net_utils.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"
#include "support/wait_until.h"

namespace {

using netsdk_test::LoopbackPair;
using qn_net::utils;

// Reads from a blocking-style loop until `count` bytes arrived or 5 s passed.
std::vector<uint8_t> ReadBytes(int socket, std::size_t count)
{
    std::vector<uint8_t> bytes;
    uint8_t piece[8192];
    int64_t deadline = platform::MonotonicMs() + 5000;
    while (bytes.size() < count && platform::MonotonicMs() < deadline) {
        long got = platform::ReceiveBytes(socket, piece, std::min(sizeof piece, count - bytes.size()));
        if (got > 0) {
            bytes.insert(bytes.end(), piece, piece + got);
        } else if (got == 0) {
            break;
        } else {
            std::vector<platform::PollItem> items(1);
            items[0].socket = socket;
            platform::PollReadable(items, 50);
        }
    }
    return bytes;
}

TEST(NetSdkMessageHeader, FramesBodyBehindTheHeaderWithItsWireBytes)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.ok());
    const struct {
        uint32_t id;
        std::string body;
    } cases[] = {{10030, ""}, {20200, "abc"}, {1, std::string(5100, 'x')}};
    for (const auto& c : cases) {
        int sent = utils::instance().send_msg_tcp(pair.client, c.id, c.body.data(), c.body.size());
        ASSERT_EQ(sent, static_cast<int>(c.body.size() + 20));
        std::vector<uint8_t> frame = ReadBytes(pair.peer, c.body.size() + 20);
        ASSERT_EQ(frame.size(), c.body.size() + 20);
        const uint8_t magicAndVersion[] = {0xCC, 0xDD, 0xEE, 0xFF};
        EXPECT_EQ(0, std::memcmp(frame.data(), magicAndVersion, 4));
        const uint8_t version[] = {0xE3, 0x12, 0x69, 0x00};
        EXPECT_EQ(0, std::memcmp(frame.data() + 8, version, 4));
        EXPECT_EQ(qn_net::ReadU32(frame.data() + 4), c.id);
        EXPECT_EQ(qn_net::ReadU32(frame.data() + 12), c.body.size() + 20);
        EXPECT_EQ(qn_net::ReadU32(frame.data() + 16), 0u);
        EXPECT_EQ(std::string(frame.begin() + 20, frame.end()), c.body);
    }
}

TEST(NetSdkSendMsgTcp, RefusesABodyThatDoesNotFitTheSendBuffer)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.ok());
    std::string body(qn_net::kMaxSendBody + 1, 'y');
    EXPECT_EQ(utils::instance().send_msg_tcp(pair.client, 7, body.data(), body.size()), -1);
    EXPECT_EQ(qn_net::LastError(), QN_NET_ERR_ILLEGAL_PARAM);
}

TEST(NetSdkSendMsgTcp, PeerThatClosedGivesConnectionAborted)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.ok());
    platform::CloseSocket(pair.peer);
    pair.peer = platform::kNoSocket;
    int result = 0;
    for (int i = 0; i < 50 && result != platform::kNetAborted; ++i) {
        result = utils::instance().send_msg_tcp(pair.client, 1, "ping", 4);
        platform::SleepMs(5);
    }
    EXPECT_EQ(result, platform::kNetAborted);
}

// Collects frames as a receiver would, to check the byte stream stayed whole.
class frame_collector final : public qn_net::frame_sink {
public:
    void on_frame(const uint8_t* frame, std::size_t length) override
    {
        frames.emplace_back(frame, frame + length);
    }
    std::vector<std::vector<uint8_t>> frames;
};

// Several threads send on one socket whose peer does not read at first, so the
// sends stall and go out in parts: every frame must arrive whole and unmixed.
TEST(NetSdkSendMsgTcp, ConcurrentSendersWithStalledPeerKeepFramesWhole)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.ok());
    constexpr int kThreads = 4;
    constexpr int kFrames = 60;
    std::atomic<int> failures{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&, t] {
            std::string body(4000 + t * 7, static_cast<char>('a' + t));
            for (int i = 0; i < kFrames; ++i) {
                body[0] = static_cast<char>(i);
                if (utils::instance().send_msg_tcp(pair.client, 100 + t, body.data(), body.size()) !=
                    static_cast<int>(body.size() + 20)) {
                    ++failures;
                }
            }
        });
    }
    // Let the send buffer fill before draining.
    platform::SleepMs(100);
    std::size_t expected = 0;
    for (int t = 0; t < kThreads; ++t) expected += kFrames * (4000 + t * 7 + 20);
    std::vector<uint8_t> bytes = ReadBytes(pair.peer, expected);
    for (auto& sender : senders) sender.join();
    ASSERT_EQ(failures.load(), 0);
    ASSERT_EQ(bytes.size(), expected);

    frame_collector frames;
    EXPECT_EQ(qn_net::scan_frames(bytes.data(), bytes.size(), frames), bytes.size());
    ASSERT_EQ(frames.frames.size(), static_cast<std::size_t>(kThreads * kFrames));
    std::map<int, int> nextIndex;
    for (const auto& frame : frames.frames) {
        int t = static_cast<int>(qn_net::ReadU32(frame.data() + 4)) - 100;
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        ASSERT_EQ(frame.size(), 4000u + t * 7 + 20);
        EXPECT_EQ(frame[20], static_cast<uint8_t>(nextIndex[t]++));
        for (std::size_t i = 21; i < frame.size(); ++i) ASSERT_EQ(frame[i], 'a' + t);
    }
}

TEST(NetSdkConnectWithTimeout, ConnectsOnlyToAReachableNumericAddress)
{
    int listener = platform::ListenLoopback(platform::NetFamily::IPv4, 0, 1);
    ASSERT_GE(listener, 0);
    uint16_t open = platform::LocalPort(listener);
    int socket = utils::instance().connect_with_timeout("127.0.0.1", open, 1, 0);
    EXPECT_GE(socket, 0);
    platform::CloseSocket(socket);

    // A name is not an address: no connection to whatever an unparsed address holds.
    EXPECT_EQ(utils::instance().connect_with_timeout("localhost", open, 1, 0), -1);
    platform::CloseSocket(listener);
    // Nobody listens any more: refused at once.
    int64_t start = platform::MonotonicMs();
    EXPECT_EQ(utils::instance().connect_with_timeout("127.0.0.1", open, 2, 5), -1);
    EXPECT_LT(platform::MonotonicMs() - start, 2000);
}

TEST(NetSdkConnectWithTimeout, AnIPv6TextSetsTheFamilyForCallsWithoutText)
{
    int listener = platform::ListenLoopback(platform::NetFamily::IPv6, 0, 1);
    if (listener < 0) GTEST_SKIP() << "no IPv6 loopback here";
    int socket = utils::instance().connect_with_timeout("::1", platform::LocalPort(listener), 1, 0);
    ASSERT_GE(socket, 0);
    platform::NetFamily family = platform::NetFamily::IPv4;
    ASSERT_TRUE(platform::SocketFamily(socket, &family));
    EXPECT_EQ(family, platform::NetFamily::IPv6);
    EXPECT_EQ(utils::instance().family(), platform::NetFamily::IPv6);
    int udp = utils::instance().make_udp_socket(nullptr, 0);
    ASSERT_GE(udp, 0);
    ASSERT_TRUE(platform::SocketFamily(udp, &family));
    EXPECT_EQ(family, platform::NetFamily::IPv6);
    platform::CloseSocket(udp);
    platform::CloseSocket(socket);
    platform::CloseSocket(listener);
    // Back to IPv4 for whatever runs next in this process.
    platform::CloseSocket(utils::instance().make_udp_socket("127.0.0.1", 0));
}

TEST(NetSdkUdpSockets, BindFailureClosesAndReportsAndSendReachesThePeer)
{
    int first = utils::instance().make_udp_socket("127.0.0.1", 0);
    ASSERT_GE(first, 0);
    uint16_t port = platform::LocalPort(first);
    EXPECT_EQ(utils::instance().make_udp_socket("127.0.0.1", port), -1);
    EXPECT_EQ(qn_net::LastError(), QN_NET_ERR_BIND);

    int sender = utils::instance().make_udp_socket("127.0.0.1", 0);
    ASSERT_GE(sender, 0);
    uint32_t loopback = 0;
    ASSERT_TRUE(platform::TextToIPv4("127.0.0.1", &loopback));
    EXPECT_EQ(utils::instance().udp_send(sender, loopback, port, "hello", 5), 5);
    uint8_t buffer[16];
    platform::Datagram got;
    testing_support::WaitUntil([&] {
        got = platform::ReceiveDatagram(first, buffer, sizeof buffer);
        return got.length >= 0;
    });
    ASSERT_EQ(got.length, 5);
    EXPECT_EQ(std::memcmp(buffer, "hello", 5), 0);
    EXPECT_EQ(got.sourceIPv4, loopback);
    platform::CloseSocket(sender);
    platform::CloseSocket(first);
}

TEST(NetSdkAddressTexts, BoundedAndRefuseNullBuffers)
{
    uint32_t address = 0;
    ASSERT_TRUE(platform::TextToIPv4("192.168.10.200", &address));
    char text[22];
    EXPECT_TRUE(utils::ipv4_to_text(address, text, sizeof text));
    EXPECT_STREQ(text, "192.168.10.200");
    EXPECT_FALSE(utils::ipv4_to_text(address, nullptr, 22));
    const uint32_t words[4] = {0, 0, 0, 0x01000000};  // ::1 in network order
    char six[65];
    EXPECT_TRUE(utils::ipv6_to_text(words, six, sizeof six));
    EXPECT_STREQ(six, "::1");
}

} // namespace
