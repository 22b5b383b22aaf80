#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

#include "vqSDK/VlrNetSDK/sdk_callbacks.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"

namespace qn_net {

play_session_part::play_session_part(sdk_session& owner)
    : session(owner),
      mgr(owner.receiver),
      local(owner.receiver),
      receiving(owner.receiver),
      deck(owner.pool),
      ipc(owner.receiver),
      video(owner.receiver, deck),
      online(mgr)
{
    // The user's callbacks outlive the sessions: a new one takes them over.
    // The deck's delivery thread starts with QN_NET_Init, or with a debug
    // callback set before it.
    const QN_NET_DEBUG_CALLBACK debug = CurrentDebugCallback();
    if (debug != nullptr) deck.set_debug_callback(debug);
    ipc.set_debug_callback(debug);
    video.set_debug_callback(debug);
    const real_data_registration data = CurrentRealData();
    ipc.set_data_callback(data.callback, data.value);
}

void set_current(play_session_part& sdk, current_kind kind) { sdk.session.current.store(kind); }

current_kind current(play_session_part& sdk) { return sdk.session.current.load(); }

base_conn* current_conn(play_session_part& sdk)
{
    switch (current(sdk)) {
    case current_kind::mgr:
        return &sdk.mgr;
    case current_kind::local:
        return &sdk.local;
    default:
        return nullptr;
    }
}

base_conn* online_conn(play_session_part& sdk)
{
    const conn_state state = connection_state().load();
    if (state == conn_state::mgr_online && current(sdk) == current_kind::mgr) return &sdk.mgr;
    if (state == conn_state::local_online && current(sdk) == current_kind::local) return &sdk.local;
    return nullptr;
}

session_conn online_conn()
{
    session_hold hold;
    base_conn* conn = online_conn(*hold);
    if (conn == nullptr) return {};
    return session_conn(std::move(hold), conn);
}

int32_t local_mark(play_session_part& sdk) { return sdk.session.local_mark.load(); }

void set_local_mark(play_session_part& sdk, int32_t mark) { sdk.session.local_mark.store(mark); }

} // namespace qn_net
