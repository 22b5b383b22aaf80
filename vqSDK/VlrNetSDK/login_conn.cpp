#include "vqSDK/VlrNetSDK/login_conn.h"

#include <algorithm>
#include <cstring>

#include "Depend/qn_log.h"
#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/msg_header.h"
#include "vqSDK/VlrNetSDK/net_utils.h"
#include "vqSDK/VlrNetSDK/process_recv.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace qn_net {
namespace {

constexpr int kConnectTries = 2;
constexpr int kConnectSeconds = 2;
constexpr int kConnectTenths = 5;

constexpr uint32_t kSaltRequest = 10030;
constexpr uint32_t kShareSaltRequest = 10047;

struct accepted_answer {
    uint32_t id;
    uint32_t total;  // 0: any length
};

constexpr accepted_answer kAnswers[] = {
    {10001, 176}, {10011, 28}, {10012, 0}, {10013, 0}, {10014, 0}, {10016, 0}, {10019, 92},
    {10020, 0},   {10022, 0},  {10023, 0}, {10024, 24}, {10025, 92}, {10027, 88}, {10028, 86},
    {10029, 0},   {10030, 36}, {10031, 24}, {10032, 0}, {10038, 24}, {10039, 172}, {10041, 84},
    {10042, 96},  {10043, 0},  {10044, 32}, {10045, 0}, {10047, 36}, {10048, 0}, {10049, 260},
};

constexpr std::size_t kDeviceRecord = sizeof(QN_NET_DEVICE_INFO);
constexpr std::size_t kDeviceListHead = 12;
constexpr std::size_t kShareRecord = sizeof(QN_NET_SHARE_INFO);

} // namespace

bool login_conn::accepted_total(uint32_t msgId, uint32_t* total)
{
    for (const auto& answer : kAnswers) {
        if (answer.id == msgId) {
            *total = answer.total;
            return true;
        }
    }
    return false;
}

std::unique_ptr<login_conn> login_conn::open()
{
    std::unique_ptr<login_conn> conn(new login_conn());
    conn->session_ = session();
    conn->answerEvent_.Create(true, false, "hRecEvt");
    conn->saltEvent_.Create(true, false, "getsalt");
    conn->shareSaltEvent_.Create(true, false, "getsharesalt");

    const std::string server = login_server_text();
    const uint16_t port = ports().login.load();
    for (int i = 0; i < kConnectTries && conn->socket_ < 0; ++i) {
        conn->socket_ = utils::instance().connect_with_timeout(server.c_str(), port, kConnectSeconds, kConnectTenths);
    }
    if (conn->socket_ < 0) {
        QNLogPrint("connect login server failed\n");
        SetLastError(QN_NET_ERR_LOGIN_CONNECT);
        return nullptr;
    }
    process_recv& receiver = conn->session_->receiver;
    if (receiver.add_socket(conn->socket_, process_recv::kStream, 0) != 0) {
        platform::CloseSocket(conn->socket_);
        conn->socket_ = -1;
        SetLastError(QN_NET_ERR_SOCKET);
        return nullptr;
    }
    receiver.set_handler(handler_record{&login_conn::on_message, &login_conn::on_disconnect, conn.get()},
                         conn->socket_);
    QNLogPrint(" %s %s(%d)\n", "vqSDK/VlrNetSDK/code/qn_net_sdk", "login_init", __LINE__);
    return conn;
}

login_conn::~login_conn()
{
    // Once removed, the receive thread no longer calls this object.
    if (socket_ >= 0) session_->receiver.remove_socket(socket_);
    answerEvent_.Close();
    saltEvent_.Close();
    shareSaltEvent_.Close();
}

COSEvent& login_conn::event_for(uint32_t msgId)
{
    if (msgId == kSaltRequest) return saltEvent_;
    if (msgId == kShareSaltRequest) return shareSaltEvent_;
    return answerEvent_;
}

bool login_conn::request(uint32_t msgId, const void* body, std::size_t length)
{
    armedId_ = msgId;
    event_for(msgId).Reset();
    expected_.store(msgId);
    int sent = utils::instance().send_msg_tcp(socket_, msgId, body, length);
    if (sent == static_cast<int>(length + kHeaderSize)) return true;
    expected_.store(0);
    return false;
}

login_conn::outcome login_conn::wait(int64_t timeoutMs)
{
    int waited = event_for(armedId_).Wait(timeoutMs);
    // Whatever arrives from now on is not taken in.
    uint32_t armed = armedId_;
    bool stillExpected = expected_.compare_exchange_strong(armed, 0);
    if (waited != 0 || stillExpected) return outcome::timed_out;
    if (!success_) return outcome::error_answer;
    if (malformed_) return outcome::bad_answer;
    return outcome::answered;
}

void login_conn::copy_answer(void* out, std::size_t width, std::size_t from) const
{
    auto* bytes = static_cast<uint8_t*>(out);
    std::memset(bytes, 0, width);
    if (from >= stored_) return;
    std::memcpy(bytes, store_ + from, std::min(width, stored_ - from));
}

int login_conn::on_message(const char* frame, int length, int, void* user)
{
    static_cast<login_conn*>(user)->handle(reinterpret_cast<const uint8_t*>(frame), static_cast<std::size_t>(length));
    return 0;
}

void login_conn::on_disconnect(int, void* user)
{
    auto* conn = static_cast<login_conn*>(user);
    conn->closed_.store(true);
    // A waiting call ends now rather than at its time-out; nothing was taken in.
    uint32_t armed = conn->expected_.load();
    if (armed != 0) conn->event_for(armed).Set();
}

void login_conn::handle(const uint8_t* frame, std::size_t length)
{
    const FrameHeader header = ReadHeader(frame);
    Trace("loginserver  len = %d,msg = %d  ver = %d", static_cast<int>(header.total), static_cast<int>(header.msgId),
          static_cast<int>(header.version));
    uint32_t armed = expected_.load();
    if (armed == 0) return;
    const uint8_t* body = frame + kHeaderSize;
    const std::size_t bodyLength = length - kHeaderSize;

    if (header.total == kErrorAnswerTotal) {
        if (!expected_.compare_exchange_strong(armed, 0)) return;
        SetLastError(static_cast<int32_t>(ReadU32(body)));
        success_ = false;
        event_for(armed).Set();
        return;
    }
    uint32_t accepted = 0;
    if (header.msgId != armed || !accepted_total(header.msgId, &accepted)) return;
    if (accepted != 0 && header.total != accepted) return;
    if (!expected_.compare_exchange_strong(armed, 0)) return;
    std::memset(store_, 0, sizeof store_);
    stored_ = 0;
    result_ = 0;
    malformed_ = !take_in(header.msgId, body, bodyLength);
    success_ = true;
    event_for(header.msgId).Set();
}

void login_conn::keep(const uint8_t* body, std::size_t length, std::size_t count)
{
    stored_ = std::min({count, length, sizeof store_});
    std::memcpy(store_, body, stored_);
}

bool login_conn::take_in(uint32_t msgId, const uint8_t* body, std::size_t length)
{
    switch (msgId) {
    case 10001:
        keep(body, length, length);
        return true;
    case 10011:
    case 10024:
        result_ = ReadU32(body);
        set_last_id(result_);
        return true;
    case 10019:
    case 10025:
        keep(body, length, 72);
        return true;
    case 10020: {
        if (length < kDeviceListHead) return false;
        std::size_t count = ReadU16(body + 6);
        std::size_t needed = kDeviceListHead + count * kDeviceRecord;
        // A page that announces more than it may hold, or more than it
        // carries, is refused rather than passed on with devices missing.
        if (count > QN_NET_DEVICE_PAGE || needed > length) return false;
        keep(body, length, needed);
        return true;
    }
    case 10022:
        keep(body, length, 288);
        return true;
    case 10027:
        result_ = ReadU32(body);
        keep(body + 4, length - 4, 64);
        return true;
    case 10028:
        keep(body, length, 66);
        return true;
    case 10030:
        std::memcpy(salt_, body, sizeof salt_);
        return true;
    case 10047:
        std::memcpy(shareSalt_, body, sizeof shareSalt_);
        return true;
    case 10031:
    case 10038:
        result_ = ReadU32(body);
        return true;
    case 10039:
        keep(body, length, 152);
        return true;
    case 10041:
        keep(body, length, 64);
        return true;
    case 10042:
        result_ = ReadU32(body + 72);
        return true;
    case 10043: {
        if (length < 12) return false;
        std::size_t carried = (length - 12) / kShareRecord;
        std::size_t count = std::min<std::size_t>(ReadU32(body + 8), carried);
        result_ = static_cast<uint32_t>(count);
        keep(body + 12, length - 12, count * kShareRecord);
        return true;
    }
    case 10048: {
        if (length < 8 || ReadU16(body + 6) > QN_NET_DEVICE_PAGE) return false;
        uint64_t announced = uint64_t{ReadU32(body)} * 4 + 524;
        keep(body, length, static_cast<std::size_t>(std::min<uint64_t>(announced, kStoreSize)));
        return true;
    }
    case 10049:
        keep(body, length, kDeviceRecord);
        return true;
    default:
        return true;  // answers that carry nothing the caller needs
    }
}

} // namespace qn_net
