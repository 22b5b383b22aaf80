// video_conn: the UDP connection to the video server, the public route of
// live play and card playback. It binds one local UDP socket, sends the
// camera messages as datagrams to the server, hands the media blocks to
// frame_deck, sends keep-alives and the deck's resend requests, and carries
// talk audio.
//
// Only datagrams from the video server's address are taken; anything from
// elsewhere is dropped before it is read. The socket is used and cleared
// under the send lock, so a resend request or a talk packet never goes out
// on a descriptor that a closed connection gave back.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "vqSDK/VlrNetSDK/media/debug_line.h"
#include "vqSDK/VlrNetSDK/media/frame_deck.h"
#include "vqSDK/VlrNetSDK/media/media_block.h"
#include "vqSDK/VlrNetSDK/media/talk_sender.h"
#include "vqSDK/VlrNetSDK/os_event.h"
#include "vqSDK/VlrNetSDK/pending_request.h"
#include "vqSDK/VlrNetSDK/process_recv.h"

namespace qn_net {

class video_conn final : public block_requester {
public:
    // Kinds of the pending requests, the other way round from ipc_conn.
    static constexpr int32_t kPendingConnect = 0;
    static constexpr int32_t kPendingOpen = 1;

    // The socket is registered with `receiver`, the blocks go to `deck`; both
    // outlive the connection.
    video_conn(process_recv& receiver, frame_deck& deck);
    ~video_conn() override;
    video_conn(const video_conn&) = delete;
    video_conn& operator=(const video_conn&) = delete;

    // Binds a UDP socket to the SDK's local UDP port (IPv6 with IPv4-mapped
    // peers when the login server's address is IPv6) and registers it with
    // the receive thread; error 12000 or 12002 on failure.
    bool make_bind_udp();

    // One datagram to the video server; true when all of it went out.
    bool send_message(uint32_t msgId, const void* body, std::size_t length);
    // Message 1 with (user id, camera id).
    bool keep_alive();
    // Takes the video server's address and port (both network order) and
    // sends 40001 three times; true when one went out.
    bool open_stream(uint32_t serverIPv4, uint16_t serverPort, uint32_t camera, pending_request* record);
    bool connect_video(uint32_t camera, pending_request* record);
    // 40015, up to three attempts.
    bool close_channel(uint32_t camera);
    bool answer_stream(const uint8_t* body);

    bool complete_pending(uint32_t camera, int32_t value, int32_t kind, const void* data, int32_t length);
    void remove_pending(pending_request* record);

    // A 40005 block for the play's camera: audio and video to their deck inserts.
    bool insert_block(const media_block& block);

    void set_debug_callback(QN_NET_DEBUG_CALLBACK callback) { debug_.set_callback(callback); }

    // End of a public play: stops talk, forgets the play, closes the socket
    // and wakes every waiting request.
    void close();

    bool start_talk(uint32_t camera);
    bool talk_data(const void* bytes, std::size_t length);
    void stop_talk();
    bool talking() const { return talk_.running(); }

    // Play state set by the routes.
    void set_camera(uint32_t camera) { camera_.store(camera); }
    uint32_t camera() const { return camera_.load(); }
    void set_stream(uint32_t stream) { stream_.store(stream); }
    // Media blocks are taken only while accepting.
    void set_accepting(bool accepting) { accepting_.store(accepting); }
    // Playing: a live play or playback holds this connection.
    bool playing() const { return accepting_.load(); }
    uint32_t stream() const { return stream_.load(); }
    uint32_t count_missed_keep_alive() { return ++missed_; }
    uint32_t missed_keep_alives() const { return missed_.load(); }
    COSEvent& exit_event() { return exitEvent_; }
    int socket() const { return socket_.load(); }
    uint16_t local_port() const;

    // frame_deck's resend request (40004), sent as one datagram.
    void request_block(uint32_t camera, uint32_t serial) override;

    // The receive thread's handler: (whole message, its length, 0, this).
    static int on_message(const char* frame, int length, int zero, void* user);
    void handle_message(const uint8_t* frame, std::size_t length);

private:
    bool send_locked(uint32_t msgId, const void* body, std::size_t length);
    void handle_block(const uint8_t* body, std::size_t bodyLength, std::size_t messageLength);
    void handle_server_close(const uint8_t* body, std::size_t messageLength);
    void release_socket();

    process_recv& receiver_;
    frame_deck& deck_;
    std::atomic<int> socket_{-1};
    std::atomic<uint32_t> camera_{0};
    std::atomic<uint32_t> stream_{0};
    std::atomic<uint32_t> missed_{0};
    std::atomic<uint32_t> serverIPv4_{0};  // network order
    std::atomic<uint16_t> serverPort_{0};  // host order
    std::atomic<bool> accepting_{false};
    COSEvent exitEvent_;

    std::mutex sendMutex_;
    std::mutex lifeMutex_;  // bind and close, one at a time
    pending_list pending_;
    debug_line debug_;
    talk_sender talk_;
};

} // namespace qn_net
