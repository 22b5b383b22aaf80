#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "camsim_peer.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/base_conn.h"
#include "vqSDK/VlrNetSDK/mgr_replies.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_session.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "support/wait_until.h"

namespace {

using namespace qn_net;

constexpr int32_t kCamera = 9;

struct Pushed {
    std::vector<int32_t> codes;
    platform::Event arrived{true, false};
    static void On(void*, int32_t code, int32_t value1, int32_t, void* user)
    {
        auto* self = static_cast<Pushed*>(user);
        if (value1 == kCamera) self->codes.push_back(code);
        self->arrived.Set();
    }
};

class NetSdkMgrServer : public ::testing::Test {
protected:
    void Start(const std::string& options = {})
    {
        peer_ = std::make_unique<netsdk_test::CamsimServer>("mgr", options);
        ASSERT_NE(peer_->Port(), 0) << "the simulated management server did not start";
        QN_NET_SetMsgCallBack(&Pushed::On, nullptr, &pushed_);
        ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
        login_values login;
        platform::TextToIPv4("127.0.0.1", &login.mgr_ipv4);
        login.mgr_port = peer_->Port();
        store_login_values(login);
        mgr_ = std::make_unique<mgr_conn>(session()->receiver);
        ASSERT_TRUE(mgr_->connect());
        ASSERT_EQ(mgr_->attach(handler_record{&mgr_reply_handler, nullptr, mgr_.get()}), 0);
    }
    void TearDown() override
    {
        if (mgr_) mgr_->mgr_delete();
        mgr_.reset();
        QN_NET_Cleanup();
        QN_NET_SetMsgCallBack(nullptr, nullptr, nullptr);
        peer_.reset();
    }
    // Sends the request and waits for its reply as an SDK call does.
    wait_outcome Call(const encoded_request& request, pending_request& record, int64_t timeoutMs = 3000)
    {
        if (!mgr_->send(request, &record)) {
            mgr_->pending().remove(&record);
            return wait_outcome::timed_out;
        }
        return await_reply(mgr_->pending(), record, timeoutMs);
    }

    Pushed pushed_;
    std::unique_ptr<mgr_conn> mgr_;  // made on the session QN_NET_Init begins
    std::unique_ptr<netsdk_test::CamsimServer> peer_;
};

TEST_F(NetSdkMgrServer, EveryRequestWithAReplyIsAnsweredWithItsRecord)
{
    Start();
    const request_values v = current_request_values();
    uint8_t rec[256] = {};
    namespace r = mgr_request;
    const struct {
        const char* name;
        encoded_request request;
        int32_t length;  // reply data handed to the waiter; 0: none
    } rows[] = {
        {"sign_in", r::sign_in(v), 0},
        {"brightness", r::brightness(v, kCamera), 16},
        {"get_install_state", r::get_install_state(v, kCamera), 0},
        {"get_lan_type", r::get_lan_type(v, kCamera), 0},
        {"get_zone_type", r::get_zone_type(v, kCamera), 0},
        {"get_volume", r::get_volume(v, kCamera), 16},
        {"get_talk_state", r::get_talk_state(v, kCamera), 0},
        {"get_motion_dt", r::get_motion_dt(v, kCamera), 68},
        {"get_wifi", r::get_wifi(v, kCamera), 116},
        {"get_tf_info", r::get_tf_info(v, kCamera), 28},
        {"ptz_get_dev_status", r::ptz_get_dev_status(v, kCamera, rec), 24},
        {"get_sys_time", r::get_sys_time(v, kCamera), 20},
        {"set_config", r::set_config(v, kCamera, rec), 12},
        {"get_config", r::get_config(v, kCamera, 125), 204},
        {"get_fw_params", r::get_fw_params(v, kCamera, 1), 16},
        {"set_ap_password", r::set_ap_password(v, kCamera, rec), 72},
        {"get_alarm_state", r::get_alarm_state(v, kCamera, 1), 16},
        {"search_remote_file", r::search_remote_file(v, kCamera, rec), 2 * 164},
        {"video_address", r::video_address(v, kCamera, 41), 0},
        {"get_guard", r::get_guard(v, kCamera), 156},
        {"get_alarm_switch", r::get_alarm_switch(v, kCamera), 152},
        {"get_record_schedule", r::get_record_schedule(v, kCamera), 84},
        {"get_lens_model", r::get_lens_model(v, kCamera), 100},
        {"get_track_state", r::get_track_state(v, kCamera), 12},
        {"cloud_get_time_from_camera", r::cloud_get_time_from_camera(v, kCamera), 220},
        {"cloud_set_state", r::cloud_set_state(v, kCamera, 1), 216},
        {"get_storage_location", r::get_storage_location(v, kCamera), 16},
        {"cloud_get_time", r::cloud_get_time(v, kCamera, 1), 220},
        {"cloud_get_sign", r::cloud_get_sign(v, kCamera, 1), 2344},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        pending_request record(row.name);
        wait_outcome outcome = Call(row.request, record);
        ASSERT_EQ(outcome, row.length ? wait_outcome::replied : wait_outcome::no_data);
        EXPECT_EQ(record.length, row.length);
    }
    QN_NET_CLOUD_SIGN sign = current_cloud_sign();
    EXPECT_STREQ(sign.object_path, "bucket/cam9");
    EXPECT_STREQ(sign.host, "127.0.0.1:5055");
    EXPECT_EQ(sign.session_token[9 * 200], 'j');
    EXPECT_EQ(peer_->Frames().size(), std::size(rows));
}

TEST_F(NetSdkMgrServer, StalledShortAndRefusedRepliesEndTheWaitAsTheyShould)
{
    Start("--fault stall:20282 --fault short:20324 --fault error:20352 --fault error:20371");
    const request_values v = current_request_values();
    pending_request stalled("brightness");
    EXPECT_EQ(Call(mgr_request::brightness(v, kCamera), stalled, 300), wait_outcome::timed_out);
    pending_request shortReply("getvolume");
    EXPECT_EQ(Call(mgr_request::get_volume(v, kCamera), shortReply, 300), wait_outcome::timed_out);
    pending_request config("getconfigmsg");
    EXPECT_EQ(Call(mgr_request::get_config(v, kCamera, 125), config), wait_outcome::refused);
    pending_request guard("get guard");
    EXPECT_EQ(Call(mgr_request::get_guard(v, kCamera), guard), wait_outcome::refused);
}

TEST_F(NetSdkMgrServer, PushedNoticesReachTheEventCallback)
{
    Start();
    // One exchange first, so the server surely knows the connection.
    pending_request first("brightness");
    ASSERT_EQ(Call(mgr_request::brightness(current_request_values(), kCamera), first), wait_outcome::replied);
    peer_->Command("push 20207 9");
    ASSERT_EQ(pushed_.arrived.Wait(testing_support::kEventBoundMs), 0);
    EXPECT_EQ(pushed_.codes, std::vector<int32_t>{QN_NET_EVENT_CAMERA_ONLINE});
}

} // namespace
