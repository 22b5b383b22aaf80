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
#include "vqSDK/VlrNetSDK/mgr_messages.h"
#include "vqSDK/VlrNetSDK/msg_header.h"
#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_session.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace qn_net {
namespace {

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

using m = mgr_msg;

void Complete(base_conn& conn, uint32_t camera, int32_t result, pending_kind kind,
              const std::vector<uint8_t>& data = {})
{
    conn.pending().complete(static_cast<int32_t>(camera), result, kind_value(kind),
                            data.empty() ? nullptr : data.data(), static_cast<int32_t>(data.size()));
}

// The waiting request of `reply`'s row, keyed by the message it answers
// rather than by a camera.
void CompleteKeyed(base_conn& conn, mgr_msg reply, const std::vector<uint8_t>& data = {}, int32_t result = 1)
{
    const mgr_message& row = *mgr_row_answered_by(reply);
    Complete(conn, wire_id(row.id), result, row.kind, data);
}

bool HasRowTotal(mgr_msg answer, const reply& r) { return r.total == mgr_row_answered_by(answer)->reply_total; }

constexpr uint32_t kCameraCommandTotal = 256;
constexpr uint32_t kErrorStatusTotal = 152;
constexpr uint32_t kConfigTotalMax = 256;

// A reply that hands its row's slice of the body, with its result.
void CompleteFromRow(base_conn& conn, const mgr_message& row, const reply& r)
{
    if (row.reply_total != 0 && row.reply_total != r.total) return;
    const int32_t result = row.result_at < 0 ? 1 : static_cast<int32_t>(r.u32(static_cast<std::size_t>(row.result_at)));
    Complete(conn, r.u32(0), result, row.kind,
             row.data_length == 0 ? std::vector<uint8_t>{} : Slice(r, row.data_at, row.data_length));
}

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
    Complete(conn, r.u32(0), 1, mgr_row(m::get_config).kind, data);
}

void CloudSignPart(base_conn& conn, const reply& r, mgr_msg part, const uint8_t* inner)
{
    const session_ref current = session();
    std::lock_guard<std::mutex> lock(current->sign_mutex);
    auto* sign = reinterpret_cast<uint8_t*>(&current->sign);
    if (part == m::cloud_sign_head) {
        std::memcpy(sign, inner, 12);
        std::memcpy(sign + 12, inner + 24, 160);
        std::memcpy(sign + 2220, inner + 12, 12);
        return;
    }
    if (part == m::cloud_sign_token) {
        uint32_t entry = ReadU32(inner + 12);
        if (entry >= kTokenPieces) return;  // outside the token area: refused
        std::memcpy(sign + 172 + entry * kTokenPiece, inner + 20, kTokenPiece);
        return;
    }
    std::memcpy(sign + 2232, inner + 12, 112);
    std::vector<uint8_t> whole(sizeof current->sign);
    std::memcpy(whole.data(), sign, sizeof current->sign);
    Complete(conn, r.u32(0), 1, mgr_row(m::cloud_get_sign).kind, whole);
}

void CameraReply(base_conn& conn, const reply& r)
{
    if (r.total != kCameraCommandTotal) return;
    const auto sub = static_cast<mgr_msg>(r.u32(12));
    const uint8_t* inner = r.body + kInnerOffset;  // 220 bytes: the total was checked
    const mgr_msg carrier = r.id == wire_id(m::camera_answer) ? m::camera_command : m::cloud_command;
    if (carrier == m::camera_command && sub == m::camera_notice) {
        RaiseEvent(const_cast<uint8_t*>(inner), QN_NET_EVENT_NOTICE_20374, 0, 204);
        return;
    }
    if (carrier == m::cloud_command &&
        (sub == m::cloud_sign_head || sub == m::cloud_sign_token || sub == m::cloud_sign_tail)) {
        CloudSignPart(conn, r, sub, inner);
        return;
    }
    if (const mgr_message* row = mgr_row_answered_by(sub, carrier)) {
        Complete(conn, r.u32(0), 1, row->kind, Slice(r, kInnerOffset + row->data_at, row->data_length));
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
    const pending_kind kind = mgr_row(m::online_query).kind;
    uint8_t record[8];
    WriteU32(record, last_login().login_number);
    WriteU32(record + 4, camera);
    const uint32_t entries = r.u32(8);
    if (entries > 0 && r.has(12, 12)) {
        global_set().connection_value.store(static_cast<int32_t>(r.u32(12)));
        Complete(conn, camera, 1, kind);
        RaiseEvent(record, QN_NET_EVENT_CAMERA_ONLINE, static_cast<int32_t>(camera), 8);
    } else if (entries == 0) {
        Complete(conn, camera, 0, kind);
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
    // The requests a refusal may name; the server names a guard query by
    // its answer's id.
    struct refusable {
        mgr_msg named;
        mgr_msg request;
    };
    constexpr refusable kRefusable[] = {{m::set_config, m::set_config},       {m::get_config, m::get_config},
                                        {m::get_fw_params, m::get_fw_params}, {m::set_ap_password, m::set_ap_password},
                                        {m::set_guard, m::set_guard},         {m::guard, m::get_guard}};
    for (const refusable& row : kRefusable) {
        if (wire_id(row.named) == r.u32(8)) {
            conn.pending().fail_all(static_cast<int32_t>(r.u32(0)), 0, kind_value(mgr_row(row.request).kind));
        }
    }
}

void RemoteFiles(base_conn& conn, const reply& r)
{
    const pending_kind kind = mgr_row(m::search_remote_file).kind;
    const uint32_t count = r.u32(16);
    if (r.total == 2664 && count <= 16) {
        Complete(conn, r.u32(0), static_cast<int32_t>(count), kind, Slice(r, 20, count * kRemoteFileEntry));
    } else if (r.total == 2536 && count <= 208) {
        Complete(conn, r.u32(0), static_cast<int32_t>(count), kind, Slice(r, 20, count * kCompactFileEntry));
    }
}

void PicturePart(base_conn& conn, const reply& r)
{
    const pending_kind kind = mgr_row(m::get_alarm_pic).kind;
    const int32_t status = static_cast<int32_t>(r.u32(24));
    if (status == 0 || status == -1) {
        Trace("%s", status == 0 ? "no pic" : "no tf card");
        conn.picture().set_idle();
        Complete(conn, r.u32(0), status == 0 ? 0 : 2, kind);
        return;
    }
    // The first block (index 0) tells the waiting request that the picture
    // comes. The download takes it first, so that a request made as soon
    // as the waiter wakes finds the download running and does not restart it.
    conn.picture().take_block(r.body, r.length);
    if (r.has(20, 2) && ReadU16(r.body + 20) == 0) Complete(conn, r.u32(0), 1, kind);
}

void UpgradeState(const reply& r)
{
    if (r.total != 48 || r.u32(12) != 16) return;
    uint8_t record[16];
    WriteU32(record, r.u32(0));
    WriteU32(record + 4, 1000);
    WriteU32(record + 8, r.u32(20));
    WriteU32(record + 12, 0);
    RaiseEvent(record, QN_NET_EVENT_UPGRADE_STATE, 0, 16);
}

} // namespace

void handle_mgr_reply(base_conn& conn, const uint8_t* frame, std::size_t length)
{
    if (length < kHeaderSize) return;
    const FrameHeader header = ReadHeader(frame);
    const reply r{header.msgId, header.total, frame + kHeaderSize, length - kHeaderSize};
    // Any message shows the peer is alive.
    conn.live_count.store(0);

    const auto id = static_cast<mgr_msg>(r.id);
    switch (id) {
    case m::sign_in:
        // Body 0 is the server's status: anything but 0 refuses the sign-in.
        if (HasRowTotal(id, r)) CompleteKeyed(conn, id, {}, r.u32(0) == 0 ? 1 : 0);
        return;
    case m::video_address_answer:
        if (!HasRowTotal(id, r)) return;
        conn.set_address_area(r.body, 40);
        CompleteKeyed(conn, id);
        return;
    case m::local_address_answer: {
        if (!HasRowTotal(id, r)) return;
        {
            const session_ref current = session();
            std::lock_guard<std::mutex> lock(current->local_mutex);
            current->local = local_camera_address{r.u32(24), r.u32(28)};
        }
        TraceShort("local ip address receive success");
        CompleteKeyed(conn, id);
        return;
    }
    case m::remote_files:
        RemoteFiles(conn, r);
        return;
    case m::tf_info: {
        // The card state is of any length: hand over what the body holds of
        // it, so that a cut state reaches the caller as short, not as zeros.
        std::vector<uint8_t> data(kCardState, 0);
        if (r.u32(8) != 0) data = Slice(r, 8, std::min(kCardState, r.length - std::min<std::size_t>(8, r.length)));
        Complete(conn, r.u32(0), 1, mgr_row(m::get_tf_info).kind, data);
        return;
    }
    case m::config:
        if (r.total <= kConfigTotalMax) ConfigRecord(conn, r);
        return;
    case m::ap_password: {
        const mgr_message& row = *mgr_row_answered_by(id);
        if (r.total != row.reply_total) return;
        std::vector<uint8_t> data = Slice(r, row.data_at, row.data_length);
        WriteU32(data.data(), 0);
        Complete(conn, r.u32(0), 1, row.kind, data);
        return;
    }
    case m::camera_answer:
    case m::cloud_answer:
        CameraReply(conn, r);
        return;
    case m::online_query:
        OnlineState(conn, r);
        return;
    case m::camera_offline:
    case m::camera_online:
        if (r.total == 28) {
            RaiseEvent(const_cast<uint8_t*>(r.body), static_cast<int32_t>(r.id), static_cast<int32_t>(r.u32(4)), 8);
        }
        return;
    case m::pushed_message:
        RaiseEvent(const_cast<uint8_t*>(r.body), QN_NET_EVENT_PUSHED_MESSAGE, static_cast<int32_t>(r.u32(0)),
                   static_cast<int32_t>(r.length));
        return;
    case m::upgrade_progress:
        if (r.total == 52) UpgradeProgress(conn, r);
        return;
    case m::upgrade_state:
        UpgradeState(r);
        return;
    case m::notice:
        if (r.total != 64) return;
        conn.send(mgr_request::acknowledge(r.u32(4)));
        RaiseEvent(const_cast<uint8_t*>(r.body), QN_NET_EVENT_NOTICE_20320, static_cast<int32_t>(r.u32(12)), 44);
        return;
    case m::alarm_pic_block:
        PicturePart(conn, r);
        return;
    case m::refusal:
        if (r.total == 36) Refusal(conn, r);
        return;
    default:
        if (const mgr_message* row = mgr_row_answered_by(id)) CompleteFromRow(conn, *row, r);
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
    const session_ref current = session();
    std::lock_guard<std::mutex> lock(current->sign_mutex);
    return current->sign;
}

void clear_cloud_sign_token()
{
    const session_ref current = session();
    std::lock_guard<std::mutex> lock(current->sign_mutex);
    std::memset(current->sign.session_token, 0, sizeof current->sign.session_token);
}

local_camera_address last_local_camera_address()
{
    const session_ref current = session();
    std::lock_guard<std::mutex> lock(current->local_mutex);
    return current->local;
}

} // namespace qn_net
