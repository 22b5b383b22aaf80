#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "camsim_peer.h"
#include "platform/clock.h"
#include "platform/net_socket.h"
#include "support/run_command.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"

namespace {

using netsdk_test::CamsimLogin;

// Error codes the simulated login server sends.
constexpr int32_t kBadPassword = 10103;
constexpr int32_t kNotSignedIn = 10105;

QN_NET_LOGIN_INFO LoginRecord(const char* account, const char* password)
{
    QN_NET_LOGIN_INFO info{};
    std::snprintf(info.account, sizeof info.account, "%s", account);
    std::snprintf(info.password, sizeof info.password, "%s", password);
    std::snprintf(info.terminal, sizeof info.terminal, "%s", "error token");
    return info;
}

int32_t LastError()
{
    int32_t code = 0;
    QN_NET_GetLastError(&code);
    return code;
}

// The value of a field in one logged JSON line.
std::string Field(const std::string& line, const std::string& name)
{
    std::smatch match;
    std::regex pattern("\"" + name + "\": (\"[^\"]*\"|[^,}]+)");
    if (!std::regex_search(line, match, pattern)) return {};
    std::string value = match[1];
    if (!value.empty() && value.front() == '"') value = value.substr(1, value.size() - 2);
    return value;
}

std::string HexToText(const std::string& hex)
{
    std::string text;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        char c = static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        if (c == '\0') break;
        text += c;
    }
    return text;
}

class NetSdkLoginServer : public ::testing::Test {
protected:
    void Start(const std::string& options = "--account demo:secret --devices 120 --shared 7")
    {
        peer_ = std::make_unique<CamsimLogin>(options);
        ASSERT_NE(peer_->Port(), 0) << "the simulated login server did not start";
        ASSERT_EQ(QN_NET_SetServicePorts(peer_->Port(), 0, 0), 1);
        ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
    }
    void TearDown() override
    {
        QN_NET_Cleanup();
        peer_.reset();
        qn_net::global_set().login_timeout_ms.store(kLoginAnswerMs);
    }
    static constexpr int32_t kLoginAnswerMs = 6000;
    bool SignIn(const char* password = "secret")
    {
        QN_NET_LOGIN_INFO info = LoginRecord("demo", password);
        uint32_t address = 0;
        uint32_t user = 0;
        return QN_NET_Login(&info, &address, &user) == 1;
    }

    std::unique_ptr<CamsimLogin> peer_;
};

TEST_F(NetSdkLoginServer, SignsInWithTheSaltedDigestAndKeepsTheAnswer)
{
    Start();
    QN_NET_LOGIN_INFO info = LoginRecord("demo", "secret");
    uint32_t address = 0;
    uint32_t user = 0;
    ASSERT_EQ(QN_NET_Login(&info, &address, &user), 1);
    EXPECT_EQ(user, 5001u);
    EXPECT_EQ(qn_net::global_set().user_id.load(), user);
    EXPECT_EQ(platform::IPv4ToText(address), "127.0.0.1");
    EXPECT_EQ(qn_net::last_login().mgr_port, 20000);
    EXPECT_EQ(qn_net::last_login().login_number, 77u);

    std::vector<std::string> frames = peer_->Frames();
    ASSERT_EQ(frames.size(), 2u);
    // The salt request: 20 + 66 bytes, header bytes exactly as on the wire.
    EXPECT_EQ(Field(frames[0], "header"), "ccddeeff2e270000e312690056000000" "00000000");
    EXPECT_EQ(Field(frames[1], "total"), "352");
    EXPECT_EQ(Field(frames[1], "password_ok"), "true");

    // The digest again, by the command-line tool: md5(md5(password) + salt).
    const std::string salt = Field(frames[0], "salt");
    ASSERT_EQ(salt.size(), 16u);
    auto inner = testing_support::RunCommand("printf '%s' secret | openssl md5 -r | cut -c1-32");
    auto outer = testing_support::RunCommand("printf '%s%s' " + testing_support::Chomp(inner.output) + " " + salt +
                                             " | openssl md5 -r | cut -c1-32");
    std::string sent = HexToText(Field(frames[1], "body").substr(128, 128));
    EXPECT_EQ(sent, testing_support::Chomp(outer.output));
}

TEST_F(NetSdkLoginServer, AWrongPasswordLeavesTheServersCode)
{
    Start();
    EXPECT_FALSE(SignIn("wrong"));
    EXPECT_EQ(LastError(), kBadPassword);
}

TEST_F(NetSdkLoginServer, FaultsOfTheServerEndTheSignInWithTheirCodes)
{
    const struct {
        const char* fault;
        int32_t code;
    } cases[] = {
        {"stall:10001", QN_NET_ERR_TIMEOUT},
        {"short:10001", QN_NET_ERR_TIMEOUT},   // an answer of the wrong length is not taken
        {"error:10001:20001", 20001},          // the server's code stays
        {"error:10030:777", QN_NET_ERR_TIMEOUT},  // a refused salt is reported as not answered
        {"close:10030", QN_NET_ERR_TIMEOUT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        Start(std::string("--account demo:secret --fault ") + c.fault);
        qn_net::global_set().login_timeout_ms.store(800);
        int64_t start = platform::MonotonicMs();
        EXPECT_FALSE(SignIn());
        EXPECT_EQ(LastError(), c.code);
        EXPECT_LT(platform::MonotonicMs() - start, 3000);
        TearDown();
    }
}

TEST_F(NetSdkLoginServer, AClosingServerEndsTheWaitAtOnce)
{
    Start("--account demo:secret --fault close:10001");
    // A long answer time, so that a busy machine cannot blur "at once" and "after it".
    qn_net::global_set().login_timeout_ms.store(2 * testing_support::kEventBoundMs);
    int64_t start = platform::MonotonicMs();
    EXPECT_FALSE(SignIn());
    EXPECT_EQ(LastError(), QN_NET_ERR_TIMEOUT);
    EXPECT_LT(platform::MonotonicMs() - start, testing_support::kEventBoundMs) << "well before the answer time";
}

TEST_F(NetSdkLoginServer, AnUnreachableServerGives11507)
{
    int listener = platform::ListenLoopback(platform::NetFamily::IPv4, 0, 1);
    ASSERT_GE(listener, 0);
    uint16_t port = platform::LocalPort(listener);
    platform::CloseSocket(listener);
    ASSERT_EQ(QN_NET_SetServicePorts(port, 0, 0), 1);
    ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
    EXPECT_FALSE(SignIn());
    EXPECT_EQ(LastError(), QN_NET_ERR_LOGIN_CONNECT);
}

// Pages through a list as the application does: 50 at a time from index 0,
// until the total is reached or a page brings nothing.
struct Paged {
    bool ok = true;
    int pages = 0;
    uint32_t total = 0;
    std::vector<uint32_t> ids;
};

Paged FetchAll(uint32_t kind)
{
    Paged result;
    uint16_t index = 0;
    for (int guard = 0; guard < 100; ++guard) {
        QN_NET_DEVICE_LIST_REQUEST request{1, kind, index, QN_NET_DEVICE_PAGE, 2, 0};
        auto list = std::make_unique<QN_NET_DEVICE_LIST>();
        if (QN_NET_GetDeviceList(&request, list.get()) != 1) {
            result.ok = false;
            return result;
        }
        ++result.pages;
        result.total = list->total;
        for (int i = 0; i < list->count; ++i) result.ids.push_back(list->devices[i].device_id);
        index = static_cast<uint16_t>(index + list->count);
        if (list->count == 0 || index >= list->total) break;
    }
    return result;
}

TEST_F(NetSdkLoginServer, PagesTheDeviceListsOfTheAccount)
{
    Start();
    ASSERT_TRUE(SignIn());
    Paged own = FetchAll(0);
    ASSERT_TRUE(own.ok);
    EXPECT_EQ(own.pages, 3);
    EXPECT_EQ(own.total, 120u);
    ASSERT_EQ(own.ids.size(), 120u);
    EXPECT_EQ(std::set<uint32_t>(own.ids.begin(), own.ids.end()).size(), 120u);
    EXPECT_EQ(own.ids.front(), 1000u);
    EXPECT_EQ(own.ids.back(), 1119u);

    Paged shared = FetchAll(1);
    ASSERT_TRUE(shared.ok);
    EXPECT_EQ(shared.ids.size(), 7u);

    QN_NET_DEVICE_LIST_REQUEST request{1, 0, 0, QN_NET_DEVICE_PAGE, 2, 0};
    auto list = std::make_unique<QN_NET_DEVICE_LIST>();
    ASSERT_EQ(QN_NET_GetDeviceList(&request, list.get()), 1);
    EXPECT_STREQ(list->devices[3].identity, "DEV001003");
    EXPECT_STREQ(list->devices[3].name, "camera 3");
    EXPECT_EQ(list->devices[3].value, 3u);
}

TEST_F(NetSdkLoginServer, ADevicePageThatDoesNotAddUpFailsWith12004)
{
    for (const char* fault : {"overcount:10020", "short:10020"}) {
        SCOPED_TRACE(fault);
        Start(std::string("--account demo:secret --devices 120 --fault ") + fault);
        ASSERT_TRUE(SignIn());
        Paged all = FetchAll(0);
        EXPECT_FALSE(all.ok);
        EXPECT_EQ(LastError(), QN_NET_ERR_NO_DATA);
        TearDown();
    }
}

TEST_F(NetSdkLoginServer, AnEmptyPageBeforeTheTotalEndsThePaging)
{
    Start("--account demo:secret --devices 120 --fault empty:10020");
    ASSERT_TRUE(SignIn());
    Paged all = FetchAll(0);
    ASSERT_TRUE(all.ok);
    EXPECT_EQ(all.pages, 1);
    EXPECT_EQ(all.total, 120u);
    EXPECT_TRUE(all.ids.empty());
}

TEST_F(NetSdkLoginServer, TheDeviceListWithoutASessionGivesTheServersCode)
{
    Start();
    Paged all = FetchAll(0);
    EXPECT_FALSE(all.ok);
    EXPECT_EQ(LastError(), kNotSignedIn);
}

TEST_F(NetSdkLoginServer, SharingSaltsThePasswordWithTheShareSalt)
{
    Start();
    ASSERT_TRUE(SignIn());
    uint8_t record[256] = {};
    std::strcpy(reinterpret_cast<char*>(record), "demo");
    std::strcpy(reinterpret_cast<char*>(record + 64), "demo");
    std::strcpy(reinterpret_cast<char*>(record + 192), "secret");
    int32_t result = 0;
    ASSERT_EQ(QN_NET_ShareDevice(1000, record, &result), 1);
    EXPECT_EQ(result, 1);
}

TEST_F(NetSdkLoginServer, AnErrorAnswerToTheShareSaltEndsSharingAtOnce)
{
    Start("--account demo:secret --fault error:10047:555");
    ASSERT_TRUE(SignIn());
    qn_net::global_set().login_timeout_ms.store(2 * testing_support::kEventBoundMs);
    uint8_t record[256] = {};
    int32_t result = 0;
    int64_t start = platform::MonotonicMs();
    EXPECT_EQ(QN_NET_ShareDevice(1000, record, &result), 0);
    EXPECT_EQ(LastError(), 555);
    EXPECT_LT(platform::MonotonicMs() - start, testing_support::kEventBoundMs) << "well before the answer time";
}

// Each account call sends a request of its table size and takes in its answer.
TEST_F(NetSdkLoginServer, AccountCallsSendTheirRequestSizesAndTakeTheirAnswers)
{
    Start();
    ASSERT_TRUE(SignIn());
    uint8_t big[772] = {};
    uint8_t answer[288] = {};
    const struct {
        const char* name;
        std::function<int()> call;
        int expected;
        int requestTotal;
    } cases[] = {
        {"GetDeviceid", [&] { return QN_NET_GetDeviceid(big); }, 4242, 84},
        {"VerityAccount", [&] { return QN_NET_VerityAccount(big); }, 4242, 278},
        {"CheckVerifyCode", [&] { return QN_NET_CheckVerifyCode("a", "b"); }, 4242, 180},
        {"BindState", [&] { return QN_NET_BindState("dev", answer); }, 4242, 88},
        {"SignUp", [&] { return QN_NET_SignUp(big, 3); }, 1, 278},
        {"GetVerifyCode", [&] { return QN_NET_GetVerifyCode(big); }, 1, 84},
        {"ResetPassword", [&] { return QN_NET_ResetPassword(big); }, 1, 212},
        {"ResetPasswordEx", [&] { return QN_NET_ResetPasswordEx(big); }, 1, 212},
        {"AddTerminal", [&] { return QN_NET_AddTerminal(big); }, 1, 792},
        {"AddDevice", [&] { return QN_NET_AddDevice(big, answer); }, 1, 344},
        {"AddDeviceEx", [&] { return QN_NET_AddDeviceEx(big, answer); }, 1, 344},
        {"DeleteDevice", [&] { return QN_NET_DeleteDevice(big); }, 1, 216},
        {"GetAppVersion", [&] { return QN_NET_GetAppVersion(2, answer); }, 1, 22},
        {"ApplyTestAccount", [&] { return QN_NET_ApplyTestAccount(2, answer); }, 1, 22},
        {"DeleteApplyAccount", [&] { return QN_NET_DeleteApplyAccount(big); }, 1, 86},
        {"ModifyDevName", [&] { return QN_NET_ModifyDevName(1000, "new name"); }, 1, 60},
        {"GetDeviceVersion", [&] { return QN_NET_GetDeviceVersion(1000, answer); }, 1, 24},
        {"GetSSID", [&] { return QN_NET_GetSSID(big, answer); }, 1, 148},
        {"DelShareDevice", [&] { return QN_NET_DelShareDevice(1000, 9); }, 1, 160},
        {"ApplySendNotification", [&] { return QN_NET_ApplySendNotification(big); }, 1, 112},
        {"GetMainDeviceList", [&] { return QN_NET_GetMainDeviceList(big, answer); }, 1, 232},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::size_t before = peer_->Frames().size();
        EXPECT_EQ(c.call(), c.expected);
        std::vector<std::string> frames = peer_->Frames();
        ASSERT_EQ(frames.size(), before + 1);
        EXPECT_EQ(Field(frames.back(), "total"), std::to_string(c.requestTotal));
    }

    QN_NET_DEVICE_INFO device{};
    EXPECT_EQ(QN_NET_GetDeviceMsgById(1, 2, 3, &device), 1);
    EXPECT_EQ(device.device_id, 4242u);

    QN_NET_SHARE_INFO shares[2];
    int32_t count = 0;
    ASSERT_EQ(QN_NET_GetShareDeviceInfo(1000, shares, 2, &count), 1);
    EXPECT_EQ(count, 2) << "three offered, capped by the capacity";
    uint32_t sharedWith = 0;
    std::memcpy(&sharedWith, shares[1].bytes, sizeof sharedWith);
    EXPECT_EQ(sharedWith, 901u);

    uint8_t salt[16] = {};
    ASSERT_EQ(QN_NET_MD5("demo", salt), 1);
    EXPECT_NE(salt[0], 0);
}

TEST_F(NetSdkLoginServer, MissingArgumentsAreRefusedBeforeAnythingIsSent)
{
    Start();
    uint32_t value = 0;
    EXPECT_EQ(QN_NET_Login(nullptr, &value, &value), 0);
    EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);
    QN_NET_LOGIN_INFO noTerminal = LoginRecord("demo", "secret");
    noTerminal.terminal[0] = '\0';
    EXPECT_EQ(QN_NET_Login(&noTerminal, &value, &value), 0);
    EXPECT_EQ(QN_NET_GetDeviceList(nullptr, nullptr), 0);
    EXPECT_EQ(QN_NET_GetDeviceid(nullptr), -1);
    EXPECT_EQ(LastError(), QN_NET_ERR_ILLEGAL_PARAM);
    EXPECT_TRUE(peer_->Frames().empty());
}

} // namespace
