// Pending requests: how an SDK call waits for the reply to its request. The
// caller registers a named record under a key (camera id, request kind), sends,
// and waits on the record's event; the reply handler on the receive thread
// finds the record by its key, stores the reply and signals.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "vqSDK/VlrNetSDK/os_event.h"

namespace qn_net {

struct pending_request {
    explicit pending_request(const char* name);
    ~pending_request();
    pending_request(const pending_request&) = delete;
    pending_request& operator=(const pending_request&) = delete;

    int32_t kind = 0;
    int32_t camera = 0;
    // The reply's copy and its length, stored before the event is signalled
    // and read by the waiter only after its wait ended signalled.
    std::unique_ptr<uint8_t[]> data;
    int32_t length = 0;
    int32_t result = 0;  // -1 when the request was failed without a reply
    bool completed = false;
    bool connectionClosed = false;  // woken because the connection closed under it
    char name[128] = {};
    COSEvent event;  // manual reset, created not signalled
};

// The request list of one connection.
class pending_list {
public:
    void add(int32_t camera, int32_t kind, pending_request* record);
    // Completes the first waiting record with this key that has not been
    // completed yet: a second reply never overwrites what a waiter reads.
    // False when no record waits for it (the reply is dropped).
    bool complete(int32_t camera, int32_t result, int32_t kind, const void* data, int32_t length);
    // Removes the record; an empty list or a record not listed is accepted.
    void remove(pending_request* record);
    // Wakes every waiting record with this key with result -1.
    void fail_all(int32_t camera, int32_t ignored, int32_t kind);
    // Teardown: completions stop, every waiter wakes at once with result -1,
    // and the list is emptied (the records stay their callers').
    void abandon_all();
    // The peer closed or reset the connection: no reply can come any more, so
    // every waiter wakes at once, and a record added later wakes as it is added.
    void connection_closed();
    // Allows completions again after a teardown, for a new connection.
    void reopen();

    bool exiting() const { return exiting_.load(); }
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::vector<pending_request*> records_;
    std::atomic<bool> exiting_{false};
    bool closed_ = false;  // under mutex_
};

enum class wait_outcome {
    replied,    // signalled with reply data
    no_data,    // signalled, no data and a result other than -1
    refused,    // signalled by fail_all or teardown (result -1, no data)
    closed,     // the connection closed before the reply came (result -1, no data)
    timed_out,
};

// Ended without any reply: timed out, refused, or its connection closed.
inline bool unanswered(wait_outcome outcome)
{
    return outcome == wait_outcome::timed_out || outcome == wait_outcome::refused || outcome == wait_outcome::closed;
}

// Waits for the record's reply for at most `timeoutMs`, then removes it from
// the list.
wait_outcome await_reply(pending_list& list, pending_request& record, int64_t timeoutMs);

} // namespace qn_net
