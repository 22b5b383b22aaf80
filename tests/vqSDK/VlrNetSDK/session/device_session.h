// A signed-in management session against the simulated management server,
// for the device-call tests, with the values the server's request checker
// (tools/camsim check_requests) expects and the answer pattern it sends.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/net_socket.h"
#include "support/run_command.h"
#include "support/temp_folder.h"
#include "vqSDK/VlrNetSDK/camsim_peer.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "support/wait_until.h"

namespace device_test {

// The checker's test values: camera, U, L, T, the arguments a and b, the five
// alarm-picture values, and the caller's record (byte i is 0x40 + i).
constexpr int32_t kCamera = 0x01020304;
constexpr uint32_t kUser = 0x05060708;
constexpr uint32_t kLoginNumber = 0x090A0B0C;
constexpr uint32_t kLastId = 0x0D0E0F10;
constexpr int32_t kArgA = 0x21;
constexpr int32_t kArgB = 0x22;
constexpr int32_t kPictureArgs[5] = {0x32, 0x33, 0x34, 0x35, 0x36};
constexpr std::size_t kRecordBytes = 256;

inline std::vector<uint8_t> TestRecord()
{
    std::vector<uint8_t> record(kRecordBytes);
    for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(0x40 + i);
    return record;
}

inline void PutU32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint32_t GetU32(const std::vector<uint8_t>& bytes, std::size_t at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | bytes[at + i];
    return value;
}

// The body of a device answer of the simulated server: its pattern, the
// camera at 0 and, for camera commands, the sub-command at 12.
inline std::vector<uint8_t> AnswerBody(std::size_t total, uint32_t sub = 0, uint32_t camera = kCamera)
{
    std::vector<uint8_t> body(total - 20);
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>((i * 7 + 3) & 0xFF);
    PutU32(body, 0, camera);
    if (sub != 0) PutU32(body, 12, sub);
    return body;
}
constexpr std::size_t kCommandTotal = 256;
constexpr std::size_t kInner = 16;  // camera-command answers: the payload starts here

inline int32_t LastError()
{
    int32_t code = 0;
    QN_NET_GetLastError(&code);
    return code;
}

// The events the SDK raised, with the bytes of a finished picture.
class EventLog {
public:
    struct event {
        int32_t code, value1, value2;
    };
    static void On(void* record, int32_t code, int32_t value1, int32_t value2, void* user)
    {
        auto* self = static_cast<EventLog*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->events_.push_back({code, value1, value2});
        if (code == QN_NET_EVENT_ALARM_PIC_DONE && record != nullptr && value2 > 0) {
            const auto* bytes = static_cast<const uint8_t*>(record);
            self->pictures_.emplace_back(bytes, bytes + value2);
        }
        self->changed_.notify_all();
    }
    // Waits until `count` events of `code` were raised.
    bool WaitFor(int32_t code, std::size_t count, std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return Of(code).size() >= count; });
    }
    std::vector<event> Events(int32_t code)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return Of(code);
    }
    std::vector<std::vector<uint8_t>> Pictures()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return pictures_;
    }

private:
    std::vector<event> Of(int32_t code) const
    {
        std::vector<event> found;
        for (const event& e : events_) {
            if (e.code == code) found.push_back(e);
        }
        return found;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<event> events_;
    std::vector<std::vector<uint8_t>> pictures_;
};

class DeviceSession : public ::testing::Test {
protected:
    // Starts the simulated server with `options` and, when `signIn`, signs in
    // to it (current state 3).
    void Start(const std::string& options = {}, bool signIn = true)
    {
        peer_ = std::make_unique<netsdk_test::CamsimServer>("mgr", options);
        ASSERT_NE(peer_->Port(), 0) << "the simulated management server did not start";
        QN_NET_SetMsgCallBack(&EventLog::On, nullptr, &events_);
        ASSERT_EQ(QN_NET_Init("127.0.0.1"), 1);
        qn_net::login_values login;
        login.user_id = kUser;
        login.login_number = kLoginNumber;
        ASSERT_TRUE(platform::TextToIPv4("127.0.0.1", &login.mgr_ipv4));
        login.mgr_port = peer_->Port();
        qn_net::store_login_values(login);
        qn_net::set_last_id(kLastId);
        qn_net::global_set().user_id.store(kUser);
        if (signIn) {
            ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
        }
    }
    void TearDown() override
    {
        QN_NET_Logout(kUser);
        QN_NET_Cleanup();
        QN_NET_SetMsgCallBack(nullptr, nullptr, nullptr);
        qn_net::global_set().camera_timeout_ms.store(3000);
        qn_net::global_set().user_id.store(0xFFFFFFFFu);
        qn_net::forget_login();
        peer_.reset();
    }

    // The frames the peer received, heartbeats and sign-in left out.
    std::vector<std::string> AskedFrames() const
    {
        std::vector<std::string> asked;
        for (const std::string& line : peer_->Frames()) {
            if (line.rfind("{\"id\": 1,", 0) != 0 && line.rfind("{\"id\": 20200,", 0) != 0) asked.push_back(line);
        }
        return asked;
    }

    // Checks with the server's own request tables that the session sent
    // exactly `calls` (one "name [arg=value ...]" each), in order. Empty when
    // all matched, else the checker's account.
    std::string CheckRequests(const std::vector<std::string>& calls)
    {
        // A send-only request may still be on its way when its call returned.
        testing_support::WaitUntil([&] { return AskedFrames().size() >= calls.size(); }, testing_support::kEventBoundMs, 20);
        testing_support::TempFolder folder;
        const std::string framesPath = folder.Path() + "/frames.jsonl";
        const std::string callsPath = folder.Path() + "/calls.txt";
        {
            std::ofstream frames(framesPath);
            for (const std::string& line : peer_->Frames()) frames << line << "\n";
            std::ofstream list(callsPath);
            for (const std::string& call : calls) list << call << "\n";
        }
        const auto checked = testing_support::RunCommand(
            "PYTHONPATH=" OSTRELS_SOURCE_DIR "/tools/camsim /usr/bin/python3 -m camsim.check_requests --frames " +
            framesPath + " " + callsPath + " 2>&1");
        if (checked.exitCode == 0) return {};
        return checked.output.empty() ? "the request checker did not run" : checked.output;
    }

    netsdk_test::CamsimServer& Peer() { return *peer_; }

    EventLog events_;
    std::unique_ptr<netsdk_test::CamsimServer> peer_;
};

} // namespace device_test
