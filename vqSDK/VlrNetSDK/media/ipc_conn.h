// ipc_conn: the TCP connection to one camera on the local network, the local
// route of live play and card playback. It runs the stream handshake
// (40001/40002, 40013/40014), closes channels (40015), keeps the connection
// alive (message 1), reassembles the media blocks (40005) and sends talk
// audio (40023).
//
// Every message goes out whole under the send lock, talk packets included,
// so messages of different threads never mix on the stream.
//
// The reply handler runs on the receive thread. It calls the stream-data
// callback without holding any lock of this connection (see
// lan_reassembly.h); it runs under the receive thread's own lock, so a
// callback must not close this connection.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "vqSDK/VlrNetSDK/media/debug_line.h"
#include "vqSDK/VlrNetSDK/media/lan_reassembly.h"
#include "vqSDK/VlrNetSDK/media/talk_sender.h"
#include "vqSDK/VlrNetSDK/os_event.h"
#include "vqSDK/VlrNetSDK/pending_request.h"
#include "vqSDK/VlrNetSDK/process_recv.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

namespace qn_net {

class ipc_conn {
public:
    // Kinds of the pending requests this connection completes.
    static constexpr int32_t kPendingOpen = 0;
    static constexpr int32_t kPendingConnect = 1;

    // The socket is registered with `receiver`, which outlives the connection.
    explicit ipc_conn(process_recv& receiver);
    ~ipc_conn();
    ipc_conn(const ipc_conn&) = delete;
    ipc_conn& operator=(const ipc_conn&) = delete;

    // The camera's address (IPv4, network order) and TCP port.
    void set_camera_address(uint32_t ipv4, uint16_t port);
    uint32_t camera_address() const { return address_.load(); }
    uint16_t camera_port() const { return port_.load(); }
    // Connects within seconds + tenths / 10 and registers the socket with the
    // receive thread; a connection still open is closed first.
    bool make_ipc_conn(int seconds, int tenths);

    // 40001, three times; true when one went out.
    bool open_stream(uint32_t camera, pending_request* record);
    bool connect_video(uint32_t camera, pending_request* record);
    bool close_channel(uint32_t camera);
    // Sends the 12-byte 40002 body back.
    bool answer_stream(const uint8_t* body);
    // Message 1; true also without a connection.
    bool keep_alive();

    bool complete_pending(uint32_t camera, int32_t value, int32_t kind, const void* data, int32_t length);
    void remove_pending(pending_request* record);

    void set_data_callback(QN_NET_REAL_DATA_CALLBACK callback, int32_t value);
    void set_debug_callback(QN_NET_DEBUG_CALLBACK callback);

    // End of a local play: stops talk, forgets the play, closes the socket,
    // wakes every waiting request and frees the frames being collected.
    void close();

    bool start_talk(uint32_t camera);
    bool talk_data(const void* bytes, std::size_t length);
    void stop_talk();
    bool talking() const { return talk_.running(); }

    // Play state set by the live-play and playback routes.
    void set_camera(uint32_t camera) { camera_.store(camera); }
    uint32_t camera() const { return camera_.load(); }
    // 1 live, 2 playback: blocks of the other of these two streams are dropped.
    void set_stream(uint32_t stream) { stream_.store(stream); }
    uint32_t stream() const { return stream_.load(); }
    // Streaming: the stream was asked for (40013 sent) and not closed since.
    void set_handshake_sent(bool sent) { handshakeSent_.store(sent); }
    bool streaming() const { return handshakeSent_.load(); }
    bool first_data() const { return firstData_.load(); }
    // Before a new stream is asked for: its first block is awaited afresh.
    void reset_first_data();
    COSEvent& first_data_event() { return firstDataEvent_; }
    COSEvent& exit_event() { return exitEvent_; }
    // Keep-alive periods since the last accepted block; the watcher counts up.
    uint32_t count_no_stream() { return ++noStream_; }
    uint32_t no_stream() const { return noStream_.load(); }
    int socket() const { return socket_.load(); }
    bool connected() const { return socket_.load() >= 0; }

    // The receive thread's handler: (whole message, its length, 0, this).
    static int on_message(const char* frame, int length, int zero, void* user);
    void handle_message(const uint8_t* frame, std::size_t length);

private:
    // Sends one message under the send lock; the frame length or a failure.
    int send(uint32_t msgId, const void* body, std::size_t length);
    bool sent_whole(int result, std::size_t bodyLength) const;
    void handle_block(const uint8_t* body, std::size_t bodyLength, std::size_t messageLength);
    void release_socket();

    process_recv& receiver_;
    std::atomic<uint32_t> camera_{0};
    std::atomic<uint32_t> stream_{0};
    std::atomic<uint32_t> noStream_{0};
    std::atomic<bool> firstData_{false};
    COSEvent firstDataEvent_;
    std::atomic<bool> handshakeSent_{false};
    std::atomic<int> socket_{-1};
    COSEvent exitEvent_;
    std::atomic<uint32_t> address_{0};
    std::atomic<uint16_t> port_{0};

    std::mutex sendMutex_;
    std::mutex lifeMutex_;  // connect and close, one at a time
    pending_list pending_;
    lan_reassembly reassembly_;
    debug_line debug_;
    talk_sender talk_;
};

} // namespace qn_net
