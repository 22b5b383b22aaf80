// Device calls over the local connection straight to a device (the simulated
// server acting as the camera): there a negative camera id is a camera like
// any other, and the pan-tilt calls may choose the local connection.
#include <gtest/gtest.h>

#include <vector>

#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "device_session.h"

namespace {

using namespace device_test;

constexpr int32_t kNegativeCamera = -5;
constexpr int32_t kMark = 77;

class DeviceLocal : public DeviceSession {
protected:
    void ConnectLocal()
    {
        uint32_t address = 0;
        ASSERT_TRUE(platform::TextToIPv4("127.0.0.1", &address));
        ASSERT_EQ(QN_NET_Base_connect(2, address, Peer().Port(), kMark), 1);
        ASSERT_EQ(qn_net::connection_state().load(), qn_net::conn_state::local_online);
    }
};

TEST_F(DeviceLocal, ANegativeCameraPassesTheCameraCheck)
{
    Start({}, false);
    ConnectLocal();
    const auto camera = static_cast<uint32_t>(kNegativeCamera);

    std::vector<uint8_t> record = TestRecord();
    ASSERT_EQ(QN_NET_GetVolume(kNegativeCamera, reinterpret_cast<QN_NET_VOLUME*>(record.data())), 1);
    const std::vector<uint8_t> volume = AnswerBody(44, 0, camera);
    EXPECT_TRUE(std::equal(record.begin(), record.begin() + 16, volume.begin() + 8));

    EXPECT_EQ(QN_NET_GetInstallState(kNegativeCamera), static_cast<int>(GetU32(AnswerBody(36, 0, camera), 8)));

    record = TestRecord();
    ASSERT_EQ(QN_NET_PTZ_GetDevStatus(kNegativeCamera, 1, reinterpret_cast<QN_NET_PTZ_STATUS*>(record.data()), 1), 1);
    const std::vector<uint8_t> status = AnswerBody(52, 0, camera);
    EXPECT_TRUE(std::equal(record.begin(), record.begin() + 20, status.begin() + 8));

    EXPECT_EQ(CheckRequests({"local_connect CAM=77", "get_volume CAM=-5", "get_install_state CAM=-5",
                             "ptz_get_dev_status CAM=-5"}),
              "");
}

TEST_F(DeviceLocal, TheLocalFlagNeedsALocalConnection)
{
    Start();
    std::vector<uint8_t> record = TestRecord();
    EXPECT_EQ(QN_NET_PTZ_GetDevStatus(kCamera, 1, reinterpret_cast<QN_NET_PTZ_STATUS*>(record.data()), 1), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_SEND);
    QN_NET_PTZ_POSITION move{1, {0, 0, 0, 0}};
    EXPECT_EQ(QN_NET_PTZ_SetPosition(kCamera, &move, 1), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_SEND);
    EXPECT_EQ(record, TestRecord());
    EXPECT_EQ(CheckRequests({}), "");
}

} // namespace
