// The course every device call shares: the argument and camera checks, the
// send over the current connection, the wait for the named answer and the
// copy of what the caller asked for. Each step that fails leaves its code and
// its trace line, so a call only has to say what is its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vqSDK/VlrNetSDK/base_conn.h"
#include "vqSDK/VlrNetSDK/mgr_requests.h"
#include "vqSDK/VlrNetSDK/pending_request.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

namespace qn_net::device_call {

// Wait of a call that uses the camera time-out of the settings block.
constexpr int64_t kCameraTimeout = 0;
// The clock, the PTZ status, the panorama and the alarm picture wait longer.
constexpr int64_t kLongWaitMs = 4000;

// After the start line: the argument check (14000 "illegal param"), then the
// camera check ("parameter error", its code kept). The connection the call
// goes over, held with its session, or none when a check failed.
session_conn checked_conn(CallReport& report, int32_t camera, bool argumentsValid);

// A send-only request. On failure 12003 with "failed(send data failed)", or
// with `failTrace` as the whole line where the call traces its own.
int send_only(CallReport& report, base_conn& conn, const encoded_request& request, const char* failTrace = nullptr);

enum class exchange_result { not_sent, timed_out, refused, answered };
// Registers `record`, sends and waits `waitMs` (kCameraTimeout: the settings'
// camera time-out); the record is out of the list afterwards, on every path.
exchange_result send_and_wait(base_conn& conn, const encoded_request& request, pending_request& record,
                              int64_t waitMs);

// send_and_wait with the common reports: 12003 "send data failed", 15000
// "timeout" (a connection torn down while waiting ends the same way), and for
// calls the camera may not support, status -1: 11509 "<name> NonSupport".
// True when an answer is in the record.
bool exchange(CallReport& report, base_conn& conn, const encoded_request& request, pending_request& record,
              int64_t waitMs, bool mayBeUnsupported = false);

// Copies `count` answer bytes from `offset` to `out`. An answer that does not
// hold them all copies nothing: 12004 with "failed(no data)", or `shortTrace`
// as the whole line.
bool copy_answer(CallReport& report, const pending_request& record, void* out, std::size_t count,
                 std::size_t offset = 0, const char* shortTrace = nullptr);

// The answer's 32-bit value at `offset`; the caller has checked the length.
int32_t answer_value(const pending_request& record, std::size_t offset);

// The three forms most calls take. `encode` builds the request from the SDK's
// values once the checks have passed.

// Send only: true when sent.
template <class Encode>
int send_request(CallReport& report, int32_t camera, bool argumentsValid, Encode encode,
                 const char* failTrace = nullptr)
{
    const session_conn conn = checked_conn(report, camera, argumentsValid);
    if (conn == nullptr) return 0;
    return send_only(report, *conn, encode(current_request_values()), failTrace);
}

struct read_spec {
    const char* pending;
    int64_t waitMs = kCameraTimeout;
    bool mayBeUnsupported = false;
};

// Reads `size` answer bytes into `out` (not null); no success line.
template <class Encode>
bool read_record(CallReport& report, const read_spec& spec, int32_t camera, void* out, std::size_t size,
                 Encode encode)
{
    const session_conn conn = checked_conn(report, camera, out != nullptr);
    if (conn == nullptr) return false;
    pending_request record(spec.pending);
    return exchange(report, *conn, encode(current_request_values()), record, spec.waitMs, spec.mayBeUnsupported) &&
           copy_answer(report, record, out, size);
}

// Reads the answer's status value into `status`; no success line.
template <class Encode>
bool read_status(CallReport& report, const char* pending, int32_t camera, int32_t* status, Encode encode)
{
    const session_conn conn = checked_conn(report, camera, true);
    if (conn == nullptr) return false;
    pending_request record(pending);
    if (!exchange(report, *conn, encode(current_request_values()), record, kCameraTimeout)) return false;
    *status = record.result;
    return true;
}

// Whole calls whose start line is "<name> start cameraid = %d" and whose
// success line is "<name> success".
template <class Encode>
int send_call(const char* name, int32_t camera, bool argumentsValid, Encode encode, const char* failTrace = nullptr)
{
    CallReport report(name, "cameraid = %d", camera);
    return send_request(report, camera, argumentsValid, encode, failTrace);
}

template <class Encode>
int read_call(const char* name, const read_spec& spec, int32_t camera, void* out, std::size_t size, Encode encode)
{
    CallReport report(name, "cameraid = %d", camera);
    return read_record(report, spec, camera, out, size, encode) ? report.Succeed() : 0;
}

// The status value, or -1: 0 is a status like any other.
template <class Encode>
int status_call(const char* name, const char* pending, int32_t camera, Encode encode)
{
    CallReport report(name, "cameraid = %d", camera);
    int32_t status = 0;
    if (!read_status(report, pending, camera, &status, encode)) return -1;
    report.Succeed();
    return status;
}

} // namespace qn_net::device_call
