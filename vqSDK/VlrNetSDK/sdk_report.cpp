#include "vqSDK/VlrNetSDK/sdk_report.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/text.h"
#include "vqSDK/VlrNetSDK/sdk_callbacks.h"

namespace qn_net {
namespace {

std::atomic<int32_t> g_lastError{0};
std::atomic<bool> g_initialised{false};

struct EventRegistration {
    QN_NET_MSG_CALLBACK event = nullptr;
    QN_NET_BYTE_COUNT_CALLBACK byteCount = nullptr;
    void* user = nullptr;
};

// Function and user pointer are replaced together, so a raise never sees the
// callback of one registration with the user pointer of another.
std::mutex g_registrationMutex;
std::shared_ptr<const EventRegistration> g_events = std::make_shared<EventRegistration>();
std::atomic<QN_NET_DEBUG_CALLBACK> g_debug{nullptr};
real_data_registration g_realData;

std::shared_ptr<const EventRegistration> CurrentEvents()
{
    std::lock_guard<std::mutex> lock(g_registrationMutex);
    return g_events;
}

std::string FormatText(const char* format, va_list args)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    return text;
}

void Emit(std::string line, std::size_t limit)
{
    QN_NET_DEBUG_CALLBACK debug = g_debug.load();
    if (debug == nullptr) return;
    if (line.size() >= limit) {
        line.resize(platform::Utf8PrefixLength(line, limit - 2));
        line += '\n';
    }
    debug(line.c_str());
}

void EmitLong(const std::string& text)
{
    platform::CivilTime now = platform::LocalNow();
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "%04d-%02d-%02d %02d:%02d:%02d  ", now.year, now.month, now.day, now.hour,
                  now.minute, now.second);
    Emit(prefix + text + "\n", 512);
}

} // namespace

void SetLastError(int32_t code) { g_lastError.store(code); }
int32_t LastError() { return g_lastError.load(); }
bool IsInitialised() { return g_initialised.load(); }
void SetInitialised(bool initialised) { g_initialised.store(initialised); }

void SetEventCallbacks(QN_NET_MSG_CALLBACK event, QN_NET_BYTE_COUNT_CALLBACK byteCount, void* user)
{
    auto next = std::make_shared<EventRegistration>(EventRegistration{event, byteCount, user});
    std::lock_guard<std::mutex> lock(g_registrationMutex);
    g_events = std::move(next);
}

void SetRealDataCallback(QN_NET_REAL_DATA_CALLBACK callback, int32_t value)
{
    std::lock_guard<std::mutex> lock(g_registrationMutex);
    g_realData = real_data_registration{callback, value};
}

real_data_registration CurrentRealData()
{
    std::lock_guard<std::mutex> lock(g_registrationMutex);
    return g_realData;
}

void SetDebugCallback(QN_NET_DEBUG_CALLBACK callback) { g_debug.store(callback); }
bool HasDebugCallback() { return g_debug.load() != nullptr; }
QN_NET_DEBUG_CALLBACK CurrentDebugCallback() { return g_debug.load(); }

void RaiseEvent(void* record, int32_t code, int32_t value1, int32_t value2)
{
    auto events = CurrentEvents();
    if (events->event != nullptr) events->event(record, code, value1, value2, events->user);
}

void ReportByteCount(int32_t bytes)
{
    auto events = CurrentEvents();
    if (events->byteCount != nullptr) events->byteCount(bytes, events->user);
}

std::string TraceText(std::string_view text)
{
    static const char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F && byte != '\\') {
            shown.push_back(c);
            continue;
        }
        shown += "\\x";
        shown.push_back(kHex[byte >> 4]);
        shown.push_back(kHex[byte & 0x0F]);
    }
    return shown;
}

void Trace(const char* format, ...)
{
    if (!HasDebugCallback()) return;
    va_list args;
    va_start(args, format);
    std::string text = FormatText(format, args);
    va_end(args);
    EmitLong(text);
}

void TraceShort(const char* format, ...)
{
    if (!HasDebugCallback()) return;
    va_list args;
    va_start(args, format);
    std::string text = FormatText(format, args);
    va_end(args);
    platform::WallTime now = platform::WallNow();
    platform::CivilTime local = platform::ToLocalTime(now.seconds, now.milliseconds);
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "sec = %ld msec = %ld  ", static_cast<long>(local.second),
                  static_cast<long>(local.millisecond));
    Emit(prefix + text + "\n", 128);
}

CallReport::CallReport(const char* name) : name_(name) { Trace("%s start", name_); }

CallReport::CallReport(const char* name, const char* startFormat, ...) : name_(name)
{
    if (!HasDebugCallback()) return;
    va_list args;
    va_start(args, startFormat);
    std::string extra = FormatText(startFormat, args);
    va_end(args);
    Trace("%s start %s", name_, extra.c_str());
}

int CallReport::Fail(int32_t code, const char* reason)
{
    if (code != 0) SetLastError(code);
    Trace("%s failed(%s)", name_, reason);
    return 0;
}

int CallReport::FailPlain(int32_t code)
{
    if (code != 0) SetLastError(code);
    Trace("%s failed", name_);
    return 0;
}

int CallReport::Succeed()
{
    Trace("%s success", name_);
    return 1;
}

bool CallReport::RequireInit()
{
    if (IsInitialised()) return true;
    Fail(QN_NET_ERR_NOT_INIT, "use QN_NET_Init first");
    return false;
}

} // namespace qn_net
