#include "vqSDK/VlrNetSDK/media/debug_line.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/clock.h"
#include "platform/text.h"

namespace qn_net {

void debug_line::write(const char* format, ...) const
{
    QN_NET_DEBUG_CALLBACK callback = callback_.load();
    if (callback == nullptr) return;
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    platform::CivilTime now = platform::LocalNow();
    char line[256];
    int length = std::snprintf(line, sizeof line, "%4d-%d-%d %d:%d:%d  %s\n", now.year, now.month, now.day, now.hour,
                               now.minute, now.second, text);
    if (length >= static_cast<int>(sizeof line)) {
        std::size_t keep = platform::Utf8PrefixLength(line, sizeof line - 2);
        line[keep] = '\n';
        line[keep + 1] = '\0';
    }
    callback(line);
}

} // namespace qn_net
