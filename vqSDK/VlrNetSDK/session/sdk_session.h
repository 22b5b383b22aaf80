// What one initialised SDK holds for its play calls: QN_NET_Init begins a
// session and QN_NET_Cleanup ends it whole, so that nothing one session's
// plays left (the route taken, the online answer kept for a camera) reaches
// the next one.
#pragma once

#include <memory>

#include "vqSDK/VlrNetSDK/session/play_online_check.h"
#include "vqSDK/VlrNetSDK/session/play_state.h"

namespace qn_net {

struct sdk_session {
    play::shared_state play;  // under play_mutex()
    play::online_check online;
};

// The current session. Between QN_NET_Cleanup and QN_NET_Init a fresh one
// stands in, so that a call made outside a session finds its state empty
// rather than missing.
sdk_session& session();

// Ends the current session (its threads are joined as it is destroyed) and
// puts a fresh one in its place. QN_NET_Init and QN_NET_Cleanup call it once
// the play threads are ended; nothing else may hold the session meanwhile.
void renew_session();

} // namespace qn_net
