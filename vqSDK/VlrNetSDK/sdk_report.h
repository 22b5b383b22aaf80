// How every QN_NET_* call reports: the SDK-wide error variable, the trace lines
// handed to the debug callback, and the events handed to the event callback.
// Every module of the SDK, the cloud-storage part included, reports through
// these so that all calls behave alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

namespace qn_net {

// The error variable: last writer wins, a success never clears it.
void SetLastError(int32_t code);
int32_t LastError();

// One trace line, "%04d-%02d-%02d %02d:%02d:%02d  <text>\n" in local time, to
// the debug callback when one is set (at most 511 bytes, cut on a character
// boundary).
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The connections' form, "sec = %ld msec = %ld  <text>\n" (at most 127 bytes).
void TraceShort(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Text from a peer (device names, cloud fields, error texts) as it may go
// into a trace line: control bytes and the backslash become "\xNN", so such
// text can neither break the line nor pass for a line of its own.
std::string TraceText(std::string_view text);

// The course of one QN_NET_* call: "<name> start" when made, then exactly one
// of "<name> failed(<reason>)" or "<name> success".
class CallReport {
public:
    explicit CallReport(const char* name);
    // The start line with extra text, as "QN_NET_GetVolume start cameraid = 3".
    CallReport(const char* name, const char* startFormat, ...) __attribute__((format(printf, 3, 4)));

    const char* Name() const { return name_; }

    // Sets `code` (unless 0, which keeps the variable as it is), traces
    // "<name> failed(<reason>)" and returns 0 for the caller to pass on.
    int Fail(int32_t code, const char* reason);
    // The same, traced as "<name> failed" without a reason.
    int FailPlain(int32_t code);
    // Traces "<name> success" and returns 1.
    int Succeed();

    // The common first checks: 11500 "use QN_NET_Init first" when the SDK is
    // not initialised.
    bool RequireInit();

private:
    const char* name_;
};

bool IsInitialised();

// Callbacks registered by the SDK's user. Each raise reads the registration
// as one consistent pair of function and user pointer.
void RaiseEvent(void* record, int32_t code, int32_t value1, int32_t value2);
void ReportByteCount(int32_t bytes);
bool HasDebugCallback();

} // namespace qn_net
