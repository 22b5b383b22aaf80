#include "vqSDK/VlrNetSDK/session/play_state.h"

#include "vqSDK/VlrNetSDK/session/sdk_objects.h"
#include "vqSDK/VlrNetSDK/session/sdk_session.h"

namespace qn_net::play {

int32_t current_route()
{
    const session_ref current = session();
    std::lock_guard<std::mutex> lock(play_mutex());
    return play_part(*current).play.route;
}

std::mutex& play_calls_mutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace qn_net::play
