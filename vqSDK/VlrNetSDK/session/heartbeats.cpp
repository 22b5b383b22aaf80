#include "vqSDK/VlrNetSDK/session/heartbeats.h"

#include <mutex>
#include <thread>

#include "Depend/qn_log.h"
#include "vqSDK/VlrNetSDK/media/frame_deck.h"
#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/net_utils.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

namespace qn_net::heartbeats {
namespace {

constexpr int kWaitTimedOut = 258;

void ReportServerLost(const char* testLogText)
{
    QNTestLog("%s(%d) %s\n", "MgrHeatBeatThreadProc", __LINE__, testLogText);
    RaiseEvent(nullptr, QN_NET_EVENT_SERVER_LOST, 0, 0);
}

bool MgrPeriod(play_session_part& sdk)
{
    mgr_conn& mgr = sdk.mgr;
    if (mgr.connected() != mgr_conn::kSignedIn) return true;
    const int32_t live = mgr.live_count.load();
    if (live >= kOnlineQueryFirst && live <= kOnlineQueryLast) {
        QN_NET_OnLineState(mgr.play_camera.load());
        QNLogPrint("######%s(%d) livecount:%d\n", "MgrHeatBeatThreadProc", __LINE__, live);
    }
    if (live < kGiveUpCount) {
        const int sent = mgr.send_raw(mgr_request::heartbeat(current_request_values()));
        // A peer that closed the stream is as gone as one that reset it.
        const bool aborted = sent == utils::kConnectionAborted || mgr.peer_gone.load();
        if (!aborted) {
            mgr.live_count.fetch_add(1);
            return true;
        }
        {
            std::lock_guard<std::mutex> lock(mgr.state_mutex());
            connection_state().store(conn_state::none);
            mgr.mgr_delete();
        }
        QN_NET_Base_connect(1, 0, 0, 0);
    } else {
        std::lock_guard<std::mutex> lock(mgr.state_mutex());
        connection_state().store(conn_state::none);
        mgr.mgr_delete();
    }
    QNLogPrint("%s(%d) mgr disconnect  please sign in again\n", "MgrHeatBeatThreadProc", __LINE__);
    ReportServerLost("mgr disconnect please sign in again");
    return true;
}

bool LocalPeriod(play_session_part& sdk)
{
    local_conn& local = sdk.local;
    if (connection_state().load() == conn_state::local_online && current(sdk) == current_kind::local) {
        if (local.live_count.load() <= 9 && !local.peer_gone.load()) {
            local.send_raw(mgr_request::heartbeat(current_request_values()));
            local.live_count.fetch_add(1);
            return true;
        }
    }
    {
        std::lock_guard<std::mutex> lock(local.state_mutex());
        if (current(sdk) == current_kind::local) connection_state().store(conn_state::none);
        local.local_delete();
    }
    QNLogPrint("%s(%d) local   disconnect  please sign in again\n", "LocalHeatProc", __LINE__);
    QNTestLog("%s(%d) local   disconnect  please sign in again\n", "LocalHeatProc", __LINE__);
    RaiseEvent(nullptr, QN_NET_EVENT_SERVER_LOST, 0, 0);
    return false;
}

bool IpcPeriod(play_session_part& sdk)
{
    ipc_conn& ipc = sdk.ipc;
    if (!ipc.streaming()) return true;
    if (ipc.no_stream() < static_cast<uint32_t>(kStreamGiveUpCount)) {
        ipc.keep_alive();
        ipc.count_no_stream();
        return true;
    }
    ipc.close();
    TraceShort("##############ipc no stream\n");
    RaiseEvent(nullptr, QN_NET_EVENT_STREAM_STOPPED, 0, 0);
    return true;
}

bool VideoPeriod(play_session_part& sdk)
{
    video_conn& video = sdk.video;
    if (!video.playing()) return true;
    if (video.missed_keep_alives() < static_cast<uint32_t>(kStreamGiveUpCount)) {
        video.keep_alive();
        video.count_missed_keep_alive();
        return true;
    }
    const auto camera = static_cast<int32_t>(video.camera());
    const auto playType = static_cast<int32_t>(video.stream());
    video.close();
    sdk.deck.reset();
    RaiseEvent(nullptr, QN_NET_EVENT_STREAM_STOPPED, camera, playType);
    return true;
}

} // namespace

void watcher::start(const session_ref& owner, COSEvent& exit, std::function<bool()> period, const char* exitTrace)
{
    std::lock_guard<std::mutex> lock(mutex_);
    join_locked();
    exit.Reset();
    exit_ = &exit;
    std::weak_ptr<sdk_session> session = owner;
    thread_ = std::thread([session, &exit, period = std::move(period), exitTrace] {
        while (exit.Wait(kPeriodMs) == kWaitTimedOut) {
            bool again = false;
            {
                const session_ref held = session.lock();
                if (!held) return;
                const own_session_mark mark(held.get());
                again = period();
            }
            // Gone: ended by a callback of this very thread, which has let go
            // of the last reference; nothing of the session is left to touch.
            if (session.expired()) return;
            if (!again) break;
        }
        if (exitTrace != nullptr) Trace("%s", exitTrace);
    });
}

void watcher::stop()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (exit_ != nullptr) exit_->Set();
    join_locked();
}

void watcher::join_locked()
{
    if (!thread_.joinable()) return;
    // A user callback run by this watcher may drop the connection it
    // watches; the thread is on its way out then and cannot wait for itself.
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

void start_connection_watchers(play_session_part& sdk)
{
    const session_ref owner = sdk.session.shared_from_this();
    connection_watchers& w = sdk.watchers;
    w.mgr.start(owner, sdk.mgr.exit_event(), [&sdk] { return MgrPeriod(sdk); }, nullptr);
    w.video.start(owner, sdk.video.exit_event(), [&sdk] { return VideoPeriod(sdk); },
                  "##############\tVideoHeatProc exit");
    w.ipc.start(owner, sdk.ipc.exit_event(), [&sdk] { return IpcPeriod(sdk); }, "##############LanHeatProc exit");
}

void stop_connection_watchers(play_session_part& sdk)
{
    sdk.watchers.video.stop();
    sdk.watchers.ipc.stop();
    sdk.watchers.mgr.stop();
}

void start_local(play_session_part& sdk)
{
    sdk.watchers.local.start(sdk.session.shared_from_this(), sdk.local.exit_event(),
                             [&sdk] { return LocalPeriod(sdk); }, "LocalHeatProc  exit");
}

void stop_local(play_session_part& sdk) { sdk.watchers.local.stop(); }

} // namespace qn_net::heartbeats
