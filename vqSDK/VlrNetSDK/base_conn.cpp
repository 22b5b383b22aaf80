#include "vqSDK/VlrNetSDK/base_conn.h"

#include <algorithm>
#include <cstring>

#include "Depend/qn_log.h"
#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/mgr_messages.h"
#include "vqSDK/VlrNetSDK/msg_header.h"
#include "vqSDK/VlrNetSDK/net_utils.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"

namespace qn_net {
namespace {

constexpr int kMgrTries = 2;
constexpr int kConnectSeconds = 2;
constexpr int kConnectTenths = 5;

bool SentWhole(int result, const encoded_request& request)
{
    return result == static_cast<int>(request.body.size() + kHeaderSize);
}

} // namespace

bool connection_guard(int32_t camera)
{
    if (!IsInitialised()) {
        QNConsoleTrace("use QN_NET_Init first\n");
        SetLastError(QN_NET_ERR_NOT_INIT);
        return false;
    }
    const conn_state state = connection_state().load();
    if (state == conn_state::mgr_online && camera < 0) {
        QNConsoleTrace("illegal param\n");
        SetLastError(QN_NET_ERR_ILLEGAL_PARAM);
        return false;
    }
    if (state == conn_state::mgr_online || state == conn_state::local_online) return true;
    QNConsoleTrace("base_connect no link\n");
    SetLastError(QN_NET_ERR_NO_LINK);
    return false;
}

base_conn::~base_conn() { close_socket(); }

int base_conn::send_raw(const encoded_request& request)
{
    std::lock_guard<std::mutex> lock(sendMutex_);
    const int socket = socket_.load();
    if (socket < 0) return -1;
    return utils::instance().send_msg_tcp(socket, request.msg_id, request.body.data(), request.body.size());
}

bool base_conn::send(const encoded_request& request, pending_request* record)
{
    if (request.kind >= 0 && record != nullptr) pending_.add(request.key_camera, request.kind, record);
    // A connection aborted by the peer is a failed send, not a sent request.
    return SentWhole(send_raw(request), request);
}

bool base_conn::send_twice(const encoded_request& request, pending_request* record)
{
    if (record != nullptr) pending_.add(request.key_camera, kind_value(mgr_row(mgr_msg::online_query).kind), record);
    std::lock_guard<std::mutex> lock(sendMutex_);
    const int socket = socket_.load();
    if (socket < 0) return false;
    bool sent = false;
    for (int i = 0; i < 2; ++i) {
        int result = utils::instance().send_msg_tcp(socket, request.msg_id, request.body.data(), request.body.size());
        sent = SentWhole(result, request) || sent;
    }
    return sent;
}

void base_conn::peer_closed()
{
    peer_gone.store(true);
    pending_.connection_closed();
}

int base_conn::attach(const handler_record& handlers) { return receiver_.set_handler(handlers, socket()); }

void base_conn::set_address_area(const uint8_t* bytes, std::size_t length)
{
    std::lock_guard<std::mutex> lock(dataMutex_);
    address_.fill(0);
    std::memcpy(address_.data(), bytes, std::min(length, address_.size()));
}

std::array<uint8_t, base_conn::kAddressArea> base_conn::address_area() const
{
    std::lock_guard<std::mutex> lock(dataMutex_);
    return address_;
}

void base_conn::set_playback(const playback_record& record, int32_t value)
{
    std::lock_guard<std::mutex> lock(dataMutex_);
    playback_ = record;
    playbackValue_ = value;
}

playback_record base_conn::playback() const
{
    std::lock_guard<std::mutex> lock(dataMutex_);
    return playback_;
}

int32_t base_conn::playback_value() const
{
    std::lock_guard<std::mutex> lock(dataMutex_);
    return playbackValue_;
}

bool base_conn::open_socket(const std::string& address, uint16_t port, int tries, int seconds, int tenths, int variant)
{
    if (is_open()) return false;  // its socket must be closed first, never lost
    int socket = -1;
    for (int i = 0; i < tries && socket < 0; ++i) {
        socket = utils::instance().connect_with_timeout(address.c_str(), port, seconds, tenths);
    }
    if (socket < 0) return false;
    if (receiver_.add_socket(socket, process_recv::kStream, variant) != 0) {
        platform::CloseSocket(socket);
        SetLastError(QN_NET_ERR_SOCKET);
        return false;
    }
    pending_.reopen();
    peer_gone.store(false);
    socket_.store(socket);
    return true;
}

int base_conn::close_socket()
{
    int socket = -1;
    {
        // Senders read the number under the send lock: once it is taken away
        // here none still holds it, so a new socket that gets the number never
        // carries a frame meant for this one. The receive lock is not taken
        // under the send lock (reply handlers send while holding it).
        std::lock_guard<std::mutex> lock(sendMutex_);
        socket = socket_.exchange(-1);
    }
    if (socket >= 0) receiver_.remove_socket(socket);
    pending_.abandon_all();
    // A picture half downloaded on this socket never completes on the next.
    picture_.reset();
    picture_.set_idle();
    return socket;
}

mgr_conn::mgr_conn(process_recv& receiver) : base_conn(receiver) { exit_.Create(true, false, "mgrExit"); }

mgr_conn::~mgr_conn()
{
    pending().abandon_all();
    exit_.Close();
}

bool mgr_conn::connect()
{
    if (connected_.load() != kClosed) return false;
    login_values login = last_login();
    if (!open_socket(platform::IPv4ToText(login.mgr_ipv4), login.mgr_port, kMgrTries, kConnectSeconds,
                     kConnectTenths, 1)) {
        return false;
    }
    connected_.store(kConnected);
    return true;
}

void mgr_conn::mark_signed_in()
{
    int32_t expected = kConnected;
    connected_.compare_exchange_strong(expected, kSignedIn);
}

void mgr_conn::mgr_delete()
{
    connected_.store(kClosed);
    live_count.store(0);
    int closed = close_socket();
    QNLogPrint("%s(%d) base_tcp:%d\n", "mgr_conn::mgr_delete", 70, closed < 0 ? 0 : closed);
}

local_conn::local_conn(process_recv& receiver) : base_conn(receiver) { exit_.Create(true, false, "localExit"); }

local_conn::~local_conn()
{
    pending().abandon_all();
    exit_.Close();
}

void local_conn::set_peer(uint32_t ipv4, uint16_t port)
{
    peerIPv4_.store(ipv4);
    peerPort_.store(port);
}

bool local_conn::connect(int seconds, int tenths)
{
    return open_socket(platform::IPv4ToText(peerIPv4_.load()), peerPort_.load(), 1, seconds, tenths, 0);
}

void local_conn::local_delete()
{
    QNLogPrint("%s(%d) livecount:%d\n", "local_conn::local_delete", 65, live_count.load());
    live_count.store(0);
    close_socket();
}

} // namespace qn_net
