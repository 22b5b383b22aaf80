// A whole play session against the simulated service on loopback: the
// management server with its play answers, a LAN camera and a video server
// streaming a real H.264 file, sign-in, and what the SDK reports back
// (events, trace lines, frames).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/net_socket.h"
#include "platform/processes.h"
#include "vqSDK/VlrNetSDK/loopback_pair.h"
#include "support/this_process.h"
#include "vqSDK/VlrNetSDK/camsim_peer.h"
#include "vqSDK/VlrNetSDK/media/media_peer.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

namespace play_test {

using media_test::DeliveredFrame;
using media_test::FrameSink;
using media_test::ManifestFrame;
using media_test::MediaFixture;
using media_test::MediaPeer;
using netsdk_test::CamsimServer;

constexpr int32_t kCamera = 7;
constexpr uint32_t kUser = 5101;
// The simulated LAN camera numbers its frames from 1001, so that frames of
// the two routes can be told apart in one callback.
constexpr uint32_t kLocalFrameBase = 1000;
constexpr const char* kLocalNumbering = "--first-frame 1001 ";
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
// A sanitizer slows the receiver on a busy machine; a slower video server
// keeps its frames inside their resend window.
constexpr const char* kVideoPace = "--frame-gap 0.01 ";
#else
constexpr const char* kVideoPace = "";
#endif

struct Event {
    int32_t code;
    int32_t first;
    int32_t second;
};

class EventLog {
public:
    static void On(void*, int32_t code, int32_t first, int32_t second, void* user)
    {
        auto* self = static_cast<EventLog*>(user);
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->events_.push_back({code, first, second});
        }
        self->changed_.notify_all();
    }
    bool WaitFor(int32_t code, int ms)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return CountLocked(code) > 0; });
    }
    std::vector<Event> Of(int32_t code)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<Event> chosen;
        for (const Event& e : events_) {
            if (e.code == code) chosen.push_back(e);
        }
        return chosen;
    }

private:
    int CountLocked(int32_t code) const
    {
        return static_cast<int>(std::count_if(events_.begin(), events_.end(), [&](const Event& e) { return e.code == code; }));
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
};

// The SDK's trace lines.
class TraceLog {
public:
    static void On(const char* text)
    {
        std::lock_guard<std::mutex> lock(Mutex());
        Lines().push_back(text);
    }
    static bool Has(const std::string& text)
    {
        std::lock_guard<std::mutex> lock(Mutex());
        return std::any_of(Lines().begin(), Lines().end(),
                           [&](const std::string& line) { return line.find(text) != std::string::npos; });
    }

private:
    static std::mutex& Mutex()
    {
        static std::mutex mutex;
        return mutex;
    }
    static std::vector<std::string>& Lines()
    {
        static std::vector<std::string> lines;
        return lines;
    }
};


using testing_support::ThreadCount;

// Frames of one route, renumbered as the source file counts them.
inline std::vector<DeliveredFrame> FramesBetween(const std::vector<DeliveredFrame>& frames, uint32_t first,
                                                 uint32_t last, uint32_t base)
{
    std::vector<DeliveredFrame> chosen;
    for (DeliveredFrame frame : frames) {
        if (frame.number < first || frame.number > last) continue;
        frame.number -= base;
        chosen.push_back(frame);
    }
    return chosen;
}

inline std::vector<ManifestFrame> Renumbered(std::vector<ManifestFrame> manifest, uint32_t base)
{
    for (ManifestFrame& frame : manifest) frame.number -= base;
    return manifest;
}

// Messages with this id in a management-server log line set.
inline std::vector<std::string> MgrBodies(const CamsimServer& mgr, int msgId)
{
    const std::string key = "{\"id\": " + std::to_string(msgId) + ",";
    std::vector<std::string> bodies;
    for (const std::string& line : mgr.Frames()) {
        if (line.rfind(key, 0) != 0) continue;
        const auto at = line.find("\"body\": \"");
        if (at == std::string::npos) continue;
        const auto from = at + 9;
        bodies.push_back(media_test::HexBytes(line.substr(from, line.find('"', from) - from)));
    }
    return bodies;
}

inline const MediaFixture& Media()
{
    static MediaFixture fixture;
    return fixture;
}

// Which simulated peers a test plays against, and their options.
struct SessionPeers {
    SessionPeers& Camera(const std::string& options)
    {
        cameraOptions = options;
        return *this;
    }
    SessionPeers& NoCamera()
    {
        camera = false;
        return *this;
    }
    SessionPeers& Video(const std::string& options)
    {
        videoOptions = options;
        return *this;
    }
    SessionPeers& NoVideo()
    {
        video = false;
        return *this;
    }
    SessionPeers& Mgr(const std::string& options)
    {
        mgrOptions = options;
        return *this;
    }

    bool camera = true;
    std::string cameraOptions;
    bool video = true;
    std::string videoOptions;
    std::string mgrOptions;
};

class PlaySession : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Media().ok) << "ffmpeg could not make the test stream";
        // A port range of this process's own, away from the service's.
        const int first = 30000 + (platform::CurrentProcessId() % 700) * 40;
        qn_net::ports().udp_first.store(static_cast<uint16_t>(first));
        qn_net::ports().udp_last.store(static_cast<uint16_t>(first + 39));
        QN_NET_SetMsgCallBack(&EventLog::On, nullptr, &events);
        QN_NET_SetDebugCallBack(&TraceLog::On);
        ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
        ASSERT_EQ(QN_NET_SetRealDataCallBack(&FrameSink::OnData, live.Value()), 1);
    }
    void TearDown() override
    {
        QN_NET_StopRealPlay(kCamera);
        if (qn_net::connection_state().load() != qn_net::conn_state::none || qn_net::session_hold()->mgr.connected() != 0) {
            QN_NET_Logout(kUser);
        }
        EXPECT_EQ(QN_NET_Cleanup(), 1);
        QN_NET_SetMsgCallBack(nullptr, nullptr, nullptr);
        QN_NET_SetDebugCallBack(nullptr);
    }

    // Starts the peers and signs in to the management server.
    void SignIn(const SessionPeers& peers)
    {
        std::string options = peers.mgrOptions;
        if (peers.camera) {
            camera = std::make_unique<MediaPeer>("lan_camera", Media(), kLocalNumbering + peers.cameraOptions);
            ASSERT_NE(camera->Port(), 0) << "the simulated LAN camera did not start";
            options += " --camera-port " + std::to_string(camera->Port());
        }
        if (peers.video) {
            video = std::make_unique<MediaPeer>("video_server", Media(), kVideoPace + peers.videoOptions);
            ASSERT_NE(video->Port(), 0) << "the simulated video server did not start";
            options += " --video-port " + std::to_string(video->Port());
        }
        mgr = std::make_unique<CamsimServer>("mgr", options);
        ASSERT_NE(mgr->Port(), 0) << "the simulated management server did not start";
        qn_net::login_values login;
        login.user_id = kUser;
        login.mgr_ipv4 = netsdk_test::LoopbackIPv4();
        login.mgr_port = mgr->Port();
        qn_net::store_login_values(login);
        qn_net::global_set().user_id.store(kUser);
        ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
    }

    // Video frames of the live callback whose numbers lie in [first, last].
    bool WaitLiveFrame(uint32_t number, int ms)
    {
        return live.WaitVideo(
            [&](const std::vector<DeliveredFrame>& frames) {
                return std::any_of(frames.begin(), frames.end(),
                                   [&](const DeliveredFrame& f) { return f.number == number; });
            },
            ms);
    }

    EventLog events;
    FrameSink live;
    std::unique_ptr<MediaPeer> camera;
    std::unique_ptr<MediaPeer> video;
    std::unique_ptr<CamsimServer> mgr;
};

} // namespace play_test
