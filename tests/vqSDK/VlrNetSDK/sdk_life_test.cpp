#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "support/this_process.h"
#include "vqSDK/VlrNetSDK/process_recv.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

namespace {

int32_t LastError()
{
    int32_t code = 0;
    EXPECT_EQ(QN_NET_GetLastError(&code), 1);
    return code;
}

std::vector<std::string> g_traces;
void KeepTrace(const char* text) { g_traces.emplace_back(text); }

TEST(NetSdkLife, CallsBeforeInitAndBadAddressesAreRefused)
{
    EXPECT_EQ(QN_NET_SetRealDataCallBack(nullptr, 0), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_NOT_INIT);
    EXPECT_EQ(QN_NET_GetDeviceList(nullptr, nullptr), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_NOT_INIT);
    EXPECT_EQ(QN_NET_Logout(7), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_NOT_INIT);

    EXPECT_EQ(QN_NET_Init(nullptr), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);
    EXPECT_EQ(QN_NET_Init("login.example"), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);
    EXPECT_FALSE(qn_net::IsInitialised());
    EXPECT_FALSE(qn_net::session()->receiver.running());
}

TEST(NetSdkLife, InitTwiceKeepsStateAndCleanupReturnsToTheThreadBaseline)
{
    const int baseline = testing_support::ThreadCount();
    ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
    EXPECT_EQ(qn_net::global_set().local_udp_port.load(), 18050);
    EXPECT_EQ(qn_net::advance_local_udp_port(), 18051);
    EXPECT_EQ(QN_NET_Init("127.0.0.2"), 1);
    EXPECT_EQ(qn_net::global_set().local_udp_port.load(), 18051) << "a second init changes nothing";
    EXPECT_EQ(qn_net::login_server_text(), "127.0.0.1");
    EXPECT_GT(testing_support::ThreadCount(), baseline);

    // A failure's code outlives later successes.
    EXPECT_EQ(QN_NET_Logout(0), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);
    EXPECT_EQ(QN_NET_SetRealDataCallBack(nullptr, 3), 1);
    EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);

    ASSERT_EQ(QN_NET_Cleanup(), 1);
    EXPECT_EQ(testing_support::ThreadCount(), baseline);
    ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
    ASSERT_EQ(QN_NET_Cleanup(), 1);
    EXPECT_EQ(testing_support::ThreadCount(), baseline);
}

// A login of one session must not sign in the next one: the login server,
// the login's answer and the last id end with QN_NET_Cleanup.
TEST(NetSdkLife, WhatALoginAnsweredEndsWithItsSession)
{
    ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
    qn_net::login_values login;
    login.user_id = 42;
    login.mgr_ipv4 = 0x0100007Fu;
    login.mgr_port = 7000;
    login.login_number = 9;
    login.token[0] = 'k';
    qn_net::store_login_values(login);
    qn_net::set_last_id(17);
    ASSERT_EQ(qn_net::last_login().mgr_port, 7000);
    ASSERT_EQ(QN_NET_Cleanup(), 1);

    ASSERT_EQ(QN_NET_Init("127.0.0.2"), 1);
    const qn_net::login_values next = qn_net::last_login();
    EXPECT_EQ(next.user_id, 0xFFFFFFFFu);
    EXPECT_EQ(next.mgr_ipv4, 0u);
    EXPECT_EQ(next.mgr_port, 0);
    EXPECT_EQ(next.login_number, 0u);
    EXPECT_EQ(next.token[0], 0);
    EXPECT_EQ(qn_net::last_id(), 0u);
    EXPECT_EQ(qn_net::login_server_text(), "127.0.0.2");
    ASSERT_EQ(QN_NET_Cleanup(), 1);
    qn_net::global_set().user_id.store(0xFFFFFFFFu);
}

TEST(NetSdkLife, CleanupIsRefusedWhileSignedInAndLogoutNeedsAConnection)
{
    ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
    EXPECT_EQ(QN_NET_Logout(5001), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_NO_LINK);

    // As a local connection that is on line.
    qn_net::set_current(*qn_net::session_hold(), qn_net::current_kind::local);
    qn_net::connection_state().store(qn_net::conn_state::local_online);
    EXPECT_EQ(QN_NET_Cleanup(), 0);
    EXPECT_TRUE(qn_net::session()->receiver.running());
    EXPECT_TRUE(qn_net::IsInitialised());
    EXPECT_EQ(QN_NET_Logout(5001), 1);
    EXPECT_EQ(QN_NET_Cleanup(), 1);
    EXPECT_FALSE(qn_net::session()->receiver.running());
}

TEST(NetSdkLife, TracesCarryTheLocalTimeAndTheCallsCourse)
{
    g_traces.clear();
    QN_NET_SetDebugCallBack(&KeepTrace);
    platform::CivilTime before = platform::LocalNow();
    QN_NET_Logout(1);
    QN_NET_SetDebugCallBack(nullptr);
    QN_NET_Logout(1);
    ASSERT_EQ(g_traces.size(), 2u);
    std::regex line(R"((\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2})  QN_NET_Logout (start|failed\(use QN_NET_Init first\))\n)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(g_traces[0], match, line)) << g_traces[0];
    EXPECT_EQ(std::stoi(match[1]), before.year);
    EXPECT_EQ(std::stoi(match[2]), before.month);
    EXPECT_EQ(g_traces[1].substr(21), "QN_NET_Logout failed(use QN_NET_Init first)\n");

    // Very long texts are cut, still ending in a line feed.
    g_traces.clear();
    QN_NET_SetDebugCallBack(&KeepTrace);
    qn_net::Trace("%s", std::string(2000, 'x').c_str());
    QN_NET_SetDebugCallBack(nullptr);
    ASSERT_EQ(g_traces.size(), 1u);
    EXPECT_EQ(g_traces[0].size(), 511u);
    EXPECT_EQ(g_traces[0].back(), '\n');
}

struct EventLog {
    std::vector<int32_t> codes;
    static void OnEvent(void*, int32_t code, int32_t, int32_t, void* user)
    {
        static_cast<EventLog*>(user)->codes.push_back(code);
    }
};

TEST(NetSdkLife, EventsGoToTheRegisteredCallbackOnlyAndSurviveCleanup)
{
    qn_net::RaiseEvent(nullptr, QN_NET_EVENT_SERVER_LOST, 0, 0);  // nobody listens: dropped
    EventLog log;
    ASSERT_EQ(QN_NET_SetMsgCallBack(&EventLog::OnEvent, nullptr, &log), 1);
    ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
    ASSERT_EQ(QN_NET_Cleanup(), 1);
    qn_net::RaiseEvent(nullptr, QN_NET_EVENT_SERVER_LOST, 0, 0);
    qn_net::ReportByteCount(100);  // no companion registered
    EXPECT_EQ(log.codes, std::vector<int32_t>{QN_NET_EVENT_SERVER_LOST});
    QN_NET_SetMsgCallBack(nullptr, nullptr, nullptr);
}

TEST(NetSdkLife, ServicePortsAndTheLocalUdpRange)
{
    const uint16_t loginPort = qn_net::ports().login.load();
    EXPECT_EQ(QN_NET_SetServicePorts(0, 30010, 30012), 1);
    EXPECT_EQ(qn_net::ports().login.load(), loginPort) << "0 keeps the current value";
    ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
    EXPECT_EQ(qn_net::global_set().local_udp_port.load(), 30010);
    EXPECT_EQ(qn_net::advance_local_udp_port(), 30011);
    EXPECT_EQ(qn_net::advance_local_udp_port(), 30012);
    EXPECT_EQ(qn_net::advance_local_udp_port(), 30010) << "wraps to the first";
    EXPECT_EQ(QN_NET_SetServicePorts(0, 40000, 30000), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);
    QN_NET_Cleanup();
    QN_NET_SetServicePorts(0, 18050, 18100);
}

} // namespace
