// The simulated service's pushed upgrade and camera notices, its paged card
// search and its cloud credentials answer, seen through the SDK's flat calls
// after a real sign-in.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "vqSDK/VlrNetSDK/camsim_peer.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

namespace {

constexpr int32_t kCamera = 77;

// Records the bytes of every event that carries one.
class Notices {
public:
    static void On(void* record, int32_t code, int32_t value1, int32_t value2, void* user)
    {
        auto* self = static_cast<Notices*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        const auto* bytes = static_cast<const uint8_t*>(record);
        self->seen_[code].push_back({value1, value2, record != nullptr && value2 > 0
                                                         ? std::vector<uint8_t>(bytes, bytes + value2)
                                                         : std::vector<uint8_t>()});
        self->changed_.notify_all();
    }
    struct Seen {
        int32_t value1, value2;
        std::vector<uint8_t> record;
    };
    bool Wait(int32_t code)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(testing_support::kEventBoundMs),
                                 [&] { return !seen_[code].empty(); });
    }
    Seen First(int32_t code)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_[code].front();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int32_t, std::vector<Seen>> seen_;
};

class CamsimService : public ::testing::Test {
protected:
    void SignIn(const std::string& mgrOptions)
    {
        mgr_ = std::make_unique<netsdk_test::CamsimServer>("mgr", mgrOptions);
        ASSERT_NE(mgr_->Port(), 0) << "the simulated management server did not start";
        login_ = std::make_unique<netsdk_test::CamsimLogin>("--account demo:secret --mgr-port " +
                                                            std::to_string(mgr_->Port()));
        ASSERT_NE(login_->Port(), 0) << "the simulated login server did not start";
        ASSERT_EQ(QN_NET_SetServicePorts(login_->Port(), 0, 0), 1);
        QN_NET_SetMsgCallBack(&Notices::On, nullptr, &notices_);
        ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
        QN_NET_LOGIN_INFO info{};
        std::strcpy(info.account, "demo");
        std::strcpy(info.password, "secret");
        std::strcpy(info.terminal, "camsim-test");
        uint32_t address = 0;
        ASSERT_EQ(QN_NET_Login(&info, &address, &user_), 1);
        ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
    }
    void TearDown() override
    {
        QN_NET_Logout(user_);
        QN_NET_Cleanup();
        QN_NET_SetMsgCallBack(nullptr, nullptr, nullptr);
        mgr_.reset();
        login_.reset();
    }

    Notices notices_;
    uint32_t user_ = 0;
    std::unique_ptr<netsdk_test::CamsimServer> mgr_;
    std::unique_ptr<netsdk_test::CamsimLogin> login_;
};

uint32_t U32(const std::vector<uint8_t>& bytes, std::size_t at)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

TEST_F(CamsimService, PushedUpgradeProgressAndCameraNoticeCarryTheirRecords)
{
    SignIn("");
    // One exchange first, so the server surely knows the connection.
    QN_NET_TF_INFO card{};
    ASSERT_EQ(QN_NET_GetTfinfo(kCamera, &card), 1);
    mgr_->Command("push 20313 77");
    mgr_->Command("push 20374 77");
    ASSERT_TRUE(notices_.Wait(QN_NET_EVENT_UPGRADE_PROGRESS));
    ASSERT_TRUE(notices_.Wait(QN_NET_EVENT_NOTICE_20374));

    const auto upgrade = notices_.First(QN_NET_EVENT_UPGRADE_PROGRESS);
    EXPECT_EQ(upgrade.value1, 0);
    ASSERT_EQ(upgrade.value2, 32);
    EXPECT_EQ(U32(upgrade.record, 0), 77u);
    EXPECT_EQ(U32(upgrade.record, 4), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(upgrade.record.data() + 8), 16), "FW-2026.12.10-16");
    EXPECT_EQ(U32(upgrade.record, 24), 0u);  // stage 0: the client asks for the upgrade
    EXPECT_EQ(U32(upgrade.record, 28), 0x7Du);

    const auto notice = notices_.First(QN_NET_EVENT_NOTICE_20374);
    EXPECT_EQ(notice.value1, 0);
    ASSERT_EQ(notice.value2, 204);
    // The inner payload starts at body 16 of the answer pattern.
    for (std::size_t i = 0; i < 204; ++i) {
        ASSERT_EQ(notice.record[i], static_cast<uint8_t>(((i + 16) * 7 + 3) & 0xFF)) << "inner byte " << i;
    }
    // Stage 0 makes the client ask for the upgrade (mode 1).
    EXPECT_TRUE(testing_support::WaitUntil([&] {
        for (const auto& line : mgr_->Frames()) {
            if (line.rfind("{\"id\": 20314,", 0) == 0) return true;
        }
        return false;
    }, testing_support::kEventBoundMs, 20));
}

QN_NET_SEARCH_FILE Span(QN_NET_TIME6 start, QN_NET_TIME6 end)
{
    QN_NET_SEARCH_FILE search{};
    search.start = start;
    search.end = end;
    return search;
}

TEST_F(CamsimService, CardSearchPagesThroughOneFixedListFromTheStartTime)
{
    SignIn("--card-files 37");
    QN_NET_REMOTE_FILE files[QN_NET_REMOTE_FILES_PER_PAGE] = {};
    int32_t count = -1;
    const QN_NET_SEARCH_FILE day = Span({2026, 12, 10, 0, 0, 0}, {2026, 12, 10, 23, 59, 59});
    ASSERT_EQ(QN_NET_SearchRemoteFile(kCamera, &day, files, &count), 1);
    ASSERT_EQ(count, 16);
    EXPECT_EQ(files[0].values[32], 0);   // 00:00:30
    EXPECT_EQ(files[0].values[34], 30);
    EXPECT_EQ(files[15].values[33], 15); // 00:15:30, ending 00:16:30
    EXPECT_EQ(files[15].values[39], 16);

    // From the latest file's start: the next files, none repeated.
    const QN_NET_SEARCH_FILE next = Span({2026, 12, 10, 0, 15, 30}, {2026, 12, 10, 23, 59, 59});
    ASSERT_EQ(QN_NET_SearchRemoteFile(kCamera, &next, files, &count), 1);
    ASSERT_EQ(count, 16);
    EXPECT_EQ(files[0].values[0], 16);
    const QN_NET_SEARCH_FILE last = Span({2026, 12, 10, 0, 31, 30}, {2026, 12, 10, 23, 59, 59});
    ASSERT_EQ(QN_NET_SearchRemoteFile(kCamera, &last, files, &count), 1);
    ASSERT_EQ(count, 5);
    EXPECT_EQ(files[4].values[0], 36);
    // The end time bounds the list.
    const QN_NET_SEARCH_FILE early = Span({2026, 12, 10, 0, 0, 0}, {2026, 12, 10, 0, 2, 30});
    ASSERT_EQ(QN_NET_SearchRemoteFile(kCamera, &early, files, &count), 1);
    EXPECT_EQ(count, 2);
}

TEST_F(CamsimService, CloudCredentialsComeFromTheStoreFile)
{
    testing_support::TempFolder folder;
    const std::string store = folder.Path() + "/store.txt";
    const std::string token(1234, 'T');
    {
        std::ofstream out(store);
        out << "endpoint=http://127.0.0.1:4567\nregion=us-east-1\nbucket=camera-bucket\nprefix=1001\n"
            << "access_key=AKIAEXAMPLEKEY000001\nsecret_key=example-secret\ntoken=" << token << "x\n";
    }
    SignIn("--cloud-store " + store);
    QN_NET_CLOUD_SIGN sign{};
    ASSERT_EQ(QN_NET_Clond_Storage_GetServerSign(kCamera, 1, &sign), 1);
    EXPECT_EQ(std::string(sign.host), "http://127.0.0.1:4567");
    EXPECT_EQ(std::string(sign.region), "us-east-1");
    EXPECT_EQ(std::string(sign.service), "s3");
    EXPECT_EQ(std::string(sign.object_path), "camera-bucket/1001");
    EXPECT_EQ(std::string(sign.access_key_id), "AKIAEXAMPLEKEY000001");
    EXPECT_EQ(std::string(sign.secret_key), "example-secret");
    EXPECT_EQ(std::string(sign.session_token), token + "x");
    EXPECT_LE(sign.effective_start, sign.effective_end);
    EXPECT_LT(sign.effective_end, sign.credential_lose_time);
}

} // namespace
