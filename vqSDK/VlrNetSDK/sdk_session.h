// What one initialised SDK holds for its calls: QN_NET_Init begins a session
// and QN_NET_Cleanup ends it whole, so that nothing one session left (the
// route taken, the online answer kept for a camera, the caller's local mark)
// reaches the next one.
//
// The session is handed out counted: a call holds its session_ref for as long
// as it works with the session, and a route thread holds the one its start
// was made in. QN_NET_Cleanup waits until it holds the last reference and
// destroys the session on its own thread, so that the session's threads are
// joined by the one that ends it; a holder that keeps it past the bounded
// wait ends it when it lets go.
//
// The session owns its receive thread and frame pool; the libraries above
// this one keep their own part of the session (connections, watchers, play
// threads) in a session_slot: it is made on first use and destroyed with the
// session, before the members declared ahead of it, so every connection has
// unregistered from the receive thread before that goes.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "vqSDK/VlrNetSDK/frame_pool.h"
#include "vqSDK/VlrNetSDK/mgr_replies.h"
#include "vqSDK/VlrNetSDK/process_recv.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"

namespace qn_net {

// Which connection QN_NET_Base_connect chose; the connection state of
// sdk_state.h says how far it got.
enum class current_kind : int32_t { none = 0, mgr = 1, local = 2 };

// One library's part of the session. Each slot holds one type of part only:
// the library that owns the slot is the only one that reads it.
class session_slot {
public:
    // The part, made from `args` on first use.
    template <class Part, class... Args>
    Part& get(Args&... args)
    {
        std::call_once(made_, [&] { part_ = std::make_unique<holder<Part>>(args...); });
        return static_cast<holder<Part>&>(*part_).value;
    }

private:
    struct any_part {
        virtual ~any_part() = default;
    };
    template <class Part>
    struct holder : any_part {
        template <class... Args>
        explicit holder(Args&... args) : value(args...)
        {
        }
        Part value;
    };
    std::once_flag made_;
    std::unique_ptr<any_part> part_;
};

struct sdk_session : std::enable_shared_from_this<sdk_session> {
    sdk_session() = default;
    sdk_session(const sdk_session&) = delete;
    sdk_session& operator=(const sdk_session&) = delete;

    // Declared first, so gone last: everything below draws on them.
    frame_pool pool;
    process_recv receiver;

    std::atomic<current_kind> current{current_kind::none};
    // The caller's local-play mark of the running local connection (0: none).
    std::atomic<int32_t> local_mark{0};

    // The login server given to QN_NET_Init and what the last login answered.
    std::mutex login_mutex;
    std::string login_server;
    uint32_t login_server_ipv4 = 0;  // network order
    login_values login;
    // T: the id of the latest device-id or sign-up answer.
    std::atomic<uint32_t> last_id{0};

    // The cloud-storage credentials as the replies assemble them.
    std::mutex sign_mutex;
    QN_NET_CLOUD_SIGN sign{};
    // The camera's LAN address from the last answer that gave one.
    std::mutex local_mutex;
    local_camera_address local;

    // The session library's part: connections, watchers, play state and
    // threads. Declared last, so destroyed first.
    session_slot play;
};
using session_ref = std::shared_ptr<sdk_session>;

// The current session. Between QN_NET_Cleanup and QN_NET_Init a fresh one
// stands in, so that a call made outside a session finds its state empty
// rather than missing.
session_ref session();

// Puts a fresh session in place of the current one and returns the one it
// replaced.
session_ref renew_session();

// Ends `ended` (the caller's reference included): waits, bounded, until the
// caller holds the last reference and destroys the session here. A session
// still held after the wait is logged and left to its last holder.
void end_session(session_ref ended);

// Marks the session this thread holds for a round of its own work (a route or
// watcher thread): an end of that session asked for from this thread, in a
// callback it raised, cannot wait for this thread to let go.
class own_session_mark {
public:
    explicit own_session_mark(const sdk_session* held);
    ~own_session_mark();
    own_session_mark(const own_session_mark&) = delete;
    own_session_mark& operator=(const own_session_mark&) = delete;

private:
    const sdk_session* previous_;
};

// Marks a thread that a session joins as it ends without holding a reference
// (the deck's delivery thread): a session ended from a callback of such a
// thread is destroyed on a thread of its own, which joins this one once its
// callback has returned.
class joined_thread_mark {
public:
    joined_thread_mark();
    ~joined_thread_mark();
    joined_thread_mark(const joined_thread_mark&) = delete;
    joined_thread_mark& operator=(const joined_thread_mark&) = delete;
};

} // namespace qn_net
