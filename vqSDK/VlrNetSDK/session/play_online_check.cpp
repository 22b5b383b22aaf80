#include "vqSDK/VlrNetSDK/session/play_online_check.h"

#include "platform/clock.h"
#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"

namespace qn_net::play {

online_check::~online_check() { stop(); }

bool online_check::run(uint32_t camera)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t second = platform::WallNow().seconds;
    if (camera == lastCamera_ && second == lastSecond_) return true;
    if (record_) record_->event.Set();  // the previous check's wait ends now
    join_locked();
    value_.store(kNoAnswer);
    mgr_conn& mgr = mgr_;
    auto record = std::make_shared<pending_request>("deviceonline");
    record->result = kNoAnswer;
    if (!mgr.send_twice(mgr_request::online_query(current_request_values(), static_cast<int32_t>(camera)),
                        record.get())) {
        mgr.pending().remove(record.get());
        SetLastError(QN_NET_ERR_SEND);
        Trace("QN_NET_StartRealPlay failed(mgr_online_state send data failed)");
        return false;
    }
    record_ = record;
    thread_ = std::thread([this, record] {
        record->event.Wait(kAnswerWaitMs);
        // Once removed, no reply can write the record any more.
        mgr_.pending().remove(record.get());
        if (record->completed) value_.store(record->result);
    });
    lastCamera_ = camera;
    lastSecond_ = second;
    return true;
}

int32_t online_check::value()
{
    std::lock_guard<std::mutex> lock(mutex_);
    join_locked();
    return value_.load();
}

void online_check::join_locked()
{
    if (!thread_.joinable()) return;
    thread_.join();
    record_.reset();
    // A check that got no answer (or was cut short) does not count: the next
    // start asks again, even within the same second.
    if (value_.load() == kNoAnswer) lastSecond_ = -1;
}

void online_check::stop()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (record_) record_->event.Set();
    join_locked();
}

} // namespace qn_net::play
