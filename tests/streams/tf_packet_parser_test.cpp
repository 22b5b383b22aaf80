#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <vector>

#include "streams/tf_packet_parser.h"
#include "support/temp_folder.h"
#include "tf_card_fixture.h"

namespace {

using streams::clQnhParse;
using streams::TfPacket;

std::vector<uint8_t> Packet(uint8_t type, uint32_t declared, std::size_t payload, uint8_t fill = 0x11)
{
    std::vector<uint8_t> bytes = {0, 0, 1, type};
    std::size_t header = type == 0xFC ? 16 : 8;
    bytes.resize(header, 0);
    if (type == 0xFA) {
        bytes[5] = 1;
        bytes[6] = static_cast<uint8_t>(declared);
        bytes[7] = static_cast<uint8_t>(declared >> 8);
    } else {
        std::memcpy(&bytes[header - 4], &declared, 4);
    }
    bytes.resize(header + payload, fill);
    return bytes;
}

struct Taken {
    std::vector<uint8_t> video;
    int videoPackets = 0;
    int keyPackets = 0;
    int audioPackets = 0;
    std::vector<uint32_t> lengths;
};

// Feeds `data` in chunks as the reader does, offering a refused chunk again
// after taking packets.
Taken FeedAll(clQnhParse& parser, const std::vector<uint8_t>& data, std::size_t chunk)
{
    Taken taken;
    std::size_t at = 0;
    TfPacket packet;
    for (int rounds = 0; rounds < 1000000; ++rounds) {
        bool offered = false;
        if (at < data.size()) {
            std::size_t step = std::min(chunk, data.size() - at);
            if (parser.Append(data.data() + at, step)) {
                at += step;
                offered = true;
            }
        }
        bool any = false;
        while (parser.Next(&packet)) {
            any = true;
            taken.lengths.push_back(packet.payloadLength);
            if (packet.audio) {
                ++taken.audioPackets;
                EXPECT_EQ(packet.sampleRateIndex, packet.start[5]);
                continue;
            }
            ++taken.videoPackets;
            taken.keyPackets += packet.keyFrame;
            taken.video.insert(taken.video.end(), packet.payload, packet.payload + packet.payloadLength);
        }
        if (!offered && !any && at >= data.size()) break;
        if (!offered && !any) ADD_FAILURE() << "stalled at " << at;
        if (!offered && !any) break;
    }
    return taken;
}

TEST(TfPacketParser, SegmentPayloadsDecodeAsTheSource)
{
    testing_support::TempFolder temp;
    auto source = streams_test::MakeTfSource(temp.Path());
    ASSERT_FALSE(source.video.empty());
    const std::string card = temp.Path() + "/card";
    std::string counts = streams_test::LayOutTfCard(source, card, "2024-05-01", "10:00");
    ASSERT_NE(counts, "");
    int video = 0, key = 0, audio = 0;
    std::istringstream(counts) >> video >> key >> audio;

    clQnhParse parser;
    ASSERT_TRUE(parser.Create(0));
    EXPECT_EQ(parser.Capacity(), clQnhParse::kMinimumSize);
    Taken taken = FeedAll(parser, streams_test::ReadFile(card + "/2024-05-01/10/00.h264"), 10240);
    EXPECT_EQ(taken.videoPackets, video);
    EXPECT_EQ(taken.keyPackets, key);
    EXPECT_EQ(taken.audioPackets, audio);
    const std::string out = temp.Path() + "/payloads.h264";
    streams_test::WriteFile(out, taken.video);
    auto hashes = [](const std::string& framemd5) {
        std::string column;
        std::istringstream lines(framemd5);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line[0] != '#') column += line.substr(line.rfind(',') + 1) + "\n";
        }
        return column;
    };
    std::string expected = hashes(streams_test::FrameMd5(source.video));
    EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), 25);
    EXPECT_EQ(hashes(streams_test::FrameMd5(out)), expected);
}

TEST(TfPacketParser, WaitsForAWholePacketAndGrowsForALargeOne)
{
    clQnhParse parser;
    ASSERT_TRUE(parser.Create(1024));
    TfPacket packet;
    // Nothing below 64 bytes; a key frame longer than what is buffered waits.
    auto key = Packet(0xFC, 100, 100);
    ASSERT_TRUE(parser.Append(key.data(), 40));
    EXPECT_FALSE(parser.Next(&packet));
    ASSERT_TRUE(parser.Append(key.data() + 40, 70));
    EXPECT_FALSE(parser.Next(&packet));
    ASSERT_TRUE(parser.Append(key.data() + 110, key.size() - 110));
    ASSERT_TRUE(parser.Next(&packet));
    EXPECT_TRUE(packet.keyFrame);
    EXPECT_EQ(packet.payloadLength, 100u);
    EXPECT_EQ(packet.totalLength, 116u);

    // A real frame above the buffer's size makes it grow; filler and a
    // header declaring more than any frame are passed over.
    std::vector<uint8_t> data(3 * 1024 * 1024, 0x55);
    auto falseHeader = Packet(0xFD, 0xFFFFFFF0u, 0);
    data.insert(data.end(), falseHeader.begin(), falseHeader.end());
    auto big = Packet(0xFD, 2 * 1024 * 1024, 2 * 1024 * 1024, 0x22);
    data.insert(data.end(), big.begin(), big.end());
    auto sound = Packet(0xFA, 160, 160);
    data.insert(data.end(), sound.begin(), sound.end());
    Taken taken = FeedAll(parser, data, 10240);
    EXPECT_EQ(taken.lengths, (std::vector<uint32_t>{2 * 1024 * 1024, 160}));
    EXPECT_EQ(taken.audioPackets, 1);
    EXPECT_GE(parser.Capacity(), 2u * 1024 * 1024 + 8 + clQnhParse::kAppendRoom);

    parser.Reset();
    EXPECT_EQ(parser.Pending(), 0u);
    EXPECT_EQ(streams::TfSampleRate(1), 8000);
    EXPECT_EQ(streams::TfSampleRate(9), 0);
}

} // namespace
