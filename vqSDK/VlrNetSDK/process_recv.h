// The receive thread: one thread reads every registered socket of the SDK,
// cuts what arrives into frames and hands each frame to the handler of its
// socket.
//
// Handlers run on the receive thread, one at a time, with the receive lock
// held: a handler must not call any process_recv operation and must not block.
// A socket stays its owner's: only remove_socket closes it. A stream socket
// whose peer closed is no longer polled and its owner is told once through
// the disconnect handler.
//
// A removed socket is closed by the receive thread between two poll rounds,
// never while its poll may still hold it (that would keep a UDP port bound
// until the round ended); remove_socket returns once it is closed.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/net_socket.h"

namespace qn_net {

// (frame, frame length, 0, user value)
using message_handler = int (*)(const char* frame, int length, int zero, void* user);
// (socket, user value): the peer closed the stream or it failed.
using disconnect_handler = void (*)(int socket, void* user);

struct handler_record {
    message_handler handler = nullptr;
    disconnect_handler disconnect = nullptr;
    void* user = nullptr;
};

class process_recv {
public:
    static constexpr int kSlots = 48;
    static constexpr std::size_t kBufferSize = 12288;
    static constexpr int kStream = 1;  // kind of a stream socket; any other: datagrams
    static constexpr int64_t kPollMs = 100;

    process_recv() = default;
    // The thread is stopped before the slots go away.
    ~process_recv() { stop(); }
    process_recv(const process_recv&) = delete;
    process_recv& operator=(const process_recv&) = delete;

    // 1 when the thread runs (also when it already ran), 0 when it cannot start.
    int start();
    // Clears every handler, ends the thread and waits for it. Sockets still
    // registered stay their owners'.
    void stop();
    bool running() const { return running_.load(); }

    // Registers a socket in the first free slot; 0, or -1 when all 48 are
    // taken or the socket is invalid.
    int add_socket(int socket, int kind, int variant);
    int set_handler(const handler_record& record, int socket);
    int clear_handler(int socket);
    // Only datagrams from this IPv4 address (network order) are accepted on
    // the socket; 0 accepts any source.
    int set_udp_source(int socket, uint32_t ipv4);
    // Unregisters the socket and closes it, and returns once it is closed;
    // 0, or -1 when it was not registered (it is closed all the same).
    int remove_socket(int socket);

    // One read of a registered socket; called by the thread with the lock held.
    int read_tcp_socket(int socket, int slot);
    int read_udp_socket(int socket, int slot);

    // Sockets registered now.
    int registered() const;

private:
    struct slot_state {
        int socket = -1;
        int kind = 0;
        bool inUse = false;
        bool closed = false;  // the peer closed or the socket failed: not polled
        int variant = 0;
        uint32_t generation = 0;
        uint32_t udpSource = 0;
        handler_record handlers;
        std::size_t fill = 0;
        uint8_t buffer[kBufferSize];
    };

    void run();
    void clear_slot(slot_state& slot);
    void dispatch(slot_state& slot, const uint8_t* data, std::size_t length);
    void mark_closed(slot_state& slot);
    slot_state* find(int socket);
    // Closes the removed sockets; called with the lock held.
    void close_removed();

    std::mutex lifecycle_;  // start and stop, one at a time
    mutable std::mutex mutex_;
    std::atomic<bool> running_{false};
    std::thread thread_;
    std::array<slot_state, kSlots> slots_{};
    std::vector<int> removed_;  // removed sockets waiting for the thread to close them
    std::condition_variable removedClosed_;
    platform::PollWaker waker_;
};

} // namespace qn_net
