// The session library's part of each session: the four connections, the
// public route's frame deck, the connection watchers, the play state, the
// online check and the live-play race, with the locks of play.
//
// Members are destroyed in the reverse of their order here, which is the
// order the SDK is taken down in: the play threads first, then the watchers,
// the video connection, the camera connection, the deck, the receive thread,
// and last the management and local connections. The receive thread's
// handlers reach the connections through raw pointers: it is joined before
// they go, and each connection unregisters its socket as it closes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "vqSDK/VlrNetSDK/base_conn.h"
#include "vqSDK/VlrNetSDK/media/frame_deck.h"
#include "vqSDK/VlrNetSDK/media/ipc_conn.h"
#include "vqSDK/VlrNetSDK/media/video_conn.h"
#include "vqSDK/VlrNetSDK/sdk_session.h"
#include "vqSDK/VlrNetSDK/session/heartbeats.h"
#include "vqSDK/VlrNetSDK/session/live_play_race.h"
#include "vqSDK/VlrNetSDK/session/play_online_check.h"
#include "vqSDK/VlrNetSDK/session/play_state.h"

namespace qn_net {

// Joins its session's receive thread when it is destroyed; the receiver
// itself stays until the session goes, so a late close still finds it.
class receive_thread_stop {
public:
    explicit receive_thread_stop(process_recv& receiver) : receiver_(receiver) {}
    ~receive_thread_stop() { receiver_.stop(); }
    receive_thread_stop(const receive_thread_stop&) = delete;
    receive_thread_stop& operator=(const receive_thread_stop&) = delete;

private:
    process_recv& receiver_;
};

struct play_session_part {
    explicit play_session_part(sdk_session& owner);
    play_session_part(const play_session_part&) = delete;
    play_session_part& operator=(const play_session_part&) = delete;

    sdk_session& session;
    // Guards the route flag, the route states and a takeover of live play.
    std::mutex play_mutex;
    // Held by the play calls (live play, playback) for their whole course, so
    // that one call's stops and starts never interleave with another's. Never
    // held while route threads are joined: a thread may be inside a callback
    // that makes a play call.
    std::mutex play_calls_mutex;

    mgr_conn mgr;
    local_conn local;
    receive_thread_stop receiving;
    frame_deck deck;
    ipc_conn ipc;
    video_conn video;
    heartbeats::connection_watchers watchers;

    play::shared_state play;  // under play_mutex
    play::online_check online;
    play::race_runner runner;
};

inline play_session_part& play_part(sdk_session& s) { return s.play.get<play_session_part>(s); }

// A call's hold on the current session: the session, and with it every
// connection and thread of it, stays whole until the call lets go.
class session_hold {
public:
    session_hold() : session_(session()), part_(&play_part(*session_)) {}
    play_session_part* operator->() const { return part_; }
    play_session_part& operator*() const { return *part_; }
    const session_ref& held() const { return session_; }

private:
    session_ref session_;
    play_session_part* part_;
};

// A connection of the session a call holds, or none.
class session_conn {
public:
    session_conn() = default;
    session_conn(session_hold hold, base_conn* conn) : hold_(std::move(hold)), conn_(conn) {}
    base_conn* operator->() const { return conn_; }
    base_conn& operator*() const { return *conn_; }
    base_conn* get() const { return conn_; }
    const session_hold& hold() const { return hold_; }
    explicit operator bool() const { return conn_ != nullptr; }
    bool operator==(std::nullptr_t) const { return conn_ == nullptr; }
    bool operator!=(std::nullptr_t) const { return conn_ != nullptr; }

private:
    session_hold hold_;
    base_conn* conn_ = nullptr;
};

// Which connection QN_NET_Base_connect chose in the session.
void set_current(play_session_part& sdk, current_kind kind);
current_kind current(play_session_part& sdk);
// The chosen connection, or null before any choice.
base_conn* current_conn(play_session_part& sdk);
// The chosen connection while it is online (state 3 or 4), or null.
base_conn* online_conn(play_session_part& sdk);
// The current session's chosen connection while it is online, held.
session_conn online_conn();

// The caller's local-play mark of the running local connection (0: none).
int32_t local_mark(play_session_part& sdk);
void set_local_mark(play_session_part& sdk, int32_t mark);

} // namespace qn_net
