// The watch threads of the connections. Every 2000 ms each sends its
// connection's keep-alive and counts the periods without an answer; a
// connection that stays silent too long is closed and reported (80008 for the
// management and local connections, 1006 for a stream).
#pragma once

#include <functional>
#include <mutex>
#include <thread>

#include "vqSDK/VlrNetSDK/os_event.h"
#include "vqSDK/VlrNetSDK/sdk_session.h"

namespace qn_net {
struct play_session_part;
}

namespace qn_net::heartbeats {

constexpr int kPeriodMs = 2000;
// Heartbeats without any message back before the management or local
// connection counts as lost; from kOnlineQueryFirst to kOnlineQueryLast the
// management heartbeat also asks whether the playing camera is on line.
constexpr int kGiveUpCount = 10;
constexpr int kOnlineQueryFirst = 3;
constexpr int kOnlineQueryLast = 8;
// Keep-alive periods without a media block before a stream counts as stopped.
constexpr int kStreamGiveUpCount = 5;

// One watcher: a thread that runs its period every kPeriodMs until its exit
// event is set, or until the period returns false; either way it ends with
// its exit trace, when it has one. A period holds the watcher's session, so a
// callback it raises may end that session; the thread then touches nothing
// of it any more.
class watcher {
public:
    watcher() = default;
    ~watcher() { stop(); }
    watcher(const watcher&) = delete;
    watcher& operator=(const watcher&) = delete;

    void start(const session_ref& owner, COSEvent& exit, std::function<bool()> period, const char* exitTrace);
    // Signals the exit event and joins the thread.
    void stop();

private:
    void join_locked();

    std::mutex mutex_;
    std::thread thread_;
    COSEvent* exit_ = nullptr;
};

// The watchers of one session, stopped in this order when it ends.
struct connection_watchers {
    ~connection_watchers()
    {
        video.stop();
        ipc.stop();
        mgr.stop();
        local.stop();
    }
    watcher mgr;
    watcher video;
    watcher ipc;
    watcher local;
};

// QN_NET_Init: the management, video and camera watchers.
void start_connection_watchers(play_session_part& sdk);
// Signals and joins them.
void stop_connection_watchers(play_session_part& sdk);

// The local connection's heartbeat, from a type-2 QN_NET_Base_connect until
// the connection is dropped or lost.
void start_local(play_session_part& sdk);
// Signals the local heartbeat to end and joins it.
void stop_local(play_session_part& sdk);

} // namespace qn_net::heartbeats
