#include "trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ostrels::ddshow {

void trace(const char* text)
{
    static const bool enabled = [] {
        const char* value = std::getenv("OSTRELS_TRACE");
        return value && std::strcmp(value, "1") == 0;
    }();
    if (enabled) std::fputs(text, stderr);
}

} // namespace ostrels::ddshow
