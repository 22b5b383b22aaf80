#include "trace.h"

#include <cstdio>

#include "platform/paths.h"

namespace ostrels::ddshow {

void trace(const char* text)
{
    static const bool enabled = platform::GetEnv("OSTRELS_TRACE") == "1";
    if (enabled) std::fputs(text, stderr);
}

} // namespace ostrels::ddshow
