// The race of one live-play start: the local route straight to the camera
// (LocalRealPlayProc) against the public route through the video server
// (PublicRealPlayProc), each on a thread of its own.
//
// The threads are owned and tagged with the start's generation. Every stop
// and every new start cancels the race and joins both threads before it
// touches the connections, and a thread changes the shared play state only
// while its generation is the current one and its race is not cancelled, so
// a late takeover can never reach a newer play.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "vqSDK/VlrNetSDK/os_event.h"
#include "vqSDK/VlrNetSDK/pending_request.h"
#include "vqSDK/VlrNetSDK/sdk_session.h"
#include "vqSDK/VlrNetSDK/session/play_state.h"

namespace qn_net::play {

struct route_race {
    route_race(session_ref session, uint32_t camera, uint64_t generation);

    // The session the start was made in: a route thread that outlives it
    // changes only that session's play state.
    const session_ref session;
    const uint32_t camera;
    const uint64_t generation;
    std::atomic<bool> cancelled{false};
    // Registered before the video-address request goes out: both answers
    // may follow it at once.
    pending_request local_address{"localaddress"};
    pending_request video_address{"videoaddress"};
    // Set by the route that decides the race ("localrealplay").
    COSEvent decided;

    // The session library's part of the race's session.
    play_session_part& sdk() const;
    // True while this race's play is the current one. The caller holds the
    // session's play mutex.
    bool current_locked() const;
    // The race's play state; the caller holds the session's play mutex.
    shared_state& state_locked() const;
};

// The two threads of the latest start.
class race_runner {
public:
    race_runner() = default;
    ~race_runner();
    race_runner(const race_runner&) = delete;
    race_runner& operator=(const race_runner&) = delete;

    // Starts both route threads of `race`, after finishing any earlier race.
    void start(const std::shared_ptr<route_race>& race);
    // True while a race has threads that were not joined (or are being
    // joined by another caller).
    bool running();
    // Tells the running race's threads to change nothing any more and wakes
    // their waits; they end soon after.
    void cancel();
    // Cancels the running race, wakes every wait of its threads and joins
    // them. A thread that calls this from a callback it raised is left to
    // end by itself.
    void finish();

private:
    bool joined_by_other_locked() const;

    std::mutex mutex_;
    std::shared_ptr<route_race> race_;
    std::thread local_;
    std::thread public_;
    // The threads a finish() is joining, and the signal that it is done.
    std::vector<std::thread::id> joining_;
    std::condition_variable joinedAll_;
};

// The route threads (live_play_routes.cpp).
void local_route(const std::shared_ptr<route_race>& race);
void public_route(const std::shared_ptr<route_race>& race);

} // namespace qn_net::play

namespace qn_net::play {

// Finishes the session's running race with `calls` (a lock of its
// play_calls_mutex) released for the join, and held again on return.
void finish_race(play_session_part& sdk, std::unique_lock<std::mutex>& calls);

// Logout and cleanup: finishes the latest start's race and online check, so
// that no play thread holds the session any more.
void end_play_threads(play_session_part& sdk);

} // namespace qn_net::play
