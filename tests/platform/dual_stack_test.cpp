#include <gtest/gtest.h>

#include <string>

#include "platform/clock.h"
#include "platform/dual_stack.h"
#include "platform/net_socket.h"
#include "support/wait_until.h"

namespace {

using platform::NetFamily;
using platform::NetKind;

// Waits for one datagram on a non-blocking socket.
platform::Datagram Receive(int socket, char* buffer, std::size_t capacity)
{
    std::vector<platform::PollItem> items(1);
    items[0].socket = socket;
    platform::PollReadable(items, testing_support::kEventBoundMs);
    return platform::ReceiveDatagram(socket, buffer, capacity);
}

TEST(DualStack, AnIPv6SocketTalksWithIPv4Peers)
{
    int v6 = platform::OpenSocket(NetFamily::IPv6, NetKind::Datagram);
    ASSERT_GE(v6, 0);
    ASSERT_TRUE(platform::AllowIPv4Mapped(v6));
    ASSERT_EQ(platform::BindAny(v6, NetFamily::IPv6, 0), 0);
    int v4 = platform::OpenSocket(NetFamily::IPv4, NetKind::Datagram);
    ASSERT_EQ(platform::BindAny(v4, NetFamily::IPv4, 0), 0);
    uint32_t loopback = 0;
    ASSERT_TRUE(platform::TextToIPv4("127.0.0.1", &loopback));

    const std::string hello = "hello";
    ASSERT_EQ(platform::SendDatagram(v4, NetFamily::IPv4, loopback, platform::LocalPort(v6), hello.data(), hello.size()),
              5);
    char buffer[64];
    platform::Datagram in = Receive(v6, buffer, sizeof buffer);
    ASSERT_EQ(in.length, 5);
    EXPECT_EQ(in.sourceIPv4, loopback) << "an IPv4 sender is seen by its IPv4 address";

    ASSERT_EQ(platform::SendDatagram(v6, NetFamily::IPv6, loopback, platform::LocalPort(v4), hello.data(), hello.size()),
              5);
    platform::Datagram back = Receive(v4, buffer, sizeof buffer);
    EXPECT_EQ(back.length, 5);
    platform::CloseSocket(v4);
    platform::CloseSocket(v6);
}

TEST(DualStack, AnIPv4SocketRefuses)
{
    int v4 = platform::OpenSocket(NetFamily::IPv4, NetKind::Datagram);
    ASSERT_GE(v4, 0);
    EXPECT_FALSE(platform::AllowIPv4Mapped(v4));
    platform::CloseSocket(v4);
}

} // namespace
