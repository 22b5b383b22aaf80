// What one initialised SDK holds for its calls: QN_NET_Init begins a session
// and QN_NET_Cleanup ends it whole, so that nothing one session left (the
// route taken, the online answer kept for a camera, the caller's local mark)
// reaches the next one.
//
// The session is handed out counted: a call holds its session_ref for as long
// as it works with the session, and a route thread holds the one its start
// was made in. A call still running while QN_NET_Cleanup ends the session
// finishes on the ended one, which goes when its last holder lets it go.
//
// The libraries above this one keep their own part of the session in a
// session_slot: it is made on first use and destroyed with the session, before
// the members declared ahead of it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "vqSDK/VlrNetSDK/mgr_replies.h"
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
    template <class Part>
    Part& get()
    {
        std::call_once(made_, [this] { part_ = std::make_unique<holder<Part>>(); });
        return static_cast<holder<Part>&>(*part_).value;
    }

private:
    struct any_part {
        virtual ~any_part() = default;
    };
    template <class Part>
    struct holder : any_part {
        Part value;
    };
    std::once_flag made_;
    std::unique_ptr<any_part> part_;
};

struct sdk_session {
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

    // The play state and the online check of the session library.
    session_slot play;
};
using session_ref = std::shared_ptr<sdk_session>;

// The current session. Between QN_NET_Cleanup and QN_NET_Init a fresh one
// stands in, so that a call made outside a session finds its state empty
// rather than missing.
session_ref session();

// Puts a fresh session in place of the current one, which ends once no call
// and no thread holds it any more. QN_NET_Init and QN_NET_Cleanup call it
// once the play threads are ended.
void renew_session();

} // namespace qn_net
