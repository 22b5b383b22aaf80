// The online check of live play: asks the management server whether a camera
// is on line, at most once per camera per second, and keeps the answer (1 on
// line, 0 off line, 2 no answer) for the start that asked.
//
// The answer is awaited for 500 ms on a thread this object owns; a new check
// or stop() ends the previous wait first, so no late answer of an older check
// overwrites a newer one.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "vqSDK/VlrNetSDK/base_conn.h"
#include "vqSDK/VlrNetSDK/pending_request.h"

namespace qn_net::play {

class online_check {
public:
    static constexpr int64_t kAnswerWaitMs = 500;
    static constexpr int32_t kNoAnswer = 2;

    // Asks over `mgr`, which outlives the check.
    explicit online_check(mgr_conn& mgr) : mgr_(mgr) {}
    ~online_check();
    online_check(const online_check&) = delete;
    online_check& operator=(const online_check&) = delete;

    // Sends the check unless this camera was checked within the current
    // second; false (12003 set) when it could not be sent.
    bool run(uint32_t camera);
    // The online value once the running check's wait is over.
    int32_t value();
    // Ends the running wait and joins its thread.
    void stop();

private:
    void join_locked();

    mgr_conn& mgr_;
    std::mutex mutex_;
    std::thread thread_;
    std::shared_ptr<pending_request> record_;
    std::atomic<int32_t> value_{kNoAnswer};
    uint32_t lastCamera_ = 0;
    int64_t lastSecond_ = -1;
};

} // namespace qn_net::play
