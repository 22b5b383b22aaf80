#include "vqSDK/VlrNetSDK/mgr_replies.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "Depend/qn_log.h"
#include "vqSDK/VlrNetSDK/base_conn.h"
#include "vqSDK/VlrNetSDK/camera_command.h"
#include "vqSDK/VlrNetSDK/md5_text.h"
#include "vqSDK/VlrNetSDK/msg_header.h"
#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace qn_net {
namespace {

std::mutex g_signMutex;
QN_NET_CLOUD_SIGN g_sign{};
std::mutex g_localMutex;
local_camera_address g_local;

constexpr std::size_t kRemoteFileEntry = 164;
constexpr std::size_t kCompactFileEntry = 12;
constexpr std::size_t kTokenPiece = 200;
constexpr std::size_t kTokenPieces = 10;
constexpr std::size_t kInnerOffset = 16;  // camera-command replies: the payload starts here
constexpr std::size_t kCardState = 28;

// One received frame: its id, total and body, with bounded reads.
struct reply {
    uint32_t id;
    uint32_t total;
    const uint8_t* body;
    std::size_t length;

    uint32_t u32(std::size_t offset) const { return offset + 4 <= length ? ReadU32(body + offset) : 0; }
    bool has(std::size_t offset, std::size_t count) const { return offset <= length && count <= length - offset; }
};

// Copies what the reply holds of [offset, offset + count) into a zeroed
// buffer of `count` bytes: never past the reply nor past the record.
std::vector<uint8_t> Slice(const reply& r, std::size_t offset, std::size_t count)
{
    std::vector<uint8_t> out(count, 0);
    // A section declared empty leaves `out` without storage: nothing to copy.
    const std::size_t held = offset < r.length ? std::min(count, r.length - offset) : 0;
    if (held > 0) std::memcpy(out.data(), r.body + offset, held);
    return out;
}

void Complete(base_conn& conn, uint32_t camera, int32_t result, int32_t kind, const std::vector<uint8_t>& data = {})
{
    conn.pending().complete(static_cast<int32_t>(camera), result, kind, data.empty() ? nullptr : data.data(),
                            static_cast<int32_t>(data.size()));
}

// Rows that complete a request with a slice of the body.
struct completion_row {
    uint32_t id;
    uint32_t total;  // exact total; 0: any
    int32_t kind;
    int resultAt;    // body offset of the result, -1: the result is 1
    std::size_t dataAt;
    std::size_t dataLength;  // 0: no data
};

constexpr completion_row kCompletions[] = {
    {20251, 96, 16, -1, 8, 68},  {20276, 44, 5, 12, 0, 0},   {20283, 36, 2, 8, 0, 16},
    {20306, 60, 4, 24, 24, 16},  {20325, 44, 10, -1, 8, 16}, {20327, 136, 11, -1, 0, 116},
    {20339, 36, 13, 8, 0, 0},    {20340, 32, 14, 8, 0, 0},   {20341, 32, 15, 8, 0, 0},
    {20345, 52, 17, -1, 8, 24},  {20347, 40, 18, -1, 0, 20}, {20349, 32, 20, -1, 0, 12},
    {20358, 36, 33, -1, 0, 16},
};

struct command_row {
    uint32_t sub;
    int32_t kind;
    std::size_t innerAt;
    std::size_t innerLength;
};

constexpr command_row kCameraReplies[] = {
    {20372, 22, 8, 156}, {20377, 31, 0, 152}, {20380, 32, 0, 84},  {20383, 30, 0, 100},
    {20392, 35, 0, 12},  {93002, 27, 0, 220}, {93004, 29, 0, 216}, {94003, 34, 0, 16},
};

constexpr uint32_t kCameraCommandTotal = 256;
constexpr uint32_t kErrorStatusTotal = 152;

void ConfigRecord(base_conn& conn, const reply& r)
{
    QN_NET_CONFIG config{};
    std::vector<uint8_t> pairs = Slice(r, 8, 28);
    std::memcpy(&config.sections, pairs.data(), 28);
    struct place {
        uint16_t type;
        uint8_t* at;
        std::size_t size;
        std::size_t bodyAt;
    };
    const place places[] = {{1, config.section1, 28, 36},  {3, config.section3, 44, 64},
                            {4, config.section4, 8, 108},  {5, config.section5, 68, 116},
                            {6, config.section6, 16, 184}, {7, config.section7, 12, 200}};
    for (int i = 0; i < 7; ++i) {
        uint16_t type = ReadU16(pairs.data() + 4 * i);
        uint16_t declared = ReadU16(pairs.data() + 4 * i + 2);
        for (const place& p : places) {
            if (p.type != type) continue;
            std::vector<uint8_t> section = Slice(r, p.bodyAt, std::min<std::size_t>(p.size, declared));
            // A section declared with length 0 copies nothing (and has no storage to copy from).
            if (!section.empty()) std::memcpy(p.at, section.data(), section.size());
        }
    }
    QNConsoleTrace("get config xxx:%d\n", static_cast<int>(r.total));
    std::vector<uint8_t> data(sizeof config);
    std::memcpy(data.data(), &config, sizeof config);
    Complete(conn, r.u32(0), 1, 19, data);
}

void CloudSignPart(base_conn& conn, const reply& r, uint32_t sub, const uint8_t* inner)
{
    std::lock_guard<std::mutex> lock(g_signMutex);
    auto* sign = reinterpret_cast<uint8_t*>(&g_sign);
    if (sub == 90002) {
        std::memcpy(sign, inner, 12);
        std::memcpy(sign + 12, inner + 24, 160);
        std::memcpy(sign + 2220, inner + 12, 12);
        return;
    }
    if (sub == 90003) {
        uint32_t entry = ReadU32(inner + 12);
        if (entry >= kTokenPieces) return;  // outside the token area: refused
        std::memcpy(sign + 172 + entry * kTokenPiece, inner + 20, kTokenPiece);
        return;
    }
    std::memcpy(sign + 2232, inner + 12, 112);
    std::vector<uint8_t> whole(sizeof g_sign);
    std::memcpy(whole.data(), sign, sizeof g_sign);
    Complete(conn, r.u32(0), 1, 24, whole);
}

void CameraReply(base_conn& conn, const reply& r)
{
    if (r.total != kCameraCommandTotal) return;
    const uint32_t sub = r.u32(12);
    const uint8_t* inner = r.body + kInnerOffset;  // 220 bytes: the total was checked
    if (r.id == 20401) {
        if (sub == 20374) {
            RaiseEvent(const_cast<uint8_t*>(inner), QN_NET_EVENT_NOTICE_20374, 0, 204);
            return;
        }
        for (const command_row& row : kCameraReplies) {
            if (row.sub == sub) Complete(conn, r.u32(0), 1, row.kind, Slice(r, kInnerOffset + row.innerAt, row.innerLength));
        }
        return;
    }
    if (sub == 90005) {
        Complete(conn, r.u32(0), 1, 26, Slice(r, kInnerOffset, 220));
    } else if (sub == 90002 || sub == 90003 || sub == 90006) {
        CloudSignPart(conn, r, sub, inner);
    }
}

void OnlineState(base_conn& conn, const reply& r)
{
    if (r.total == kErrorStatusTotal) {
        const std::string text = TraceText(field_text(r.body + 4, r.length - std::min<std::size_t>(4, r.length)));
        Trace("msg_status errno[%d]   %s", static_cast<int>(r.u32(0)), text.c_str());
        return;
    }
    if (!r.has(0, 12)) return;
    const uint32_t camera = r.u32(4);
    uint8_t record[8];
    WriteU32(record, last_login().login_number);
    WriteU32(record + 4, camera);
    const uint32_t entries = r.u32(8);
    if (entries > 0 && r.has(12, 12)) {
        global_set().connection_value.store(static_cast<int32_t>(r.u32(12)));
        Complete(conn, camera, 1, 1);
        RaiseEvent(record, QN_NET_EVENT_CAMERA_ONLINE, static_cast<int32_t>(camera), 8);
    } else if (entries == 0) {
        Complete(conn, camera, 0, 1);
        RaiseEvent(record, QN_NET_EVENT_CAMERA_OFFLINE, static_cast<int32_t>(camera), 8);
    }
}

void UpgradeProgress(base_conn& conn, const reply& r)
{
    const uint32_t camera = r.u32(0);
    const uint32_t stage = r.u32(24);
    if (stage == 0) {
        conn.send(mgr_request::upgrade(current_request_values(), 1, static_cast<int32_t>(camera), nullptr));
        RaiseEvent(const_cast<uint8_t*>(r.body), QN_NET_EVENT_UPGRADE_PROGRESS, 0, 32);
        return;
    }
    if (stage != 4 && stage != 8) return;
    conn.send(mgr_request::upgrade_notice(r.body));
    uint8_t record[16];
    WriteU32(record, camera);
    WriteU32(record + 4, stage == 4 ? 1001 : 1002);
    WriteU32(record + 8, 0);
    WriteU32(record + 12, r.u32(28));
    RaiseEvent(record, QN_NET_EVENT_UPGRADE_STATE, 0, 16);
    Trace("%s", stage == 4 ? "update failed" : "update success");
}

void Refusal(base_conn& conn, const reply& r)
{
    struct refused {
        uint32_t request;
        int32_t kind;
    };
    constexpr refused kRefusals[] = {{20348, 20}, {20352, 19}, {20357, 33}, {20368, 21}, {20370, 23}, {20372, 22}};
    for (const refused& row : kRefusals) {
        if (row.request == r.u32(8)) conn.pending().fail_all(static_cast<int32_t>(r.u32(0)), 0, row.kind);
    }
}

} // namespace

void handle_mgr_reply(base_conn& conn, const uint8_t* frame, std::size_t length)
{
    if (length < kHeaderSize) return;
    const FrameHeader header = ReadHeader(frame);
    const reply r{header.msgId, header.total, frame + kHeaderSize, length - kHeaderSize};
    // Any message shows the peer is alive.
    conn.live_count.store(0);

    for (const completion_row& row : kCompletions) {
        if (row.id != r.id) continue;
        if (row.total != 0 && row.total != r.total) return;
        int32_t result = row.resultAt < 0 ? 1 : static_cast<int32_t>(r.u32(static_cast<std::size_t>(row.resultAt)));
        Complete(conn, r.u32(0), result, row.kind,
                 row.dataLength == 0 ? std::vector<uint8_t>{} : Slice(r, row.dataAt, row.dataLength));
        return;
    }
    switch (r.id) {
    case 20200:
        // Body 0 is the server's status: anything but 0 refuses the sign-in.
        if (r.total == 152) Complete(conn, 20200, r.u32(0) == 0 ? 1 : 0, 0);
        return;
    case 20204:
        if (r.total != 60) return;
        conn.set_address_area(r.body, 40);
        Complete(conn, 20203, 1, 7);
        return;
    case 20227: {
        const uint32_t count = r.u32(16);
        if (r.total == 2664 && count <= 16) {
            Complete(conn, r.u32(0), static_cast<int32_t>(count), 3, Slice(r, 20, count * kRemoteFileEntry));
        } else if (r.total == 2536 && count <= 208) {
            Complete(conn, r.u32(0), static_cast<int32_t>(count), 3, Slice(r, 20, count * kCompactFileEntry));
        }
        return;
    }
    case 20312: {
        if (r.total != 76) return;
        {
            std::lock_guard<std::mutex> lock(g_localMutex);
            g_local = local_camera_address{r.u32(24), r.u32(28)};
        }
        TraceShort("local ip address receive success");
        Complete(conn, 20311, 1, 8);
        return;
    }
    case 20331: {
        // The card state is of any length: hand over what the body holds of
        // it, so that a cut state reaches the caller as short, not as zeros.
        std::vector<uint8_t> data(kCardState, 0);
        if (r.u32(8) != 0) data = Slice(r, 8, std::min(kCardState, r.length - std::min<std::size_t>(8, r.length)));
        Complete(conn, r.u32(0), 1, 12, data);
        return;
    }
    case 20353:
        if (r.total <= 256) ConfigRecord(conn, r);
        return;
    case 20369: {
        if (r.total != 92) return;
        std::vector<uint8_t> data = Slice(r, 0, 72);
        WriteU32(data.data(), 0);
        Complete(conn, r.u32(0), 1, 21, data);
        return;
    }
    case 20401:
    case 20403:
        CameraReply(conn, r);
        return;
    case 20202:
        OnlineState(conn, r);
        return;
    case 20206:
    case 20207:
        if (r.total == 28) RaiseEvent(const_cast<uint8_t*>(r.body), static_cast<int32_t>(r.id), static_cast<int32_t>(r.u32(4)), 8);
        return;
    case 20240:
        RaiseEvent(const_cast<uint8_t*>(r.body), QN_NET_EVENT_PUSHED_MESSAGE, static_cast<int32_t>(r.u32(0)),
                   static_cast<int32_t>(r.length));
        return;
    case 20313:
        if (r.total == 52) UpgradeProgress(conn, r);
        return;
    case 20316:
        if (r.total == 48 && r.u32(12) == 16) {
            uint8_t record[16];
            WriteU32(record, r.u32(0));
            WriteU32(record + 4, 1000);
            WriteU32(record + 8, r.u32(20));
            WriteU32(record + 12, 0);
            RaiseEvent(record, QN_NET_EVENT_UPGRADE_STATE, 0, 16);
        }
        return;
    case 20320:
        if (r.total != 64) return;
        conn.send(mgr_request::acknowledge(r.u32(4)));
        RaiseEvent(const_cast<uint8_t*>(r.body), QN_NET_EVENT_NOTICE_20320, static_cast<int32_t>(r.u32(12)), 44);
        return;
    case 20323: {
        const int32_t status = static_cast<int32_t>(r.u32(24));
        if (status == 0 || status == -1) {
            Trace("%s", status == 0 ? "no pic" : "no tf card");
            conn.picture().set_idle();
            Complete(conn, r.u32(0), status == 0 ? 0 : 2, 6);
            return;
        }
        // The first block (index 0) tells the waiting request that the picture
        // comes. The download takes it first, so that a request made as soon
        // as the waiter wakes finds the download running and does not restart it.
        conn.picture().take_block(r.body, r.length);
        if (r.has(20, 2) && ReadU16(r.body + 20) == 0) Complete(conn, r.u32(0), 1, 6);
        return;
    }
    case 20351:
        if (r.total == 36) Refusal(conn, r);
        return;
    default:
        return;
    }
}

int mgr_reply_handler(const char* frame, int length, int, void* user)
{
    if (user == nullptr || frame == nullptr || length < 0) return 0;
    handle_mgr_reply(*static_cast<base_conn*>(user), reinterpret_cast<const uint8_t*>(frame),
                     static_cast<std::size_t>(length));
    return 0;
}

QN_NET_CLOUD_SIGN current_cloud_sign()
{
    std::lock_guard<std::mutex> lock(g_signMutex);
    return g_sign;
}

void clear_cloud_sign_token()
{
    std::lock_guard<std::mutex> lock(g_signMutex);
    std::memset(g_sign.session_token, 0, sizeof g_sign.session_token);
}

local_camera_address last_local_camera_address()
{
    std::lock_guard<std::mutex> lock(g_localMutex);
    return g_local;
}

} // namespace qn_net
