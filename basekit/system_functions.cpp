#include "basekit/system_functions.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

void LastErrDisp(const char *message) {
    const int code = errno;
    char buffer[256];
    const char *text = strerror_r(code, buffer, sizeof buffer);
    if (message != nullptr)
        std::printf("%s\n%s\n", message, text);
    else
        std::printf("%s\n", text);
    std::fflush(stdout);
}

int GetErrNo(void) { return errno; }
