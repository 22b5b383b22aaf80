#include <gtest/gtest.h>

#include "block_builder.h"
#include "vqSDK/VlrNetSDK/media/camera_messages.h"
#include "vqSDK/VlrNetSDK/media/media_block.h"

namespace {

using media_test::BlockSpec;
using media_test::OwnedBlock;

TEST(MediaBlock, ReadsEveryFieldOfTheHead)
{
    BlockSpec spec{0x01020304, 1, 2, 0xA0B0C0D0, 77, 3, 9, "abc"};
    OwnedBlock owned(spec);
    ASSERT_TRUE(owned.ok);
    const qn_net::media_block& b = owned.block;
    EXPECT_EQ(b.camera, 0x01020304u);
    EXPECT_EQ(b.type, 1);
    EXPECT_EQ(b.stream, 2);
    EXPECT_EQ(b.frame_number, 0xA0B0C0D0u);
    EXPECT_EQ(b.serial, 77u);
    EXPECT_EQ(b.index, 3);
    EXPECT_EQ(b.count, 9);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data), b.length), "abc");
}

TEST(MediaBlock, RefusesABodyShorterThanItsHeadOrItsClaimedData)
{
    BlockSpec spec;
    spec.data = std::string(100, 'x');
    auto body = media_test::BlockBody(spec);
    qn_net::media_block block;
    EXPECT_TRUE(qn_net::parse_media_block(body.data(), body.size(), &block));
    EXPECT_FALSE(qn_net::parse_media_block(body.data(), body.size() - 1, &block));
    EXPECT_FALSE(qn_net::parse_media_block(body.data(), 27, &block));
    spec.claimedLength = 0xFFFFFFFF;  // would reach far past the datagram
    body = media_test::BlockBody(spec);
    EXPECT_FALSE(qn_net::parse_media_block(body.data(), body.size(), &block));
}

TEST(MediaBlock, StorableVideoBlocks)
{
    struct Case {
        uint16_t index, count;
        std::size_t length;
        bool storable;
        const char* what;
    };
    const Case cases[] = {
        {0, 1, 10, true, "a one-block frame"},
        {0, 3, 976, true, "a full first block"},
        {2, 3, 1, true, "a short last block"},
        {1, 3, 975, false, "a middle block one byte short"},
        {3, 3, 10, false, "index equal to the count"},
        {600, 3, 976, false, "index far past the count"},
        {0, 0, 0, false, "a count of 0"},
        {0, 513, 976, false, "a count above 512"},
        {511, 512, 976, true, "the last of 512 blocks"},
        {0, 1, 977, false, "more than 976 bytes"},
    };
    for (const Case& c : cases) {
        qn_net::media_block block;
        block.index = c.index;
        block.count = c.count;
        block.length = static_cast<uint32_t>(c.length);
        EXPECT_EQ(qn_net::is_storable_video_block(block), c.storable) << c.what;
    }
}

TEST(CameraMessages, BodiesFollowTheWireTables)
{
    const auto stun = qn_net::stun_request_body(5, 6, 41);
    EXPECT_EQ(std::vector<uint8_t>(stun.begin(), stun.end()),
              (std::vector<uint8_t>{5, 0, 0, 0, 6, 0, 0, 0, 41, 0, 0, 0}));
    const auto connect = qn_net::connect_video_body(6, 41, 5);
    EXPECT_EQ(std::vector<uint8_t>(connect.begin(), connect.end()),
              (std::vector<uint8_t>{6, 0, 0, 0, 41, 0, 0, 0, 1, 0, 1, 0, 5, 0, 0, 0}));
    const auto close = qn_net::close_channel_body(6, 41, 5);
    EXPECT_EQ(std::vector<uint8_t>(close.begin(), close.end()),
              (std::vector<uint8_t>{6, 0, 0, 0, 41, 0, 0, 0, 1, 0, 0, 0, 5, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
    const auto resend = qn_net::resend_body(5, 0x01020304, 6);
    EXPECT_EQ(std::vector<uint8_t>(resend.begin(), resend.end()),
              (std::vector<uint8_t>{5, 0, 0, 0, 4, 3, 2, 1, 6, 0, 0, 0}));
}

} // namespace
