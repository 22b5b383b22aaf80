// The play state that live play, card playback and talk share: which route
// the running live play took, and how far each route of the latest start got.
// Everything in shared_state is read and written under the play mutex of its
// session (sdk_objects.h).
#pragma once

#include <cstdint>

namespace qn_net {
struct play_session_part;
}

namespace qn_net::play {

enum route : int32_t { kPublicRoute = 0, kLocalRoute = 1 };
enum route_state : int32_t { kRouteRunning = 0, kRouteFailed = 1, kRouteUp = 2 };

struct shared_state {
    // The route of the running live play; public until a play chose one.
    int32_t route = kPublicRoute;
    int32_t local = kRouteRunning;
    int32_t publicState = kRouteRunning;
    // Counts the starts; a route thread of an older start changes nothing.
    uint64_t generation = 0;
};

// The route flag, read under the play mutex.
int32_t current_route(play_session_part& sdk);

} // namespace qn_net::play
