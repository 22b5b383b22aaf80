#include "vqSDK/VlrNetSDK/media/video_conn.h"

#include <cstring>
#include <string>

#include "Depend/qn_log.h"
#include "platform/dual_stack.h"
#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/media/camera_messages.h"
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

// The largest message this connection sends: a talk packet.
constexpr std::size_t kLargestBody = kTalkHeadSize + kTalkPacketData;

} // namespace

video_conn::video_conn(process_recv& receiver, frame_deck& deck)
    : receiver_(receiver),
      deck_(deck),
      talk_(
          [this](uint32_t camera, const uint8_t* body, std::size_t length) {
              // A talk without a camera is consumed without being sent.
              if (camera > 0) send_message(kMsgTalk, body, length);
          },
          debug_, nullptr)
{
    exitEvent_.Create(true, false, "videoExit");
    deck_.set_requester(this);
}

video_conn::~video_conn()
{
    deck_.detach_requester(this);
    close();
    exitEvent_.Close();
}

bool video_conn::make_bind_udp()
{
    std::lock_guard<std::mutex> life(lifeMutex_);
    release_socket();
    const bool ipv6 = login_server_text().find(':') != std::string::npos;
    const platform::NetFamily family = ipv6 ? platform::NetFamily::IPv6 : platform::NetFamily::IPv4;
    int socket = platform::OpenSocket(family, platform::NetKind::Datagram);
    if (socket < 0) {
        SetLastError(QN_NET_ERR_SOCKET);
        return false;
    }
    if (ipv6 && !platform::AllowIPv4Mapped(socket)) {
        QNLogPrint("%s(%d) IPv4-mapped peers refused\n", "video_conn::make_bind_udp", __LINE__);
    }
    const auto port = static_cast<uint16_t>(global_set().local_udp_port.load());
    if (utils::instance().bindEx(socket, port, family) != 0) {
        platform::CloseSocket(socket);
        SetLastError(QN_NET_ERR_BIND);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(sendMutex_);
        socket_.store(socket);
    }
    process_recv& receiver = receiver_;
    if (receiver.add_socket(socket, 2, 0) != 0 ||
        receiver.set_handler(handler_record{&video_conn::on_message, nullptr, this}, socket) != 0 ||
        receiver.set_udp_source(socket, serverIPv4_.load()) != 0) {
        QNLogPrint("%s(%d) no receive slot for the video socket\n", "video_conn::make_bind_udp", __LINE__);
        release_socket();
        return false;
    }
    return true;
}

uint16_t video_conn::local_port() const
{
    const int socket = socket_.load();
    return socket < 0 ? 0 : platform::LocalPort(socket);
}

void video_conn::release_socket()
{
    int socket = -1;
    {
        std::lock_guard<std::mutex> lock(sendMutex_);
        socket = socket_.exchange(-1);
    }
    if (socket >= 0) receiver_.remove_socket(socket);
}

void video_conn::close()
{
    std::lock_guard<std::mutex> life(lifeMutex_);
    talk_.stop();
    accepting_.store(false);
    missed_.store(0);
    stream_.store(0);
    camera_.store(0);
    release_socket();
    serverIPv4_.store(0);
    serverPort_.store(0);
    pending_.abandon_all();
    pending_.reopen();
}

bool video_conn::send_locked(uint32_t msgId, const void* body, std::size_t length)
{
    const int socket = socket_.load();
    if (socket < 0 || length > kLargestBody || (body == nullptr && length != 0)) return false;
    uint8_t frame[kHeaderSize + kLargestBody];
    WriteHeader(frame, msgId, static_cast<uint32_t>(length));
    if (length != 0) std::memcpy(frame + kHeaderSize, body, length);
    const std::size_t total = kHeaderSize + length;
    const long sent = utils::instance().udp_send(socket, serverIPv4_.load(), serverPort_.load(), frame, total);
    return sent == static_cast<long>(total);
}

bool video_conn::send_message(uint32_t msgId, const void* body, std::size_t length)
{
    std::lock_guard<std::mutex> lock(sendMutex_);
    return send_locked(msgId, body, length);
}

bool video_conn::keep_alive()
{
    if (socket_.load() < 0) return false;
    const auto body = video_keep_alive_body(UserId(), camera_.load());
    return send_message(kMsgKeepAlive, body.data(), body.size());
}

bool video_conn::open_stream(uint32_t serverIPv4, uint16_t serverPort, uint32_t camera, pending_request* record)
{
    if (record != nullptr) pending_.add(static_cast<int32_t>(camera), kPendingOpen, record);
    const auto body = stun_request_body(camera, UserId(), ConnectionValue());
    int socket = -1;
    bool any = false;
    {
        std::lock_guard<std::mutex> lock(sendMutex_);
        serverIPv4_.store(serverIPv4);
        serverPort_.store(serverPort);
        socket = socket_.load();
        for (int i = 0; i < 3; ++i) any = send_locked(kMsgStunRequest, body.data(), body.size()) || any;
    }
    if (socket >= 0) receiver_.set_udp_source(socket, serverIPv4);
    return any;
}

bool video_conn::connect_video(uint32_t camera, pending_request* record)
{
    if (record != nullptr) pending_.add(static_cast<int32_t>(camera), kPendingConnect, record);
    const auto body = connect_video_body(UserId(), ConnectionValue(), camera);
    return send_message(kMsgConnectVideo, body.data(), body.size());
}

bool video_conn::close_channel(uint32_t camera)
{
    const auto body = close_channel_body(UserId(), ConnectionValue(), camera);
    std::lock_guard<std::mutex> lock(sendMutex_);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (send_locked(kMsgCloseChannel, body.data(), body.size())) return true;
    }
    return false;
}

bool video_conn::answer_stream(const uint8_t* body)
{
    if (body == nullptr) return false;
    return send_message(kMsgStunAnswer, body, kStunBodySize);
}

bool video_conn::complete_pending(uint32_t camera, int32_t value, int32_t kind, const void* data, int32_t length)
{
    return pending_.complete(static_cast<int32_t>(camera), value, kind, data, length);
}

void video_conn::remove_pending(pending_request* record) { pending_.remove(record); }

void video_conn::request_block(uint32_t camera, uint32_t serial)
{
    const auto body = resend_body(camera, serial, UserId());
    send_message(kMsgResend, body.data(), body.size());
}

bool video_conn::insert_block(const media_block& block)
{
    if (block.type == kFrameTypeAudio) return deck_.insert_audio_blk(block);
    return deck_.insert_frame_blk(block);
}

bool video_conn::start_talk(uint32_t camera)
{
    talk_.start(camera);
    return talk_.running();
}

bool video_conn::talk_data(const void* bytes, std::size_t length) { return talk_.data(bytes, length); }

void video_conn::stop_talk() { talk_.stop(); }

int video_conn::on_message(const char* frame, int length, int, void* user)
{
    if (user == nullptr || frame == nullptr || length < static_cast<int>(kHeaderSize)) return 0;
    static_cast<video_conn*>(user)->handle_message(reinterpret_cast<const uint8_t*>(frame),
                                                   static_cast<std::size_t>(length));
    return 0;
}

void video_conn::handle_message(const uint8_t* frame, std::size_t length)
{
    // Nothing is taken before the server's address is known.
    if (socket_.load() < 0 || serverIPv4_.load() == 0 || length < kHeaderSize) return;
    const FrameHeader header = ReadHeader(frame);
    const uint8_t* body = frame + kHeaderSize;
    const std::size_t bodyLength = length - kHeaderSize;
    const uint32_t id = header.msgId;
    if (id != kMsgKeepAlive && id != kMsgIgnored && id != kMsgServerIgnored && id != kMsgMediaBlock) {
        debug_.write("videoserver  len = %d,cmdid = %d", static_cast<int>(length), static_cast<int>(id));
    }
    switch (id) {
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
    case kMsgCloseChannel:
        handle_server_close(body, length);
        return;
    default:
        return;
    }
}

void video_conn::handle_block(const uint8_t* body, std::size_t bodyLength, std::size_t messageLength)
{
    ReportByteCount(static_cast<int32_t>(messageLength));
    media_block block;
    if (!parse_media_block(body, bodyLength, &block)) return;
    const uint32_t stream = stream_.load();
    if ((block.stream == 1 || block.stream == 2) && block.stream != stream) return;
    if (!accepting_.load()) return;
    const uint32_t camera = camera_.load();
    if (block.camera == camera) {
        missed_.store(0);
        insert_block(block);
        return;
    }
    const bool secondForm = block.stream == 1 || block.stream == 2;
    debug_.write(secondForm ? "public stream2 cameraid = %d, play cameraid = %d"
                            : "public stream1 cameraid = %d, play cameraid = %d",
                 static_cast<int>(block.camera), static_cast<int>(camera));
    close_channel(block.camera);
}

void video_conn::handle_server_close(const uint8_t* body, std::size_t messageLength)
{
    if (messageLength != kFixedAnswerTotal) return;
    debug_.write("be closed by the video server msg 40015");
    RaiseEvent(nullptr, QN_NET_EVENT_STREAM_STOPPED, static_cast<int32_t>(ReadU32(body + 12)),
               static_cast<int32_t>(ReadU16(body + 16)));
}

} // namespace qn_net
