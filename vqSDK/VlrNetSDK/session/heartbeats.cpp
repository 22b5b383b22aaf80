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

// One watcher: a thread that runs `period` every kPeriodMs until its exit
// event is set, or until `period` returns false; either way it ends with its
// exit trace, when it has one.
class watcher {
public:
    template <typename Period>
    void start(COSEvent& exit, Period period, const char* exitTrace)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        join_locked();
        exit.Reset();
        thread_ = std::thread([&exit, period, exitTrace] {
            while (exit.Wait(kPeriodMs) == kWaitTimedOut) {
                if (!period()) break;
            }
            if (exitTrace != nullptr) Trace("%s", exitTrace);
        });
    }

    void stop(COSEvent& exit)
    {
        exit.Set();
        std::lock_guard<std::mutex> lock(mutex_);
        join_locked();
    }

private:
    void join_locked()
    {
        if (!thread_.joinable()) return;
        // A user callback run by this watcher may drop the connection it
        // watches; the thread is on its way out then and cannot wait for
        // itself.
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();
        } else {
            thread_.join();
        }
    }

    std::mutex mutex_;
    std::thread thread_;
};

watcher g_mgrWatcher;
watcher g_videoWatcher;
watcher g_ipcWatcher;
watcher g_localWatcher;

void ReportServerLost(const char* testLogText)
{
    QNTestLog("%s(%d) %s\n", "MgrHeatBeatThreadProc", __LINE__, testLogText);
    RaiseEvent(nullptr, QN_NET_EVENT_SERVER_LOST, 0, 0);
}

bool MgrPeriod()
{
    mgr_conn& mgr = objects().mgr;
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

bool LocalPeriod()
{
    local_conn& local = objects().local;
    if (connection_state().load() == conn_state::local_online && current() == current_kind::local) {
        if (local.live_count.load() <= 9 && !local.peer_gone.load()) {
            local.send_raw(mgr_request::heartbeat(current_request_values()));
            local.live_count.fetch_add(1);
            return true;
        }
    }
    {
        std::lock_guard<std::mutex> lock(local.state_mutex());
        if (current() == current_kind::local) connection_state().store(conn_state::none);
        local.local_delete();
    }
    QNLogPrint("%s(%d) local   disconnect  please sign in again\n", "LocalHeatProc", __LINE__);
    QNTestLog("%s(%d) local   disconnect  please sign in again\n", "LocalHeatProc", __LINE__);
    RaiseEvent(nullptr, QN_NET_EVENT_SERVER_LOST, 0, 0);
    return false;
}

bool IpcPeriod()
{
    ipc_conn& ipc = objects().ipc;
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

bool VideoPeriod()
{
    video_conn& video = objects().video;
    if (!video.playing()) return true;
    if (video.missed_keep_alives() < static_cast<uint32_t>(kStreamGiveUpCount)) {
        video.keep_alive();
        video.count_missed_keep_alive();
        return true;
    }
    const auto camera = static_cast<int32_t>(video.camera());
    const auto playType = static_cast<int32_t>(video.stream());
    video.close();
    frame_deck::instance().reset();
    RaiseEvent(nullptr, QN_NET_EVENT_STREAM_STOPPED, camera, playType);
    return true;
}

} // namespace

void start_connection_watchers()
{
    g_mgrWatcher.start(objects().mgr.exit_event(), MgrPeriod, nullptr);
    g_videoWatcher.start(objects().video.exit_event(), VideoPeriod, "##############\tVideoHeatProc exit");
    g_ipcWatcher.start(objects().ipc.exit_event(), IpcPeriod, "##############LanHeatProc exit");
}

void stop_connection_watchers()
{
    g_videoWatcher.stop(objects().video.exit_event());
    g_ipcWatcher.stop(objects().ipc.exit_event());
    g_mgrWatcher.stop(objects().mgr.exit_event());
}

void start_local() { g_localWatcher.start(objects().local.exit_event(), LocalPeriod, "LocalHeatProc  exit"); }

void stop_local() { g_localWatcher.stop(objects().local.exit_event()); }

} // namespace qn_net::heartbeats
