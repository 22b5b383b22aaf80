#include "Depend/qn_log.h"

#include "Depend/qn_folders.h"
#include "Depend/qn_time.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string FormatV(const char* format, va_list args)
{
    if (format == nullptr) return {};
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, static_cast<std::size_t>(n));
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<std::size_t>(n));
    return text;
}

// Wide formats were written with the meaning the client's first system gives
// them: "%s" and "%c" take wide text, "%hs", "%S", "%hc" and "%C" narrow text.
// The C library here reads "%s" as narrow, so each conversion is spelled out.
std::wstring SpellOutWideFormat(const wchar_t* format)
{
    std::wstring out;
    for (const wchar_t* p = format; *p != L'\0'; ++p) {
        out.push_back(*p);
        if (*p != L'%') continue;
        const wchar_t* spec = p + 1;
        while (*spec != L'\0' && std::wcschr(L"-+ #0123456789.*", *spec)) ++spec;
        std::wstring lengths;
        while (*spec != L'\0' && std::wcschr(L"hlLqjzt", *spec)) lengths.push_back(*spec++);
        out.append(p + 1, static_cast<std::size_t>(spec - (p + 1) - lengths.size()));
        wchar_t conversion = *spec;
        if (conversion == L's' || conversion == L'c') {
            if (lengths == L"h") lengths.clear(); // narrow
            else if (lengths.empty()) lengths = L"l"; // wide by default
        } else if (conversion == L'S' || conversion == L'C') {
            conversion = conversion == L'S' ? L's' : L'c'; // narrow
        }
        out += lengths;
        if (conversion == L'\0') break;
        out.push_back(conversion);
        p = spec;
    }
    return out;
}

std::wstring FormatWideV(const wchar_t* format, va_list args)
{
    if (format == nullptr) return {};
    std::wstring spelled = SpellOutWideFormat(format);
    // The wide formatter cannot tell the needed size; grow until it fits.
    for (std::size_t size = 512; size <= (1u << 20); size *= 4) {
        std::vector<wchar_t> buffer(size);
        va_list copy;
        va_copy(copy, args);
        int n = std::vswprintf(buffer.data(), buffer.size(), spelled.c_str(), copy);
        va_end(copy);
        if (n >= 0) return std::wstring(buffer.data(), static_cast<std::size_t>(n));
        if (errno == EILSEQ) break; // narrow text the C library cannot widen
    }
    // Rather the format itself than a lost line.
    return format;
}

std::string LinePrefix()
{
    char prefix[50] = {};
    QNGetDateTimeText(prefix, sizeof prefix);
    return prefix;
}

void WriteLine(const char* name, const char* format, va_list args)
{
    std::string line = LinePrefix() + " " + FormatV(format, args);
    QNLogWrite(line.data(), static_cast<int>(line.size()), name);
}

bool TraceEnabled()
{
    static const bool enabled = [] {
        auto value = platform::GetEnv("OSTRELS_TRACE");
        return value && *value == "1";
    }();
    return enabled;
}

} // namespace

void QNLogPrint(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLine(nullptr, format, args);
    va_end(args);
}

void QNTestLog(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLine("Test.txt", format, args);
    va_end(args);
}

void QNLockLog(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLine("TestLock.txt", format, args);
    va_end(args);
}

void QNProtoLog(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLine("Proto.txt", format, args);
    va_end(args);
}

void QNLogPrintW(const wchar_t* format, ...)
{
    std::string folder = depend::LogFolder();
    if (folder.empty()) return;
    wchar_t prefix[50] = {};
    QNGetDateTimeText(prefix, 50);
    va_list args;
    va_start(args, format);
    std::wstring line = std::wstring(prefix) + L" " + FormatWideV(format, args);
    va_end(args);
    wchar_t date[32] = {};
    QNGetDotDateText(date, 32);
    platform::AppendToFile(folder + platform::WideToUtf8(date) + ".txt", platform::WideToUtf16Le(line));
}

int QNLogWrite(const char* bytes, int length, const char* name)
{
    std::string folder = depend::LogFolder();
    if (folder.empty() || bytes == nullptr || length < 0) return 0;
    std::string file;
    if (name != nullptr) {
        file = folder + platform::NormalizePath(name);
    } else {
        char date[32] = {};
        QNGetDateText(date, sizeof date);
        file = folder + date + ".txt";
    }
    return platform::AppendToFile(file, std::string_view(bytes, static_cast<std::size_t>(length))) ? 1 : 0;
}

void QNDebugPrint(const char*, ...) {}
void QNTracePrint(const char*, ...) {}
void QNNetTracePrint(const char*, ...) {}
void QNDebugNop(int) {}

void QNConsoleTrace(const char* format, ...)
{
    if (!TraceEnabled()) return;
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    if (text.empty() || text.back() != '\n') text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), stderr);
}

void QNDebugOutput(int, const wchar_t* format, ...)
{
    if (!TraceEnabled()) return;
    va_list args;
    va_start(args, format);
    std::wstring text = FormatWideV(format, args);
    va_end(args);
    char time[32] = {};
    QNGetTimeText(time, sizeof time);
    QNConsoleTrace("%s %s", time, platform::WideToUtf8(text).c_str());
}
