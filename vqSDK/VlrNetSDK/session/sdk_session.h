// The session library's part of each session: the play state and the online
// check, ended with the session that QN_NET_Cleanup ends.
#pragma once

#include "vqSDK/VlrNetSDK/sdk_session.h"
#include "vqSDK/VlrNetSDK/session/play_online_check.h"
#include "vqSDK/VlrNetSDK/session/play_state.h"

namespace qn_net {

struct play_session_part {
    play::shared_state play;  // under play_mutex()
    play::online_check online;
};

inline play_session_part& play_part(sdk_session& s) { return s.play.get<play_session_part>(); }

} // namespace qn_net
