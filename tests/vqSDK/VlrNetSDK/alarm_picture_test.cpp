#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "vqSDK/VlrNetSDK/alarm_picture.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace {

using qn_net::alarm_picture_download;

struct Seen {
    std::vector<int32_t> codes, values;
    std::vector<uint8_t> picture;
    static void On(void* record, int32_t code, int32_t, int32_t v2, void* user)
    {
        auto* self = static_cast<Seen*>(user);
        self->codes.push_back(code);
        self->values.push_back(v2);
        if (code == QN_NET_EVENT_ALARM_PIC_DONE) {
            self->picture.assign(static_cast<uint8_t*>(record), static_cast<uint8_t*>(record) + v2);
        }
    }
};

std::vector<uint8_t> Block(int index, int count, std::size_t length, uint16_t kind = 61)
{
    std::vector<uint8_t> body(32 + length, 0);
    qn_net::WriteU16(body.data() + 8, kind);
    qn_net::WriteU16(body.data() + 20, static_cast<uint16_t>(index));
    qn_net::WriteU16(body.data() + 22, static_cast<uint16_t>(count));
    qn_net::WriteU32(body.data() + 24, static_cast<uint32_t>(length));
    qn_net::WriteU32(body.data() + 28, 4711);
    for (std::size_t i = 0; i < length; ++i) body[32 + i] = static_cast<uint8_t>(index + i);
    return body;
}

class NetSdkAlarmPicture : public ::testing::Test {
protected:
    void SetUp() override { QN_NET_SetMsgCallBack(&Seen::On, nullptr, &seen_); }
    void TearDown() override { QN_NET_SetMsgCallBack(nullptr, nullptr, nullptr); }
    void Take(const std::vector<uint8_t>& body) { download_.take_block(body.data(), body.size()); }
    Seen seen_;
    alarm_picture_download download_;
};

TEST_F(NetSdkAlarmPicture, TwentyFiveBlocksReportProgressTwiceThenThePicture)
{
    std::vector<uint8_t> expected;
    for (int i = 0; i < 25; ++i) {
        std::size_t length = i == 24 ? 100 : 972;
        std::vector<uint8_t> block = Block(i, 25, length);
        expected.insert(expected.end(), block.begin() + 32, block.end());
        Take(block);
    }
    EXPECT_EQ(seen_.codes, (std::vector<int32_t>{QN_NET_EVENT_ALARM_PIC_PROGRESS, QN_NET_EVENT_ALARM_PIC_PROGRESS,
                                                 QN_NET_EVENT_ALARM_PIC_DONE}));
    EXPECT_EQ(seen_.values[0], 40);
    EXPECT_EQ(seen_.values[1], 80);
    EXPECT_EQ(seen_.picture, expected);
    EXPECT_FALSE(download_.downloading());
}

TEST_F(NetSdkAlarmPicture, BlocksOutOfOrderOrOutOfBoundsAreIgnored)
{
    Take(Block(0, 3, 972));
    Take(Block(2, 3, 972));          // out of order: the download stalls
    Take(Block(1, 3, 973));          // too long
    Take(Block(1, 3, 972, 60));      // not a picture block
    std::vector<uint8_t> cut = Block(1, 3, 972);
    cut.resize(500);                 // announces more than the frame holds
    Take(cut);
    Take(Block(1, 4, 972));          // another count
    EXPECT_TRUE(seen_.codes.empty());
    EXPECT_TRUE(download_.downloading());
    Take(Block(0, 513, 10));         // too many blocks: refused outright
    Take(Block(1, 3, 972));
    Take(Block(2, 3, 5));
    EXPECT_EQ(seen_.codes, std::vector<int32_t>{QN_NET_EVENT_ALARM_PIC_DONE});
    EXPECT_EQ(seen_.values[0], 972 * 2 + 5);
}

} // namespace
