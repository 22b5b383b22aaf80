// The management session against the simulated management server: sign-in,
// the local connection to a device, dropping, heartbeats that give up on a
// frozen server and reconnection after the server closed the connection.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "vqSDK/VlrNetSDK/loopback_pair.h"
#include "vqSDK/VlrNetSDK/camsim_peer.h"
#include "platform/clock.h"
#include "support/this_process.h"
#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/msg_header.h"
#include "vqSDK/VlrNetSDK/process_recv.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"
#include "support/wait_until.h"

namespace {

using namespace qn_net;
using netsdk_test::CamsimServer;

constexpr uint32_t kUser = 5001;

// The events the SDK raised, in order.
class EventLog {
public:
    static void On(void*, int32_t code, int32_t, int32_t, void* user)
    {
        auto* self = static_cast<EventLog*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->codes_.push_back(code);
        self->changed_.notify_all();
    }
    bool WaitFor(int32_t code, int count, std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return Count(code) >= count; });
    }
    int CountOf(int32_t code)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return Count(code);
    }

private:
    int Count(int32_t code) const { return static_cast<int>(std::count(codes_.begin(), codes_.end(), code)); }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int32_t> codes_;
};

// The SDK's trace lines.
std::mutex g_traceMutex;
std::vector<std::string> g_traces;

void KeepTrace(const char* text)
{
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_traces.emplace_back(text);
}

int TracesEndingWith(const std::string& tail)
{
    std::lock_guard<std::mutex> lock(g_traceMutex);
    return static_cast<int>(std::count_if(g_traces.begin(), g_traces.end(), [&](const std::string& line) {
        return line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
    }));
}

// How many frames with this message id the peer received.
int Received(const CamsimServer& peer, int msgId)
{
    const std::string key = "\"id\": " + std::to_string(msgId) + ",";
    const auto frames = peer.Frames();
    return static_cast<int>(
        std::count_if(frames.begin(), frames.end(), [&](const std::string& line) { return line.find(key) != std::string::npos; }));
}

// The count once it reached `expected`, or when the wait for it gave up: the
// peer logs a frame only once it has read it.
int ReceivedSoon(const CamsimServer& peer, int msgId, int expected, int boundMs = testing_support::kEventBoundMs)
{
    int count = 0;
    testing_support::WaitUntil([&] { return (count = Received(peer, msgId)) >= expected; }, boundMs, 20);
    return count;
}


// A management server that signs the first client in and then resets that
// connection, and signs in whoever connects after it.
class ResettingServer {
public:
    ResettingServer()
    {
        listener_ = platform::ListenLoopback(platform::NetFamily::IPv4, 0, 4);
        port_ = platform::LocalPort(listener_);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ResettingServer()
    {
        stop_ = true;
        thread_.join();
        for (int socket : kept_) platform::CloseSocket(socket);
        platform::CloseSocket(listener_);
    }
    uint16_t Port() const { return port_; }
    int SignIns() const { return signIns_.load(); }

private:
    // Waits up to `ms` for the socket to become readable.
    bool Readable(int socket, int64_t ms)
    {
        std::vector<platform::PollItem> items{{socket}};
        return platform::PollReadable(items, ms) > 0;
    }
    // Reads one frame whole; false on time-out or close.
    bool ReadFrame(int socket, std::vector<uint8_t>& frame)
    {
        frame.assign(qn_net::kHeaderSize, 0);
        std::size_t have = 0;
        while (have < frame.size()) {
            if (stop_ || !Readable(socket, 100)) {
                if (stop_) return false;
                continue;
            }
            long got = platform::ReceiveBytes(socket, frame.data() + have, frame.size() - have);
            if (got <= 0) return false;
            have += static_cast<std::size_t>(got);
            if (have == qn_net::kHeaderSize) frame.resize(qn_net::ReadHeader(frame.data()).total);
        }
        return true;
    }
    void Serve()
    {
        for (int n = 0; n < 2 && !stop_;) {
            if (!Readable(listener_, 100)) continue;
            const int client = platform::AcceptConnection(listener_);
            std::vector<uint8_t> frame;
            if (!ReadFrame(client, frame) || qn_net::ReadHeader(frame.data()).msgId != 20200) {
                platform::CloseSocket(client);
                continue;
            }
            std::vector<uint8_t> answer(152, 0);
            qn_net::WriteHeader(answer.data(), 20200, answer.size() - qn_net::kHeaderSize);
            // Counted before the answer: the client may act on it at once.
            signIns_.fetch_add(1);
            platform::SendBytes(client, answer.data(), answer.size());
            if (n++ == 0) {
                platform::SleepMs(100);
                platform::AbortConnection(client);
            } else {
                kept_.push_back(client);
            }
        }
        while (!stop_) platform::SleepMs(20);
    }

    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> signIns_{0};
    std::vector<int> kept_;
    std::thread thread_;
};

class NetSdkSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        QN_NET_SetMsgCallBack(&EventLog::On, nullptr, &events_);
        ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
        baselineSockets_ = session()->receiver.registered();
    }
    void TearDown() override
    {
        if (connection_state().load() != conn_state::none || session_hold()->mgr.connected() != 0) QN_NET_Logout(kUser);
        EXPECT_EQ(QN_NET_Cleanup(), 1);
        global_set().camera_timeout_ms.store(3000);
        QN_NET_SetMsgCallBack(nullptr, nullptr, nullptr);
    }
    std::unique_ptr<CamsimServer> StartMgr(const std::string& options = {})
    {
        auto peer = std::make_unique<CamsimServer>("mgr", options);
        if (peer->Port() == 0) ADD_FAILURE() << "the simulated management server did not start";
        return peer;
    }
    // The management server that the last login named.
    static void UseMgr(const CamsimServer& peer)
    {
        login_values login;
        login.user_id = kUser;
        login.mgr_ipv4 = netsdk_test::LoopbackIPv4();
        login.mgr_port = peer.Port();
        store_login_values(login);
    }
    int ExtraSockets() const { return session()->receiver.registered() - baselineSockets_; }

    EventLog events_;
    int baselineSockets_ = 0;
};

TEST_F(NetSdkSession, ManagementSignInHappensOnceAndDisconnectReportsTheLoss)
{
    auto mgr = StartMgr();
    UseMgr(*mgr);
    ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
    EXPECT_EQ(connection_state().load(), conn_state::mgr_online);
    EXPECT_EQ(session_hold()->mgr.connected(), mgr_conn::kSignedIn);
    // On line already: no second connection, no second sign-in.
    EXPECT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
    EXPECT_EQ(ExtraSockets(), 1);

    EXPECT_EQ(QN_NET_OnLineState(-1), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);
    EXPECT_EQ(QN_NET_OnLineState(42), 1);
    EXPECT_EQ(QN_NET_Camera_Mgr_DisConnect(42), 1);

    EXPECT_EQ(QN_NET_Base_DisConnect(), 1);
    EXPECT_EQ(connection_state().load(), conn_state::none);
    EXPECT_EQ(events_.CountOf(QN_NET_EVENT_SERVER_LOST), 1);
    EXPECT_EQ(ExtraSockets(), 0);
    EXPECT_EQ(QN_NET_Base_DisConnect(), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_NO_LINK);
    EXPECT_EQ(QN_NET_OnLineState(42), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_NO_LINK);

    EXPECT_EQ(ReceivedSoon(*mgr, 20200, 1), 1);
    EXPECT_EQ(ReceivedSoon(*mgr, 20202, 1), 1);
    EXPECT_EQ(ReceivedSoon(*mgr, 20309, 1), 1);
}

TEST_F(NetSdkSession, AnUnansweredSignInLeavesNothingBehindAndARetryWorks)
{
    auto silent = StartMgr("--fault stall:20200");
    UseMgr(*silent);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2900));
    EXPECT_EQ(LastError(), QN_NET_ERR_SIGN_IN);
    EXPECT_EQ(connection_state().load(), conn_state::none);
    EXPECT_EQ(ExtraSockets(), 0);

    auto answering = StartMgr();
    UseMgr(*answering);
    EXPECT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
    EXPECT_EQ(connection_state().load(), conn_state::mgr_online);
    EXPECT_EQ(ExtraSockets(), 1);
}

// A server that refuses the sign-in, or drops the connection while the
// client waits for its answer: the sign-in fails at once with 1203, and the
// connection is gone for good: no device call, heartbeat or sign-out follows.
TEST_F(NetSdkSession, ARefusedOrDroppedSignInFailsAtOnceAndNothingFollows)
{
    const char* faults[] = {"--fault status:20200:7", "--fault close:20200", "--fault reset:20200"};
    // Far beyond any answer: a wait that runs out shows.
    global_set().camera_timeout_ms.store(20000);
    std::vector<std::unique_ptr<CamsimServer>> refusing;
    for (const char* fault : faults) {
        SCOPED_TRACE(fault);
        refusing.push_back(StartMgr(fault));
        UseMgr(*refusing.back());
        const int64_t started = platform::MonotonicMs();
        EXPECT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 0);
        EXPECT_LT(platform::MonotonicMs() - started, 10000);
        EXPECT_EQ(LastError(), QN_NET_ERR_SIGN_IN);
        EXPECT_EQ(connection_state().load(), conn_state::none);
        EXPECT_EQ(current(*session_hold()), current_kind::none);
        EXPECT_EQ(session_hold()->mgr.connected(), mgr_conn::kClosed);
        EXPECT_EQ(ExtraSockets(), 0);
        EXPECT_EQ(QN_NET_OnLineState(42), 0);
        EXPECT_EQ(LastError(), QN_NET_ERR_NO_LINK);
        EXPECT_EQ(QN_NET_Logout(kUser), 0);
    }
    // Once a heartbeat reached a server that signed the client in, one would
    // have reached the refusing ones too.
    auto answering = StartMgr();
    UseMgr(*answering);
    ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
    EXPECT_EQ(ReceivedSoon(*answering, 1, 1, 15000), 1);
    for (std::size_t i = 0; i < refusing.size(); ++i) {
        SCOPED_TRACE(faults[i]);
        const auto frames = refusing[i]->Frames();
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].rfind("{\"id\": 20200,", 0), 0u) << frames[0];
    }
}

// A device call waiting for its answer when the server closes or resets the
// connection ends at once with the time-out code, not after the time-out.
TEST_F(NetSdkSession, AWaitingCallEndsAtOnceWhenItsConnectionCloses)
{
    global_set().camera_timeout_ms.store(20000);
    int lost = 0;
    for (const char* fault : {"--fault close:20282", "--fault reset:20282"}) {
        SCOPED_TRACE(fault);
        auto mgr = StartMgr(fault);
        UseMgr(*mgr);
        ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
        int32_t brightness = 0x11, value = 0x22;
        const int64_t started = platform::MonotonicMs();
        EXPECT_EQ(QN_NET_Brightness(42, &brightness, &value), 0);
        EXPECT_LT(platform::MonotonicMs() - started, 10000);
        EXPECT_EQ(LastError(), QN_NET_ERR_TIMEOUT);
        EXPECT_EQ(brightness, 0x11);
        EXPECT_EQ(value, 0x22);
        // The heartbeat sees the loss too, signs in again and reports it.
        ASSERT_TRUE(events_.WaitFor(QN_NET_EVENT_SERVER_LOST, ++lost,
                                    std::chrono::milliseconds(testing_support::kEventBoundMs)));
        EXPECT_EQ(QN_NET_Logout(kUser), 1);
    }
}

TEST_F(NetSdkSession, AnUnreachableServerGivesTheConnectCode)
{
    auto mgr = StartMgr();
    const uint16_t port = mgr->Port();
    mgr.reset();  // nothing listens there any more
    login_values login;
    login.mgr_ipv4 = netsdk_test::LoopbackIPv4();
    login.mgr_port = port;
    store_login_values(login);
    EXPECT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_MGR_CONNECT);
    EXPECT_EQ(QN_NET_Base_connect(3, 0, 0, 0), 0);
    EXPECT_EQ(ExtraSockets(), 0);
}

// A device on the local network speaks the management protocol; the
// simulated management server stands in for it.
TEST_F(NetSdkSession, LocalConnectionIsKeptForItsMarkAndReplacedForAnother)
{
    auto device = StartMgr();
    ASSERT_EQ(QN_NET_Base_connect(2, netsdk_test::LoopbackIPv4(), device->Port(), 7), 1);
    EXPECT_EQ(connection_state().load(), conn_state::local_online);
    EXPECT_EQ(current(*session_hold()), current_kind::local);
    EXPECT_EQ(QN_NET_Base_connect(2, netsdk_test::LoopbackIPv4(), device->Port(), 7), 1);
    EXPECT_EQ(ExtraSockets(), 1);
    EXPECT_EQ(QN_NET_Base_connect(2, netsdk_test::LoopbackIPv4(), device->Port(), 8), 1);
    EXPECT_EQ(ExtraSockets(), 1);
    EXPECT_EQ(connection_state().load(), conn_state::local_online);
    // Device calls pass the camera check with any id on a local connection.
    EXPECT_TRUE(connection_guard(-1));

    EXPECT_EQ(QN_NET_Base_DisConnect(), 1);
    EXPECT_EQ(connection_state().load(), conn_state::none);
    EXPECT_EQ(ExtraSockets(), 0);
    EXPECT_EQ(events_.CountOf(QN_NET_EVENT_SERVER_LOST), 1);
    // Two connections were made, each announced with its mark.
    EXPECT_EQ(ReceivedSoon(*device, 20364, 2), 2);
}

TEST_F(NetSdkSession, LocalConnectReachesTheCameraTheServerNamesAndKeepsOneConnection)
{
    EXPECT_EQ(QN_NET_LocalConnect(42), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_NO_LINK);  // no connection chosen yet

    auto camera = StartMgr();  // any peer that speaks the management protocol
    auto mgr = StartMgr("--camera-port " + std::to_string(camera->Port()));
    UseMgr(*mgr);
    ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
    EXPECT_EQ(QN_NET_LocalConnect(-1), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);
    ASSERT_EQ(QN_NET_LocalConnect(42), 1);
    ASSERT_EQ(QN_NET_LocalConnect(42), 1);
    EXPECT_EQ(ExtraSockets(), 2);  // the management and one local connection
    EXPECT_EQ(session_hold()->mgr.play_camera.load(), 42);
    EXPECT_EQ(ReceivedSoon(*mgr, 20203, 2), 2);
    EXPECT_EQ(QN_NET_Logout(kUser), 1);
    EXPECT_EQ(ExtraSockets(), 0);
}

TEST_F(NetSdkSession, LocalConnectFailsWithoutAnAnswerOrAReachableCamera)
{
    auto mgr = StartMgr();  // names no camera
    UseMgr(*mgr);
    ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(QN_NET_LocalConnect(42), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1900));
    EXPECT_EQ(LastError(), QN_NET_ERR_TIMEOUT);

    auto gone = StartMgr();
    const uint16_t closedPort = gone->Port();
    gone.reset();
    auto naming = StartMgr("--camera-port " + std::to_string(closedPort));
    UseMgr(*naming);
    ASSERT_EQ(QN_NET_Base_DisConnect(), 1);
    ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
    EXPECT_EQ(QN_NET_LocalConnect(42), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_LOCAL_CONNECT);
    EXPECT_EQ(ExtraSockets(), 1);
}

TEST_F(NetSdkSession, ServerThatClosesIsReconnectedOnceAndTheLossIsReported)
{
    auto mgr = StartMgr("--fault close:20309");
    UseMgr(*mgr);
    ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
    QN_NET_Camera_Mgr_DisConnect(42);  // the server hangs up on it
    ASSERT_TRUE(
        events_.WaitFor(QN_NET_EVENT_SERVER_LOST, 1, std::chrono::milliseconds(testing_support::kEventBoundMs)));
    // The heartbeat signed in again on a new connection.
    EXPECT_EQ(connection_state().load(), conn_state::mgr_online);
    EXPECT_EQ(ReceivedSoon(*mgr, 20200, 2), 2);
    EXPECT_EQ(ExtraSockets(), 1);
    EXPECT_EQ(events_.CountOf(QN_NET_EVENT_SERVER_LOST), 1);
}

TEST_F(NetSdkSession, ServerThatResetsIsReconnectedAndTheProcessSurvives)
{
    ResettingServer server;
    login_values login;
    login.mgr_ipv4 = netsdk_test::LoopbackIPv4();
    login.mgr_port = server.Port();
    store_login_values(login);
    ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
    ASSERT_TRUE(
        events_.WaitFor(QN_NET_EVENT_SERVER_LOST, 1, std::chrono::milliseconds(testing_support::kEventBoundMs)));
    EXPECT_EQ(server.SignIns(), 2);
    EXPECT_EQ(connection_state().load(), conn_state::mgr_online);
    EXPECT_EQ(ExtraSockets(), 1);
}

TEST_F(NetSdkSession, FrozenServerIsGivenUpAfterTenSilentPeriods)
{
    auto mgr = StartMgr();
    UseMgr(*mgr);
    ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
    session_hold()->mgr.play_camera.store(42);
    QN_NET_SetDebugCallBack(&KeepTrace);
    ASSERT_EQ(std::system(("kill -STOP " + std::to_string(mgr->Pid())).c_str()), 0);
    const auto frozen = std::chrono::steady_clock::now();
    const bool lost = events_.WaitFor(QN_NET_EVENT_SERVER_LOST, 1, std::chrono::seconds(60));
    const auto after = std::chrono::steady_clock::now() - frozen;
    ASSERT_EQ(std::system(("kill -CONT " + std::to_string(mgr->Pid())).c_str()), 0);
    QN_NET_SetDebugCallBack(nullptr);
    ASSERT_TRUE(lost);
    // Ten heartbeats without an answer, one every two seconds.
    EXPECT_GE(after, std::chrono::seconds(18));
    EXPECT_EQ(connection_state().load(), conn_state::none);
    EXPECT_EQ(session_hold()->mgr.connected(), mgr_conn::kClosed);
    EXPECT_EQ(ExtraSockets(), 0);
    // From the third silent period to the eighth the heartbeat also asked
    // whether the playing camera is on line.
    EXPECT_EQ(TracesEndingWith("QN_NET_OnLineState start cameraid = 42\n"), 6);
    EXPECT_EQ(TracesEndingWith("QN_NET_OnLineState success\n"), 6);
}

TEST_F(NetSdkSession, ConnectAndDisconnectCyclesLeaveNoSocketOrThread)
{
    auto mgr = StartMgr();
    UseMgr(*mgr);
    const int threadsBefore = testing_support::ThreadCount();
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1) << "cycle " << i;
        ASSERT_EQ(QN_NET_Base_DisConnect(), 1) << "cycle " << i;
    }
    EXPECT_EQ(ExtraSockets(), 0);
    EXPECT_EQ(events_.CountOf(QN_NET_EVENT_SERVER_LOST), 20);
    EXPECT_EQ(ReceivedSoon(*mgr, 20200, 20), 20);
    // Local connections start and end their own heartbeat.
    auto device = StartMgr();
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(QN_NET_Base_connect(2, netsdk_test::LoopbackIPv4(), device->Port(), 100 + i), 1) << "cycle " << i;
    }
    ASSERT_EQ(QN_NET_Base_DisConnect(), 1);
    EXPECT_EQ(ExtraSockets(), 0);
    EXPECT_EQ(testing_support::ThreadCount(), threadsBefore);
}

TEST_F(NetSdkSession, LogoutSignsOutAndAllowsCleanup)
{
    auto mgr = StartMgr();
    UseMgr(*mgr);
    ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
    EXPECT_EQ(QN_NET_Cleanup(), 0);  // still signed in
    EXPECT_EQ(QN_NET_Logout(kUser), 1);
    EXPECT_EQ(connection_state().load(), conn_state::none);
    EXPECT_EQ(ExtraSockets(), 0);
    EXPECT_EQ(ReceivedSoon(*mgr, 20201, 1), 1);
}

void IgnoreBlockCount(void*, int32_t, int32_t, int32_t, int32_t) {}

// Calls made while another thread ends and begins sessions: a call that began
// on a session finishes on it, however soon QN_NET_Cleanup ends it, and every
// session ends whole.
TEST(NetSdkSessionLife, CallsRacingWithCleanupAndInitFinishOnTheirOwnSession)
{
    std::atomic<bool> cycling{true};
    std::atomic<int> rounds{0};
    std::atomic<int> oddResults{0};
    auto caller = [&] {
        while (cycling.load()) {
            for (int result : {QN_NET_StopRealPlay(1), QN_NET_CountStreamBlocks(1, &IgnoreBlockCount),
                               QN_NET_Base_DisConnect(), QN_NET_LocalConnect(1)}) {
                if (result != 0 && result != 1) ++oddResults;
            }
            ++rounds;
        }
    };
    std::thread first(caller);
    std::thread second(caller);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return rounds.load() > 0; }));
    // Counted once the callers run: a sanitizer's helper thread is up by then.
    const int threadsBefore = testing_support::ThreadCount() - 2;
    int cycles = 0;
    for (; cycles < 200; ++cycles) {
        if (QN_NET_Init("127.0.0.1") != 1 || QN_NET_Cleanup() != 1) break;
    }
    const int roundsSeen = rounds.load();
    EXPECT_TRUE(testing_support::WaitUntil([&] { return rounds.load() > roundsSeen + 2; }));
    cycling.store(false);
    first.join();
    second.join();
    EXPECT_EQ(cycles, 200);
    EXPECT_EQ(oddResults.load(), 0);

    // What the racing calls left in a session did not outlive it.
    ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
    EXPECT_EQ(current(*session_hold()), current_kind::none);
    EXPECT_EQ(QN_NET_Base_DisConnect(), 0);
    ASSERT_EQ(QN_NET_Cleanup(), 1);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return testing_support::ThreadCount() == threadsBefore; }))
        << testing_support::ThreadCount() << " threads, " << threadsBefore << " before";
}


// Ends the SDK from the loss event, as a caller that gives up may.
struct CleanupOnLoss {
    static void On(void*, int32_t code, int32_t, int32_t, void* user)
    {
        if (code == QN_NET_EVENT_SERVER_LOST) static_cast<CleanupOnLoss*>(user)->result.store(QN_NET_Cleanup());
    }
    std::atomic<int> result{-1};
};

// The local heartbeat raises the loss on its own thread, which holds the
// session for that round: QN_NET_Cleanup called there cannot wait for it, so
// the heartbeat ends the session as it lets go of it, joining every other
// thread of the session and leaving none behind.
TEST(NetSdkSessionLife, CleanupFromTheHeartbeatsLossEventEndsTheSessionOnThatThread)
{
    const int threadsBefore = testing_support::SettledThreadCount();
    CleanupOnLoss loss;
    QN_NET_SetMsgCallBack(&CleanupOnLoss::On, nullptr, &loss);
    ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
    {
        auto device = std::make_unique<CamsimServer>("mgr", "");
        ASSERT_NE(device->Port(), 0) << "the simulated device did not start";
        ASSERT_EQ(QN_NET_Base_connect(2, netsdk_test::LoopbackIPv4(), device->Port(), 7), 1);
    }
    EXPECT_TRUE(testing_support::WaitUntil([&] { return loss.result.load() != -1; }));
    EXPECT_EQ(loss.result.load(), 1);
    EXPECT_EQ(QN_NET_Base_DisConnect(), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_NOT_INIT);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return testing_support::ThreadCount() == threadsBefore; }))
        << testing_support::ThreadCount() << " threads, " << threadsBefore << " before";
    QN_NET_SetMsgCallBack(nullptr, nullptr, nullptr);
    // The next session begins afresh.
    ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
    EXPECT_EQ(connection_state().load(), conn_state::none);
    EXPECT_EQ(QN_NET_Cleanup(), 1);
}

} // namespace
