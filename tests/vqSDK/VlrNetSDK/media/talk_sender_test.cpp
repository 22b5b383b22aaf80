#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "vqSDK/VlrNetSDK/media/camera_messages.h"
#include "vqSDK/VlrNetSDK/media/debug_line.h"
#include "vqSDK/VlrNetSDK/media/talk_sender.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace {

// Keeps every packet; can hold the sender thread inside a send.
struct PacketLog {
    void Send(uint32_t camera, const uint8_t* body, std::size_t length)
    {
        std::unique_lock<std::mutex> lock(mutex);
        packets.push_back({camera, qn_net::ReadU32(body + 8),
                           std::string(reinterpret_cast<const char*>(body) + 12, length - 12)});
        inside = true;
        changed.notify_all();
        changed.wait(lock, [this] { return !held; });
    }
    void WaitInside()
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return inside; });
    }
    void Release()
    {
        std::lock_guard<std::mutex> lock(mutex);
        held = false;
        changed.notify_all();
    }
    struct Packet {
        uint32_t camera;
        uint32_t sequence;
        std::string audio;
    };
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false;
    bool inside = false;
    std::vector<Packet> packets;
};

class TalkSender : public ::testing::Test {
protected:
    qn_net::talk_sender::transport Transport()
    {
        return [this](uint32_t camera, const uint8_t* body, std::size_t length) { log.Send(camera, body, length); };
    }
    PacketLog log;
    qn_net::debug_line debug;
};

TEST_F(TalkSender, AShortTalkGoesOutAsOnePacketWhenTalkStops)
{
    qn_net::talk_sender sender(Transport(), debug, nullptr);
    EXPECT_FALSE(sender.data("x", 1)) << "no talk runs";
    sender.start(9);
    ASSERT_TRUE(sender.data(std::string(100, 'a').data(), 100));
    sender.stop();
    EXPECT_FALSE(sender.running());
    ASSERT_EQ(log.packets.size(), 1u);
    EXPECT_EQ(log.packets[0].audio, std::string(100, 'a'));
    EXPECT_EQ(log.packets[0].sequence, 0u);
    EXPECT_EQ(log.packets[0].camera, 9u);
}

TEST_F(TalkSender, AFullBufferMovesItsUnreadBytesUpOrDropsWhatCannotFit)
{
    log.held = true;  // the sender stays inside its first send
    qn_net::talk_sender sender(Transport(), debug, nullptr);
    sender.start(9);
    const std::size_t size = qn_net::talk_sender::kBufferSize;
    std::string first(size - 100, '\0');
    for (std::size_t i = 0; i < first.size(); ++i) first[i] = static_cast<char>(i * 7);
    ASSERT_TRUE(sender.data(first.data(), first.size()));
    log.WaitInside();  // 320 bytes read
    const std::string second(200, 's');
    ASSERT_TRUE(sender.data(second.data(), second.size()));  // fits once the read bytes are gone
    const std::string third(300, 't');
    ASSERT_TRUE(sender.data(third.data(), third.size()));    // does not fit: dropped without error
    log.Release();
    sender.stop();

    std::string sent;
    uint32_t sequence = 0;
    for (const auto& packet : log.packets) {
        EXPECT_EQ(packet.sequence, sequence++);
        EXPECT_LE(packet.audio.size(), qn_net::kTalkPacketData);
        sent += packet.audio;
    }
    EXPECT_TRUE(sent == first + second);
}

TEST_F(TalkSender, StartingAgainStopsTheTalkUnderWayAndCountsFromZero)
{
    std::vector<std::string> lines;
    static std::vector<std::string>* seen = nullptr;
    seen = &lines;
    debug.set_callback([](const char* text) { seen->push_back(text); });
    qn_net::talk_sender sender(Transport(), debug, "sender  exited");
    sender.start(1);
    sender.data(std::string(400, 'a').data(), 400);
    sender.start(2);
    sender.data(std::string(10, 'b').data(), 10);
    sender.stop();
    ASSERT_EQ(log.packets.size(), 3u);
    EXPECT_EQ(log.packets[1].sequence, 1u);
    EXPECT_EQ(log.packets[2].sequence, 0u);
    EXPECT_EQ(log.packets[2].camera, 2u);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(lines[0].find("talking  stop talk first"), std::string::npos);
    EXPECT_NE(lines.back().find("sender  exited"), std::string::npos);
}

} // namespace
