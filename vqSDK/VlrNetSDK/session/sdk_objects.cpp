#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

#include "vqSDK/VlrNetSDK/sdk_state.h"

namespace qn_net {
sdk_objects& objects()
{
    static sdk_objects single;
    return single;
}

namespace {
// The connections are made before any session, so that they are destroyed
// after it at exit: the online check's thread uses the management connection
// until its session is destroyed.
[[maybe_unused]] const bool kConnectionsFirst = (objects(), true);
} // namespace

void set_current(current_kind kind) { session()->current.store(kind); }

current_kind current() { return session()->current.load(); }

base_conn* current_conn()
{
    switch (current()) {
    case current_kind::mgr:
        return &objects().mgr;
    case current_kind::local:
        return &objects().local;
    default:
        return nullptr;
    }
}

base_conn* online_conn()
{
    const conn_state state = connection_state().load();
    if (state == conn_state::mgr_online && current() == current_kind::mgr) return &objects().mgr;
    if (state == conn_state::local_online && current() == current_kind::local) return &objects().local;
    return nullptr;
}

int32_t local_mark() { return session()->local_mark.load(); }

void set_local_mark(int32_t mark) { session()->local_mark.store(mark); }

std::mutex& play_mutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace qn_net
