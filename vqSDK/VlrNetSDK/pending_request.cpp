#include "vqSDK/VlrNetSDK/pending_request.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace qn_net {
namespace {

void WakeClosed(pending_request& record)
{
    if (record.completed) return;
    record.result = -1;
    record.connectionClosed = true;
    record.completed = true;
    record.event.Set();
}

} // namespace

pending_request::pending_request(const char* requestName)
{
    platform::CopyBounded(name, sizeof name, requestName == nullptr ? "" : requestName);
    event.Create(true, false, name);
}

pending_request::~pending_request() { event.Close(); }

void pending_list::add(int32_t camera, int32_t kind, pending_request* record)
{
    if (record == nullptr) return;
    std::lock_guard<std::mutex> lock(mutex_);
    record->camera = camera;
    record->kind = kind;
    records_.push_back(record);
    if (closed_) WakeClosed(*record);
}

bool pending_list::complete(int32_t camera, int32_t result, int32_t kind, const void* data, int32_t length)
{
    if (exiting_.load()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    for (pending_request* record : records_) {
        if (record->completed || record->camera != camera || record->kind != kind) continue;
        record->result = result;
        if (data != nullptr && length > 0) {
            record->data.reset(new uint8_t[static_cast<std::size_t>(length)]);
            std::memcpy(record->data.get(), data, static_cast<std::size_t>(length));
            record->length = length;
        }
        record->completed = true;
        record->event.Set();
        return true;
    }
    return false;
}

void pending_list::remove(pending_request* record)
{
    if (record == nullptr) return;
    std::lock_guard<std::mutex> lock(mutex_);
    records_.erase(std::remove(records_.begin(), records_.end(), record), records_.end());
}

void pending_list::fail_all(int32_t camera, int32_t, int32_t kind)
{
    if (exiting_.load()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    for (pending_request* record : records_) {
        if (record->completed || record->camera != camera || record->kind != kind) continue;
        record->result = -1;
        record->completed = true;
        record->event.Set();
    }
}

void pending_list::abandon_all()
{
    exiting_.store(true);
    std::lock_guard<std::mutex> lock(mutex_);
    for (pending_request* record : records_) {
        if (record->completed) continue;
        record->result = -1;
        record->completed = true;
        record->event.Set();
    }
    records_.clear();
}

void pending_list::connection_closed()
{
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    for (pending_request* record : records_) WakeClosed(*record);
}

void pending_list::reopen()
{
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = false;
    exiting_.store(false);
}

std::size_t pending_list::size() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return records_.size();
}

wait_outcome await_reply(pending_list& list, pending_request& record, int64_t timeoutMs)
{
    int waited = record.event.Wait(timeoutMs);
    list.remove(&record);
    if (waited != 0) return wait_outcome::timed_out;
    if (record.data != nullptr) return wait_outcome::replied;
    if (record.connectionClosed) return wait_outcome::closed;
    return record.result == -1 ? wait_outcome::refused : wait_outcome::no_data;
}

} // namespace qn_net
