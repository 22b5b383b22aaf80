#include <memory>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/net_socket.h"
#include "support/wait_until.h"
#include "vqSDK/VlrNetSDK/base_conn.h"
#include "vqSDK/VlrNetSDK/frame_scanner.h"
#include "vqSDK/VlrNetSDK/mgr_replies.h"
#include "vqSDK/VlrNetSDK/msg_header.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_session.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace {

using namespace qn_net;

constexpr uint32_t kCamera = 7;

std::vector<std::string> g_traces;
void KeepTrace(const char* text) { g_traces.emplace_back(text); }

// A reply frame of `total` bytes whose body byte i is i & 0xFF, camera first.
std::vector<uint8_t> Reply(uint32_t id, uint32_t total)
{
    std::vector<uint8_t> frame(total, 0);
    WriteHeader(frame.data(), id, total - 20);
    for (std::size_t i = 20; i < total; ++i) frame[i] = static_cast<uint8_t>((i - 20) & 0xFF);
    WriteU32(frame.data() + 20, kCamera);
    return frame;
}

void Put(std::vector<uint8_t>& frame, std::size_t bodyOffset, uint32_t value) { WriteU32(frame.data() + 20 + bodyOffset, value); }

struct Events {
    struct event {
        int32_t code, value1, value2;
        std::vector<uint8_t> record;
    };
    std::vector<event> seen;
    static void On(void* record, int32_t code, int32_t v1, int32_t v2, void* user)
    {
        auto* self = static_cast<Events*>(user);
        std::vector<uint8_t> bytes;
        if (record != nullptr && v2 > 0 && v2 <= 4096) {
            bytes.assign(static_cast<uint8_t*>(record), static_cast<uint8_t*>(record) + v2);
        }
        self->seen.push_back({code, v1, v2, bytes});
    }
};

class NetSdkMgrReplies : public ::testing::Test {
protected:
    void SetUp() override
    {
        QN_NET_SetMsgCallBack(&Events::On, nullptr, &events_);
        ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
        listener_ = platform::ListenLoopback(platform::NetFamily::IPv4, 0, 1);
        login_values login;
        platform::TextToIPv4("127.0.0.1", &login.mgr_ipv4);
        login.mgr_port = platform::LocalPort(listener_);
        login.login_number = 0x4C4C4C4C;
        store_login_values(login);
        mgr_ = std::make_unique<mgr_conn>(session()->receiver);
        ASSERT_TRUE(mgr_->connect());
        std::vector<platform::PollItem> items(1);
        items[0].socket = listener_;
        ASSERT_EQ(platform::PollReadable(items, testing_support::kEventBoundMs), 1);
        peer_ = platform::AcceptConnection(listener_);
    }
    void TearDown() override
    {
        if (mgr_) mgr_->mgr_delete();
        mgr_.reset();
        platform::CloseSocket(peer_);
        platform::CloseSocket(listener_);
        QN_NET_Cleanup();
        QN_NET_SetMsgCallBack(nullptr, nullptr, nullptr);
    }
    void Feed(const std::vector<uint8_t>& frame) { handle_mgr_reply(*mgr_, frame.data(), frame.size()); }
    // Registers a waiting request, feeds the frame and tells what it got.
    wait_outcome Ask(uint32_t camera, int32_t kind, const std::vector<uint8_t>& frame, pending_request& record)
    {
        mgr_->pending().add(static_cast<int32_t>(camera), kind, &record);
        Feed(frame);
        return await_reply(mgr_->pending(), record, 0);
    }
    std::vector<std::vector<uint8_t>> PeerFrames(std::size_t count)
    {
        struct collect final : frame_sink {
            void on_frame(const uint8_t* f, std::size_t n) override { frames.emplace_back(f, f + n); }
            std::vector<std::vector<uint8_t>> frames;
        } sink;
        std::vector<uint8_t> held;
        uint8_t piece[4096];
        int64_t deadline = platform::MonotonicMs() + 3000;
        while (sink.frames.size() < count && platform::MonotonicMs() < deadline) {
            std::vector<platform::PollItem> items(1);
            items[0].socket = peer_;
            platform::PollReadable(items, 50);
            long got = platform::ReceiveBytes(peer_, piece, sizeof piece);
            if (got <= 0) continue;
            held.insert(held.end(), piece, piece + got);
            held.erase(held.begin(), held.begin() + static_cast<long>(scan_frames(held.data(), held.size(), sink)));
        }
        return sink.frames;
    }

    Events events_;
    std::unique_ptr<mgr_conn> mgr_;  // made on the session QN_NET_Init begins
    int listener_ = -1;
    int peer_ = -1;
};

TEST_F(NetSdkMgrReplies, RepliesCompleteTheirRequestsWithExactlyTheirBytes)
{
    const struct {
        uint32_t id, total;
        int32_t kind;
        int resultAt;  // -1: result 1
        std::size_t dataAt, dataLength;
    } rows[] = {
        {20251, 96, 16, -1, 8, 68}, {20276, 44, 5, 12, 0, 0},   {20283, 36, 2, 8, 0, 16},  {20306, 60, 4, 24, 24, 16},
        {20325, 44, 10, -1, 8, 16}, {20327, 136, 11, -1, 0, 116}, {20339, 36, 13, 8, 0, 0}, {20340, 32, 14, 8, 0, 0},
        {20341, 32, 15, 8, 0, 0},   {20345, 52, 17, -1, 8, 24}, {20347, 40, 18, -1, 0, 20}, {20349, 32, 20, -1, 0, 12},
        {20358, 36, 33, -1, 0, 16},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        std::vector<uint8_t> frame = Reply(row.id, row.total);
        pending_request record("row");
        ASSERT_EQ(Ask(kCamera, row.kind, frame, record), row.dataLength ? wait_outcome::replied : wait_outcome::no_data);
        int32_t want = row.resultAt < 0 ? 1 : static_cast<int32_t>(ReadU32(frame.data() + 20 + row.resultAt));
        EXPECT_EQ(record.result, want);
        if (row.dataLength != 0) {
            ASSERT_EQ(record.length, static_cast<int32_t>(row.dataLength));
            EXPECT_EQ(0, std::memcmp(record.data.get(), frame.data() + 20 + row.dataAt, row.dataLength));
        }
        // A frame of another length is dropped: the waiter would time out.
        pending_request other("row");
        EXPECT_EQ(Ask(kCamera, row.kind, Reply(row.id, row.total + 4), other), wait_outcome::timed_out);
    }
}

TEST_F(NetSdkMgrReplies, FileListsWithTooManyEntriesAreRefused)
{
    std::vector<uint8_t> full = Reply(20227, 2664);
    Put(full, 16, 17);
    pending_request refused("remotefile");
    EXPECT_EQ(Ask(kCamera, 3, full, refused), wait_outcome::timed_out);
    Put(full, 16, 2);
    pending_request two("remotefile");
    ASSERT_EQ(Ask(kCamera, 3, full, two), wait_outcome::replied);
    EXPECT_EQ(two.result, 2);
    EXPECT_EQ(two.length, 2 * 164);
    std::vector<uint8_t> compact = Reply(20227, 2536);
    Put(compact, 16, 208);
    pending_request many("remotefile");
    ASSERT_EQ(Ask(kCamera, 3, compact, many), wait_outcome::replied);
    EXPECT_EQ(many.length, 208 * 12);
}

TEST_F(NetSdkMgrReplies, TheConfigurationRecordTakesAtMostEachSectionsSize)
{
    std::vector<uint8_t> frame = Reply(20353, 256);
    WriteU16(frame.data() + 20 + 8, 5);     // pair 0: type 5, length 100
    WriteU16(frame.data() + 20 + 10, 100);
    WriteU16(frame.data() + 20 + 12, 2);    // pair 1: type 2 is skipped
    WriteU16(frame.data() + 20 + 14, 8);
    WriteU16(frame.data() + 20 + 16, 7);    // pair 2: type 7, length 4
    WriteU16(frame.data() + 20 + 18, 4);
    for (int i = 3; i < 7; ++i) WriteU32(frame.data() + 20 + 8 + 4 * i, 0);
    pending_request record("getconfigmsg");
    ASSERT_EQ(Ask(kCamera, 19, frame, record), wait_outcome::replied);
    ASSERT_EQ(record.length, 204);
    QN_NET_CONFIG config;
    std::memcpy(&config, record.data.get(), sizeof config);
    EXPECT_EQ(config.sections[0].type, 5);
    EXPECT_EQ(0, std::memcmp(config.section5, frame.data() + 20 + 116, 68));
    EXPECT_EQ(0, std::memcmp(config.section7, frame.data() + 20 + 200, 4));
    EXPECT_EQ(config.section7[4], 0) << "only the declared 4 bytes";
    EXPECT_EQ(config.section1[0], 0) << "absent section";
}

TEST_F(NetSdkMgrReplies, AConfigurationSectionOfLengthZeroCopiesNothing)
{
    std::vector<uint8_t> frame = Reply(20353, 256);
    for (int i = 0; i < 7; ++i) {
        WriteU16(frame.data() + 20 + 8 + 4 * i, static_cast<uint16_t>(i + 1));  // every type, length 0
        WriteU16(frame.data() + 20 + 10 + 4 * i, 0);
    }
    pending_request record("getconfigmsg");
    ASSERT_EQ(Ask(kCamera, 19, frame, record), wait_outcome::replied);
    ASSERT_EQ(record.length, 204);
    // Only the seven pairs arrive; every section stays empty.
    EXPECT_EQ(0, std::memcmp(record.data.get(), frame.data() + 20 + 8, 28));
    EXPECT_EQ(std::vector<uint8_t>(record.data.get() + 28, record.data.get() + 204), std::vector<uint8_t>(176, 0));
}

TEST_F(NetSdkMgrReplies, ServerTextReachesTracesWithItsControlBytesEscaped)
{
    std::vector<uint8_t> error = Reply(20202, 152);
    const char text[] = "bad\r\n2030-01-01 00:00:00  QN_NET_Login success\x1b[2J\\end";
    std::memcpy(error.data() + 24, text, sizeof text);
    g_traces.clear();
    QN_NET_SetDebugCallBack(&KeepTrace);
    Feed(error);
    QN_NET_SetDebugCallBack(nullptr);
    ASSERT_EQ(g_traces.size(), 1u);
    const std::string& line = g_traces[0];
    EXPECT_NE(line.find("msg_status errno[7]   bad\\x0d\\x0a2030-01-01 00:00:00  QN_NET_Login success\\x1b[2J\\x5cend\n"),
              std::string::npos)
        << line;
    EXPECT_EQ(line.find_first_of("\r\x1b"), std::string::npos);
    EXPECT_EQ(line.find('\n'), line.size() - 1);
}

TEST_F(NetSdkMgrReplies, OnlineStatesAndPushedNoticesReachTheEventCallback)
{
    std::vector<uint8_t> error = Reply(20202, 152);
    pending_request never("deviceonline");
    EXPECT_EQ(Ask(9, 1, error, never), wait_outcome::timed_out);

    std::vector<uint8_t> online = Reply(20202, 20 + 24);
    Put(online, 4, 9);
    Put(online, 8, 1);
    Put(online, 12, 57);
    pending_request check("deviceonline");
    ASSERT_EQ(Ask(9, 1, online, check), wait_outcome::no_data);
    EXPECT_EQ(check.result, 1);
    EXPECT_EQ(global_set().connection_value.load(), 57);
    Put(online, 8, 0);
    pending_request offline("deviceonline");
    ASSERT_EQ(Ask(9, 1, online, offline), wait_outcome::no_data);
    EXPECT_EQ(offline.result, 0);

    Feed(Reply(20207, 28));
    Feed(Reply(20240, 100));
    std::vector<uint8_t> notice = Reply(20401, 256);
    Put(notice, 12, 20374);
    Feed(notice);
    ASSERT_EQ(events_.seen.size(), 5u);
    EXPECT_EQ(events_.seen[0].code, QN_NET_EVENT_CAMERA_ONLINE);
    EXPECT_EQ(events_.seen[0].value1, 9);
    EXPECT_EQ(ReadU32(events_.seen[0].record.data()), 0x4C4C4C4Cu) << "L, then the camera";
    EXPECT_EQ(events_.seen[1].code, QN_NET_EVENT_CAMERA_OFFLINE);
    EXPECT_EQ(events_.seen[2].code, 20207);
    EXPECT_EQ(events_.seen[2].value2, 8);
    EXPECT_EQ(events_.seen[3].code, QN_NET_EVENT_PUSHED_MESSAGE);
    EXPECT_EQ(events_.seen[3].value1, static_cast<int32_t>(kCamera));
    EXPECT_EQ(events_.seen[3].value2, 80);
    EXPECT_EQ(events_.seen[4].code, QN_NET_EVENT_NOTICE_20374);
    EXPECT_EQ(events_.seen[4].value2, 204);
}

TEST_F(NetSdkMgrReplies, TheCloudSignIsAssembledInsideItsRecordOnly)
{
    clear_cloud_sign_token();
    auto command = [](uint32_t sub, uint32_t entry) {
        std::vector<uint8_t> frame = Reply(20403, 256);
        Put(frame, 12, sub);
        Put(frame, 16 + 12, entry);
        return frame;
    };
    const std::vector<uint8_t> piece = command(90003, 3);
    const std::vector<uint8_t> head = command(90002, 0);
    const std::vector<uint8_t> endpoint = command(90006, 0);
    Feed(piece);                // a piece before the head: kept
    Feed(head);
    Feed(command(90003, 10));  // outside the ten pieces: refused
    pending_request sign("ClondTime");
    ASSERT_EQ(Ask(kCamera, 24, endpoint, sign), wait_outcome::replied);
    ASSERT_EQ(sign.length, 2344);
    QN_NET_CLOUD_SIGN record;
    std::memcpy(&record, sign.data.get(), sizeof record);
    const std::size_t inner = 20 + 16;
    EXPECT_EQ(0, std::memcmp(record.session_token + 3 * 200, piece.data() + inner + 20, 200));
    EXPECT_EQ(record.session_token[0], 0);
    EXPECT_EQ(0, std::memcmp(record.object_path, head.data() + inner + 24, 64));
    EXPECT_EQ(record.effective_start, ReadU32(head.data() + inner + 12));
    EXPECT_EQ(0, std::memcmp(record.host, endpoint.data() + inner + 12, 64));
}

TEST_F(NetSdkMgrReplies, RefusalsAcknowledgementsAndUpgradeNotices)
{
    std::vector<uint8_t> refusal = Reply(20351, 36);
    Put(refusal, 8, 20352);
    pending_request config("getconfigmsg");
    ASSERT_EQ(Ask(kCamera, 19, refusal, config), wait_outcome::refused);

    std::vector<uint8_t> notice = Reply(20320, 64);
    Put(notice, 4, 4321);
    Feed(notice);
    std::vector<uint8_t> progress = Reply(20313, 52);
    Put(progress, 24, 8);
    Feed(progress);
    auto sent = PeerFrames(2);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(ReadU32(sent[0].data() + 4), 20321u);
    EXPECT_EQ(ReadU32(sent[0].data() + 20), 4321u);
    EXPECT_EQ(ReadU32(sent[0].data() + 24), 1u);
    EXPECT_EQ(ReadU32(sent[1].data() + 4), 20314u);
    EXPECT_EQ(sent[1].size(), 56u);
    ASSERT_EQ(events_.seen.size(), 2u);
    EXPECT_EQ(events_.seen[0].code, QN_NET_EVENT_NOTICE_20320);
    EXPECT_EQ(events_.seen[1].code, QN_NET_EVENT_UPGRADE_STATE);
    EXPECT_EQ(ReadU32(events_.seen[1].record.data() + 4), 1002u);

    mgr_->live_count.store(5);
    Feed(Reply(55555, 24));  // unknown, still a sign of life
    EXPECT_EQ(mgr_->live_count.load(), 0);
}

} // namespace
