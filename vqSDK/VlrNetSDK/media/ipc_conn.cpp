#include "vqSDK/VlrNetSDK/media/ipc_conn.h"

#include "Depend/qn_log.h"
#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/media/camera_messages.h"
#include "vqSDK/VlrNetSDK/media/media_block.h"
#include "vqSDK/VlrNetSDK/msg_header.h"
#include "vqSDK/VlrNetSDK/net_utils.h"
#include "vqSDK/VlrNetSDK/process_recv.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace qn_net {
namespace {

uint32_t UserId() { return global_set().user_id.load(); }
uint32_t ConnectionValue() { return static_cast<uint32_t>(global_set().connection_value.load()); }

} // namespace

ipc_conn::ipc_conn(process_recv& receiver)
    : receiver_(receiver),
      talk_(
          [this](uint32_t, const uint8_t* body, std::size_t length) { send(kMsgTalk, body, length); }, debug_,
          "ipc_send_proc  exited")
{
    exitEvent_.Create(true, false, "ipcExit");
    firstDataEvent_.Create(true, false, "localdatamsg");
}

ipc_conn::~ipc_conn()
{
    close();
    exitEvent_.Close();
    firstDataEvent_.Close();
}

void ipc_conn::set_camera_address(uint32_t ipv4, uint16_t port)
{
    address_.store(ipv4);
    port_.store(port);
}

void ipc_conn::reset_first_data()
{
    firstData_.store(false);
    firstDataEvent_.Reset();
}

bool ipc_conn::make_ipc_conn(int seconds, int tenths)
{
    std::lock_guard<std::mutex> life(lifeMutex_);
    release_socket();
    const std::string text = platform::IPv4ToText(address_.load());
    int socket = utils::instance().connect_with_timeout(text.c_str(), port_.load(), seconds, tenths);
    if (socket < 0) return false;
    reassembly_.restart_sequence();
    pending_.reopen();
    {
        std::lock_guard<std::mutex> lock(sendMutex_);
        socket_.store(socket);
    }
    process_recv& receiver = receiver_;
    if (receiver.add_socket(socket, process_recv::kStream, 0) != 0 ||
        receiver.set_handler(handler_record{&ipc_conn::on_message, nullptr, this}, socket) != 0) {
        QNLogPrint("%s(%d) no receive slot for the camera socket\n", "ipc_conn::make_ipc_conn", __LINE__);
        release_socket();
        return false;
    }
    return true;
}

void ipc_conn::release_socket()
{
    int socket = -1;
    {
        // Cleared under the send lock: no sender can still be using the
        // descriptor when it is closed and reused.
        std::lock_guard<std::mutex> lock(sendMutex_);
        socket = socket_.exchange(-1);
    }
    if (socket >= 0) receiver_.remove_socket(socket);
}

void ipc_conn::close()
{
    std::lock_guard<std::mutex> life(lifeMutex_);
    talk_.stop();
    camera_.store(0);
    stream_.store(0);
    noStream_.store(0);
    handshakeSent_.store(false);
    release_socket();
    pending_.abandon_all();
    pending_.reopen();
    reassembly_.clear();
}

int ipc_conn::send(uint32_t msgId, const void* body, std::size_t length)
{
    std::lock_guard<std::mutex> lock(sendMutex_);
    const int socket = socket_.load();
    if (socket < 0) return -1;
    return utils::instance().send_msg_tcp(socket, msgId, body, length);
}

bool ipc_conn::sent_whole(int result, std::size_t bodyLength) const
{
    return result == static_cast<int>(bodyLength + kHeaderSize);
}

bool ipc_conn::open_stream(uint32_t camera, pending_request* record)
{
    if (record != nullptr) pending_.add(static_cast<int32_t>(camera), kPendingOpen, record);
    const auto body = stun_request_body(camera, UserId(), ConnectionValue());
    bool any = false;
    for (int i = 0; i < 3; ++i) any = sent_whole(send(kMsgStunRequest, body.data(), body.size()), body.size()) || any;
    return any;
}

bool ipc_conn::connect_video(uint32_t camera, pending_request* record)
{
    if (record != nullptr) pending_.add(static_cast<int32_t>(camera), kPendingConnect, record);
    const auto body = connect_video_body(UserId(), ConnectionValue(), camera);
    return sent_whole(send(kMsgConnectVideo, body.data(), body.size()), body.size());
}

bool ipc_conn::close_channel(uint32_t camera)
{
    const auto body = close_channel_body(UserId(), ConnectionValue(), camera);
    return sent_whole(send(kMsgCloseChannel, body.data(), body.size()), body.size());
}

bool ipc_conn::answer_stream(const uint8_t* body)
{
    if (body == nullptr) return false;
    return sent_whole(send(kMsgStunAnswer, body, kStunBodySize), kStunBodySize);
}

bool ipc_conn::keep_alive()
{
    if (connected()) send(kMsgKeepAlive, nullptr, 0);
    return true;
}

bool ipc_conn::complete_pending(uint32_t camera, int32_t value, int32_t kind, const void* data, int32_t length)
{
    return pending_.complete(static_cast<int32_t>(camera), value, kind, data, length);
}

void ipc_conn::remove_pending(pending_request* record) { pending_.remove(record); }

void ipc_conn::set_data_callback(QN_NET_REAL_DATA_CALLBACK callback, int32_t value)
{
    reassembly_.set_callback(callback, value);
}

void ipc_conn::set_debug_callback(QN_NET_DEBUG_CALLBACK callback) { debug_.set_callback(callback); }

bool ipc_conn::start_talk(uint32_t camera)
{
    talk_.start(camera);
    return talk_.running();
}

bool ipc_conn::talk_data(const void* bytes, std::size_t length) { return talk_.data(bytes, length); }

void ipc_conn::stop_talk() { talk_.stop(); }

int ipc_conn::on_message(const char* frame, int length, int, void* user)
{
    if (user == nullptr || frame == nullptr || length < static_cast<int>(kHeaderSize)) return 0;
    static_cast<ipc_conn*>(user)->handle_message(reinterpret_cast<const uint8_t*>(frame),
                                                 static_cast<std::size_t>(length));
    return 0;
}

void ipc_conn::handle_message(const uint8_t* frame, std::size_t length)
{
    if (!connected() || length < kHeaderSize) return;
    const FrameHeader header = ReadHeader(frame);
    const uint8_t* body = frame + kHeaderSize;
    const std::size_t bodyLength = length - kHeaderSize;
    if (header.msgId != kMsgKeepAlive && header.msgId != kMsgIgnored && header.msgId != kMsgMediaBlock) {
        debug_.write("ipc  len = %d,msg = %d,ver = %d", static_cast<int>(length), static_cast<int>(header.msgId),
                     static_cast<int>(header.version));
    }
    switch (header.msgId) {
    case kMsgStunAnswer:
        if (bodyLength < kStunBodySize) return;
        answer_stream(body);
        complete_pending(ReadU32(body), 1, kPendingOpen, nullptr, 0);
        return;
    case kMsgMediaBlock:
        handle_block(body, bodyLength, length);
        return;
    case kMsgConnectVideoAnswer:
        if (length == kFixedAnswerTotal) complete_pending(ReadU32(body + 12), 1, kPendingConnect, nullptr, 0);
        return;
    default:
        return;
    }
}

void ipc_conn::handle_block(const uint8_t* body, std::size_t bodyLength, std::size_t messageLength)
{
    ReportByteCount(static_cast<int32_t>(messageLength));
    media_block block;
    if (!parse_media_block(body, bodyLength, &block)) return;
    const uint32_t stream = stream_.load();
    if ((block.stream == 1 || block.stream == 2) && block.stream != stream) return;
    const uint32_t camera = camera_.load();
    if (block.camera == camera) {
        if (handshakeSent_.load()) {
            firstData_.store(true);
            firstDataEvent_.Set();
        }
        noStream_.store(0);
        reassembly_.insert(block);
        return;
    }
    const bool secondForm = handshakeSent_.load() || block.stream == 1 || block.stream == 2;
    debug_.write(secondForm ? "stream2 cameraid = %d, play cameraid = %d" : "stream1 cameraid = %d, play cameraid = %d",
                 static_cast<int>(block.camera), static_cast<int>(camera));
    close_channel(block.camera);
}

} // namespace qn_net
