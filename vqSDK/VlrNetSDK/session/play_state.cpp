#include "vqSDK/VlrNetSDK/session/play_state.h"

#include <mutex>

#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

namespace qn_net::play {

int32_t current_route(play_session_part& sdk)
{
    std::lock_guard<std::mutex> lock(sdk.play_mutex);
    return sdk.play.route;
}

} // namespace qn_net::play
