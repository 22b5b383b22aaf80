#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "camsim_peer.h"
#include "loopback_pair.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/net_socket.h"
#include "support/run_command.h"
#include "support/temp_folder.h"
#include "vqSDK/VlrNetSDK/net_utils.h"
#include "vqSDK/VlrNetSDK/process_recv.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"
#include "support/wait_until.h"

namespace {

using qn_net::process_recv;

std::string Sha1Hex(const char* data, int length)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(data, static_cast<std::size_t>(length), digest, &size, EVP_sha1(), nullptr);
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

// What a handler saw: one "id length sha1" line per frame, and the closes.
struct Recorder {
    std::mutex mutex;
    std::vector<std::string> frames;
    std::atomic<int> disconnects{0};
    platform::Event closed{true, false};

    static int OnFrame(const char* frame, int length, int zero, void* user)
    {
        auto* self = static_cast<Recorder*>(user);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->frames.push_back(std::to_string(qn_net::ReadU32(frame + 4)) + " " + std::to_string(length) + " " +
                               Sha1Hex(frame, length) + (zero == 0 ? "" : " nonzero"));
        return 0;
    }
    static void OnClose(int, void* user)
    {
        auto* self = static_cast<Recorder*>(user);
        ++self->disconnects;
        self->closed.Set();
    }
    qn_net::handler_record Handlers() { return {&OnFrame, &OnClose, this}; }
    std::size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return frames.size();
    }
};

std::vector<std::string> ExpectedFrames(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    std::regex entry(R"re(\{"id": (\d+), "length": (\d+), "sha1": "([0-9a-f]+)"\})re");
    for (std::string line; std::getline(in, line);) {
        std::smatch match;
        if (std::regex_match(line, match, entry)) lines.push_back(match[1].str() + " " + match[2].str() + " " + match[3].str());
    }
    return lines;
}

class NetSdkReceiveThread : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(receiver_.start(), 1); }
    void TearDown() override { receiver_.stop(); }
    process_recv& receiver() { return receiver_; }

private:
    process_recv receiver_;
};

// A seeded stream of garbage, frames and boundary totals, cut into random TCP
// chunks by an independent Python model, yields exactly the frames the model
// says a correct receiver delivers.
TEST_F(NetSdkReceiveThread, TcpStreamYieldsExactlyTheModelsFrames)
{
    testing_support::TempFolder folder;
    int listener = platform::ListenLoopback(platform::NetFamily::IPv4, 0, 1);
    ASSERT_GE(listener, 0);
    const std::string expect = folder.Path() + "/expect.jsonl";
    std::thread sender([&] {
        testing_support::RunCommand(netsdk_test::CamsimCommand("stream --seed 7 --items 600 --port " +
                                                               std::to_string(platform::LocalPort(listener)) +
                                                               " --expect " + expect));
    });
    std::vector<platform::PollItem> items(1);
    items[0].socket = listener;
    ASSERT_EQ(platform::PollReadable(items, testing_support::kEventBoundMs), 1);
    int socket = platform::AcceptConnection(listener);
    platform::CloseSocket(listener);
    ASSERT_GE(socket, 0);
    ASSERT_TRUE(platform::SetNonBlocking(socket));

    Recorder recorder;
    ASSERT_EQ(receiver().add_socket(socket, process_recv::kStream, 0), 0);
    ASSERT_EQ(receiver().set_handler(recorder.Handlers(), socket), 0);
    sender.join();
    // The model's sender closes when done; the receive thread reports it once.
    ASSERT_EQ(recorder.closed.Wait(testing_support::kEventBoundMs), 0);
    std::vector<std::string> expected = ExpectedFrames(expect);
    ASSERT_GT(expected.size(), 100u);
    {
        std::lock_guard<std::mutex> lock(recorder.mutex);
        EXPECT_EQ(recorder.frames, expected);
    }
    // A closed socket is not polled again: no second report, and it stays
    // registered until its owner removes it.
    platform::SleepMs(300);
    EXPECT_EQ(recorder.disconnects.load(), 1);
    EXPECT_EQ(receiver().registered(), 1);
    EXPECT_EQ(receiver().remove_socket(socket), 0);
    EXPECT_EQ(receiver().registered(), 0);
}

TEST_F(NetSdkReceiveThread, EveryDatagramIsScannedAloneAndOversizedOnesAreDropped)
{
    testing_support::TempFolder folder;
    int socket = qn_net::utils::instance().make_udp_socket("127.0.0.1", 0);
    ASSERT_GE(socket, 0);
    Recorder recorder;
    ASSERT_EQ(receiver().add_socket(socket, 0, 0), 0);
    ASSERT_EQ(receiver().set_handler(recorder.Handlers(), socket), 0);
    const std::string expect = folder.Path() + "/expect.jsonl";
    auto sent = testing_support::RunCommand(netsdk_test::CamsimCommand(
        "stream --udp --seed 11 --items 150 --port " + std::to_string(platform::LocalPort(socket)) + " --expect " +
        expect));
    ASSERT_EQ(sent.exitCode, 0);
    std::vector<std::string> expected = ExpectedFrames(expect);
    ASSERT_GT(expected.size(), 50u);
    testing_support::WaitUntil([&] { return recorder.Count() >= expected.size(); });
    {
        std::lock_guard<std::mutex> lock(recorder.mutex);
        EXPECT_EQ(recorder.frames, expected);
    }
    EXPECT_EQ(receiver().remove_socket(socket), 0);
}

TEST_F(NetSdkReceiveThread, TheFortyNinthRegistrationIsRefused)
{
    std::vector<int> sockets;
    for (int i = 0; i < process_recv::kSlots; ++i) {
        int socket = qn_net::utils::instance().make_udp_socket("127.0.0.1", 0);
        ASSERT_GE(socket, 0);
        ASSERT_EQ(receiver().add_socket(socket, 0, 0), 0) << i;
        sockets.push_back(socket);
    }
    int extra = qn_net::utils::instance().make_udp_socket("127.0.0.1", 0);
    EXPECT_EQ(receiver().add_socket(extra, 0, 0), -1);
    EXPECT_EQ(receiver().set_handler(qn_net::handler_record{}, extra), -1);
    EXPECT_EQ(receiver().remove_socket(sockets.back()), 0);
    sockets.pop_back();
    EXPECT_EQ(receiver().add_socket(extra, 0, 0), 0);
    sockets.push_back(extra);
    EXPECT_EQ(receiver().registered(), process_recv::kSlots);
    for (int socket : sockets) receiver().remove_socket(socket);
    EXPECT_EQ(receiver().registered(), 0);
}

TEST_F(NetSdkReceiveThread, RemovalWhileFramesArriveNeverReachesTheHandlerAgain)
{
    netsdk_test::LoopbackPair pair;
    ASSERT_TRUE(pair.ok());
    Recorder recorder;
    ASSERT_EQ(receiver().add_socket(pair.client, process_recv::kStream, 0), 0);
    ASSERT_EQ(receiver().set_handler(recorder.Handlers(), pair.client), 0);
    std::atomic<bool> sending{true};
    std::thread peer([&] {
        uint8_t frame[64] = {};
        qn_net::WriteU32(frame, 0xFFEEDDCC);
        qn_net::WriteU32(frame + 4, 42);
        qn_net::WriteU32(frame + 12, sizeof frame);
        while (sending.load() && platform::SendBytes(pair.peer, frame, sizeof frame) > 0) platform::SleepMs(1);
    });
    testing_support::WaitUntil([&] { return recorder.Count() > 0; });
    ASSERT_GT(recorder.Count(), 0u);
    receiver().remove_socket(pair.client);
    pair.client = platform::kNoSocket;  // closed by the removal
    std::size_t seen = recorder.Count();
    platform::SleepMs(200);
    EXPECT_EQ(recorder.Count(), seen);
    sending.store(false);
    peer.join();
}

// The thread is in its poll with the socket when it is removed: the port must
// be free for the next socket as soon as the removal returns.
TEST_F(NetSdkReceiveThread, ARemovedUdpSocketHasFreedItsPortWhenRemovalReturns)
{
    const int sender = platform::OpenSocket(platform::NetFamily::IPv4, platform::NetKind::Datagram);
    ASSERT_GE(sender, 0);
    uint32_t loopback = 0;
    ASSERT_TRUE(platform::TextToIPv4("127.0.0.1", &loopback));
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int socket = qn_net::utils::instance().make_udp_socket("127.0.0.1", 0);
        ASSERT_GE(socket, 0);
        const uint16_t port = platform::LocalPort(socket);
        Recorder recorder;
        ASSERT_EQ(receiver().add_socket(socket, 0, 0), 0);
        ASSERT_EQ(receiver().set_handler(recorder.Handlers(), socket), 0);
        // A frame that arrived shows the socket in the thread's poll set; the
        // thread is back in its poll right after handing it over.
        uint8_t frame[20] = {};
        qn_net::WriteU32(frame, 0xFFEEDDCC);
        qn_net::WriteU32(frame + 4, 42);
        qn_net::WriteU32(frame + 12, sizeof frame);
        for (int i = 0; i < 500 && recorder.Count() == 0; ++i) {
            platform::SendDatagram(sender, platform::NetFamily::IPv4, loopback, port, frame, sizeof frame);
            platform::SleepMs(10);
        }
        ASSERT_GT(recorder.Count(), 0u);
        ASSERT_EQ(receiver().remove_socket(socket), 0);
        const int next = platform::OpenSocket(platform::NetFamily::IPv4, platform::NetKind::Datagram);
        ASSERT_GE(next, 0);
        EXPECT_EQ(platform::BindAny(next, platform::NetFamily::IPv4, port), 0);
        platform::CloseSocket(next);
    }
    platform::CloseSocket(sender);
}

TEST(NetSdkReceiveThreadLife, StartsOnceAndStopsWithinAPollRound)
{
    process_recv receiver;
    ASSERT_EQ(receiver.start(), 1);
    EXPECT_EQ(receiver.start(), 1);
    EXPECT_TRUE(receiver.running());
    int64_t begin = platform::MonotonicMs();
    receiver.stop();
    EXPECT_FALSE(receiver.running());
    EXPECT_LT(platform::MonotonicMs() - begin, 1000);
    ASSERT_EQ(receiver.start(), 1);
    receiver.stop();
}

} // namespace
