// The SDK's connection objects and the choice among them.
//
// The four connections live as long as the process: QN_NET_Init starts their
// watch threads and QN_NET_Cleanup stops them and closes every socket, but the
// objects themselves are never destroyed while a receive-thread handler or a
// late caller could still reach them.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "vqSDK/VlrNetSDK/base_conn.h"
#include "vqSDK/VlrNetSDK/media/ipc_conn.h"
#include "vqSDK/VlrNetSDK/media/video_conn.h"
#include "vqSDK/VlrNetSDK/session/sdk_session.h"

namespace qn_net {

struct sdk_objects {
    mgr_conn mgr;
    local_conn local;
    video_conn video;
    ipc_conn ipc;
};
sdk_objects& objects();

// Which connection QN_NET_Base_connect chose, kept in the current session.
void set_current(current_kind kind);
current_kind current();
// The chosen connection, or null before any choice.
base_conn* current_conn();
// The chosen connection while it is online (state 3 or 4), or null.
base_conn* online_conn();

// The caller's local-play mark of the running local connection (0: none),
// kept in the current session.
int32_t local_mark();
void set_local_mark(int32_t mark);

// Guards the route flag, the route states and a takeover of live play.
std::mutex& play_mutex();

} // namespace qn_net
