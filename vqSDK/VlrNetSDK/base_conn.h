// Connections that carry management requests: the management connection
// (mgr_conn) and the local connection straight to a device (local_conn). Both
// hold a socket registered with the receive thread, the list of requests
// waiting for replies, and a send lock that keeps each request's frame whole.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "vqSDK/VlrNetSDK/alarm_picture.h"
#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/os_event.h"
#include "vqSDK/VlrNetSDK/pending_request.h"
#include "vqSDK/VlrNetSDK/playback_request.h"
#include "vqSDK/VlrNetSDK/process_recv.h"

namespace qn_net {

// The first check of every device call: 11500 when the SDK is not
// initialised, 14000 for a negative camera id while the management connection
// is online, 11501 when neither connection is online.
bool connection_guard(int32_t camera);

class base_conn {
public:
    static constexpr std::size_t kAddressArea = 40;

    // The socket is registered with `receiver`, which outlives the connection.
    explicit base_conn(process_recv& receiver) : receiver_(receiver) {}
    virtual ~base_conn();
    base_conn(const base_conn&) = delete;
    base_conn& operator=(const base_conn&) = delete;

    int socket() const { return socket_.load(); }
    bool is_open() const { return socket() >= 0; }
    pending_list& pending() { return pending_; }

    // Registers `record` under the request's key when the request awaits a
    // reply, then frames and sends it under the send lock. False when it was
    // not sent whole (a connection aborted by the peer included); the caller
    // removes its record then.
    bool send(const encoded_request& request, pending_request* record = nullptr);
    // The same request twice under one hold of the send lock; true when
    // either went out.
    bool send_twice(const encoded_request& request, pending_request* record);
    // The raw result of sending (frame length, 10053 or -1), for the heartbeat.
    int send_raw(const encoded_request& request);

    // The handler set of the receive thread for this connection's socket.
    int attach(const handler_record& handlers);

    std::atomic<int32_t> live_count{0};
    // Set by the receive thread when the peer closed the stream or it failed;
    // the connection's heartbeat acts on it.
    std::atomic<bool> peer_gone{false};
    // The receive thread's report that the peer closed or reset the stream:
    // every request waiting on this connection ends at once.
    void peer_closed();

    // Guards the choice of this connection as the current one, and its close.
    std::mutex& state_mutex() { return stateMutex_; }

    // The alarm or panorama picture this connection brings in.
    alarm_picture_download& picture() { return picture_; }

    // The video server's address area, filled by the video-address reply.
    void set_address_area(const uint8_t* bytes, std::size_t length);
    std::array<uint8_t, kAddressArea> address_area() const;

    // The running remote playback: its record and the value sent with every
    // playback message.
    void set_playback(const playback_record& record, int32_t value);
    playback_record playback() const;
    int32_t playback_value() const;

protected:
    // Connects with up to `tries` attempts and registers the socket with the
    // receive thread; false when no attempt connected or no slot was free.
    bool open_socket(const std::string& address, uint16_t port, int tries, int seconds, int tenths, int variant);
    // Unregisters and closes the socket, wakes every waiting request and
    // empties the list; the socket it closed, or -1.
    int close_socket();

private:
    process_recv& receiver_;
    std::mutex stateMutex_;
    std::atomic<int> socket_{-1};
    std::mutex sendMutex_;
    pending_list pending_;
    alarm_picture_download picture_;
    mutable std::mutex dataMutex_;
    std::array<uint8_t, kAddressArea> address_{};
    playback_record playback_{};
    int32_t playbackValue_ = 0;
};

// The session's connection to the management server.
class mgr_conn : public base_conn {
public:
    enum : int32_t { kClosed = 0, kConnected = 1, kSignedIn = 2 };

    explicit mgr_conn(process_recv& receiver);
    ~mgr_conn() override;

    // Connects to the management server of the last login (two tries of
    // 2.5 s); false when already connected or unreachable.
    bool connect();
    void mark_signed_in();
    // Closes the socket and forgets the waiting requests.
    void mgr_delete();

    int32_t connected() const { return connected_.load(); }
    COSEvent& exit_event() { return exit_; }

    // The camera of the current play, asked about by the heartbeat.
    std::atomic<int32_t> play_camera{0};

private:
    std::atomic<int32_t> connected_{kClosed};
    COSEvent exit_;
};

// The connection straight to a device on the local network.
class local_conn : public base_conn {
public:
    explicit local_conn(process_recv& receiver);
    ~local_conn() override;

    void set_peer(uint32_t ipv4, uint16_t port);
    // The device this connection goes to: IPv4 in network order, TCP port.
    uint32_t peer_ipv4() const { return peerIPv4_.load(); }
    uint16_t peer_port() const { return peerPort_.load(); }
    bool connect(int seconds, int tenths);
    void local_delete();
    COSEvent& exit_event() { return exit_; }

private:
    std::atomic<uint32_t> peerIPv4_{0};
    std::atomic<uint16_t> peerPort_{0};
    COSEvent exit_;
};

} // namespace qn_net
