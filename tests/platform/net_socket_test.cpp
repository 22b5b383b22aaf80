#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/clock.h"
#include "platform/net_socket.h"
#include "support/wait_until.h"

namespace {

using namespace platform;

struct Pair {
    Pair()
    {
        int listener = ListenLoopback(NetFamily::IPv4, 0, 1);
        client = OpenSocket(NetFamily::IPv4, NetKind::Stream);
        if (listener < 0 || client < 0) return;
        if (ConnectText(client, NetFamily::IPv4, "127.0.0.1", LocalPort(listener)) == 0) peer = AcceptConnection(listener);
        CloseSocket(listener);
    }
    ~Pair()
    {
        CloseSocket(client);
        CloseSocket(peer);
    }
    int client = kNoSocket;
    int peer = kNoSocket;
};

TEST(NetSocket, ErrorsMapToTheNumbersTheNetworkCodeCompares)
{
    Pair pair;
    ASSERT_GE(pair.peer, 0);
    ASSERT_TRUE(SetNonBlocking(pair.client));
    char byte = 0;
    EXPECT_EQ(ReceiveBytes(pair.client, &byte, 1), -1);
    EXPECT_EQ(LastNetError(), kNetWouldBlock);

    // A closed peer: first readable with 0 bytes, then sends fail as aborted.
    CloseSocket(pair.peer);
    pair.peer = kNoSocket;
    std::vector<PollItem> items(1);
    items[0].socket = pair.client;
    ASSERT_EQ(PollReadable(items, testing_support::kEventBoundMs), 1);
    EXPECT_TRUE(items[0].readable);
    EXPECT_EQ(ReceiveBytes(pair.client, &byte, 1), 0);
    long sent = 0;
    for (int i = 0; i < 50 && sent >= 0; ++i) {
        sent = SendBytes(pair.client, "x", 1);  // never raises SIGPIPE
        SleepMs(2);
    }
    EXPECT_EQ(sent, -1);
    EXPECT_EQ(LastNetError(), kNetAborted);
}

TEST(NetSocket, NonBlockingConnectAndAddressTexts)
{
    int listener = ListenLoopback(NetFamily::IPv4, 0, 1);
    ASSERT_GE(listener, 0);
    int socket = OpenSocket(NetFamily::IPv4, NetKind::Stream);
    ASSERT_TRUE(SetNonBlocking(socket));
    int result = ConnectText(socket, NetFamily::IPv4, "127.0.0.1", LocalPort(listener));
    EXPECT_TRUE(result == 0 || result == kNetWouldBlock) << result;
    EXPECT_EQ(WaitWritable(socket, testing_support::kEventBoundMs), 1);
    EXPECT_EQ(PendingSocketError(socket), 0);
    NetKind kind = NetKind::Datagram;
    ASSERT_TRUE(SocketKind(socket, &kind));
    EXPECT_EQ(kind, NetKind::Stream);
    EXPECT_EQ(ConnectText(socket, NetFamily::IPv4, "not an address", 80), -2);
    CloseSocket(socket);
    CloseSocket(listener);

    EXPECT_EQ(FamilyOfText("::1"), NetFamily::IPv6);
    EXPECT_EQ(FamilyOfText("10.0.0.1"), NetFamily::IPv4);
    uint32_t address = 0;
    EXPECT_FALSE(TextToIPv4("10.0.0", &address));
    ASSERT_TRUE(TextToIPv4("10.1.2.3", &address));
    const unsigned char bytes[] = {10, 1, 2, 3};
    EXPECT_EQ(std::memcmp(&address, bytes, 4), 0) << "network order";
    EXPECT_EQ(IPv4ToText(address), "10.1.2.3");
}

TEST(NetSocket, DatagramsReportTheirSourceAndTruncation)
{
    int receiver = OpenSocket(NetFamily::IPv4, NetKind::Datagram);
    int sender = OpenSocket(NetFamily::IPv4, NetKind::Datagram);
    ASSERT_EQ(BindAny(receiver, NetFamily::IPv4, 0), 0);
    ASSERT_EQ(BindAny(sender, NetFamily::IPv4, 0), 0);
    uint32_t loopback = 0;
    ASSERT_TRUE(TextToIPv4("127.0.0.1", &loopback));
    ASSERT_EQ(SendDatagram(sender, NetFamily::IPv4, loopback, LocalPort(receiver), "0123456789", 10), 10);
    char buffer[4];
    Datagram got;
    testing_support::WaitUntil([&] {
        got = ReceiveDatagram(receiver, buffer, sizeof buffer);
        return got.length >= 0;
    });
    EXPECT_TRUE(got.truncated);
    EXPECT_EQ(got.sourceIPv4, loopback);
    EXPECT_EQ(got.sourcePort, LocalPort(sender));
    CloseSocket(sender);
    CloseSocket(receiver);
}

TEST(NetSocket, AWakerEndsAPollAtOnceUntilDrained)
{
    PollWaker waker;
    ASSERT_TRUE(waker.ok());
    std::vector<PollItem> items(1);
    items[0].socket = waker.Descriptor();
    EXPECT_EQ(PollReadable(items, 0), 0);
    waker.Wake();
    waker.Wake();
    EXPECT_EQ(PollReadable(items, testing_support::kEventBoundMs), 1);
    EXPECT_TRUE(items[0].readable);
    waker.Drain();
    EXPECT_EQ(PollReadable(items, 0), 0);
}

} // namespace
